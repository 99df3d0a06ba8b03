// Run-ending failures.
#pragma once
#include <string>

// Thrown to end a run: the exit code, and the text still to print to the
// run's message stream (empty when the message is already out). main(), the
// tests, the fuzzer and the benchmark catch it and turn it into the exit
// code; nothing else catches it.
struct VlcExit {
    int code;
    std::string message;
};

// Ends the run with the exit code and the formatted message, printed as it
// stands by whoever ends the run.
[[noreturn]] void fatalExit(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
