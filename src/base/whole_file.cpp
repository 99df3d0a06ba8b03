#include "base/whole_file.h"

#include <cstdio>

bool readWholeFile(const char* name, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(name, "rb");
    if (!file) return false;
    unsigned char block[65536];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.insert(bytes.end(), block, block + n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}
