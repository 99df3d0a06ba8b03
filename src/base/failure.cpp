#include "base/failure.h"

#include <cstdarg>

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
