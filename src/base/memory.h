// Run-ending failures, the error stream, and the tagged memory helpers.
#pragma once
#include <cstddef>
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

// The tag names the block in the source; it has no effect at run time.
// A failed allocation prints "malloc failed." / "realloc failed." and ends
// the run with exit code 10.
void* allocTagged(size_t size, const char* tag);
void* reallocTagged(void* block, size_t size, const char* tag);
void* reallocOrAlloc(void* block, size_t size, const char* tag);
void freeTagged(void* block, const char* tag);

// The first byte of a Shift_JIS double-byte character.
inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
