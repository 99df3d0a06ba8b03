// The tagged memory helpers, which end the run when memory runs out.
#pragma once
#include <cstddef>

// The tag names the block in the source; it has no effect at run time.
// A failed allocation prints "malloc failed." / "realloc failed." and ends
// the run with exit code 10.
void* allocTagged(size_t size, const char* tag);
void* reallocTagged(void* block, size_t size, const char* tag);
void* reallocOrAlloc(void* block, size_t size, const char* tag);
void freeTagged(void* block, const char* tag);

// The first byte of a Shift_JIS double-byte character.
inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
