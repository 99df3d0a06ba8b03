#include "base/memory.h"

#include <cstdlib>

#include "base/failure.h"

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
