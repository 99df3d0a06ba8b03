// Run-ending failures and the error stream every message goes to.
#pragma once
#include <cstdio>

// Thrown once a run-ending message has been printed. main(), the tests, the
// fuzzer and the benchmark catch it and turn it into the exit code; nothing
// else catches it.
struct VlcExit {
    int code;
};

// Where every console message goes: standard error, or the file named by -e.
FILE* errStream();
void setErrStream(FILE* stream);  // nullptr restores standard error
// printf to the error stream.
void errPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Prints the formatted message to the error stream as it stands and ends the
// run with the exit code.
[[noreturn]] void fatalExit(int code, const char* format, ...) __attribute__((format(printf, 2, 3)));
