#include "base/memory.h"

#include <cstdarg>
#include <cstdlib>

namespace {
FILE* g_err = nullptr;
}

FILE* errStream() { return g_err ? g_err : stderr; }

void setErrStream(FILE* stream) { g_err = stream; }

void errPrintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(errStream(), format, args);
    va_end(args);
}

void fatalExit(int code, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(errStream(), format, args);
    va_end(args);
    std::fflush(errStream());
    throw VlcExit{code};
}

void* allocTagged(size_t size, const char* /*tag*/) {
    void* block = std::malloc(size ? size : 1);
    if (!block) fatalExit(10, "malloc failed.\n");
    return block;
}

void* reallocTagged(void* block, size_t size, const char* /*tag*/) {
    void* moved = std::realloc(block, size ? size : 1);
    if (!moved) fatalExit(10, "realloc failed.\n");
    return moved;
}

void* reallocOrAlloc(void* block, size_t size, const char* tag) {
    return block ? reallocTagged(block, size, tag) : allocTagged(size, tag);
}

void freeTagged(void* block, const char* /*tag*/) { std::free(block); }
