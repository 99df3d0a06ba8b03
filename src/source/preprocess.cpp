#include "source/preprocess.h"

#include <cstdio>

#include "cli/memory.h"
#include "cli/switches.h"

void expandMacroMain(LineChain& /*chain*/, LineFileChain& /*files*/) {
    // Macros and includes are expanded here; until then every line stays as
    // it was read.
}

void debugDump(const std::vector<unsigned char>& text) {
    if (getSwitch('d') == -1) return;
    FILE* file = std::fopen("debug.vls", "wb");
    if (!file) fatalExit(1, "can't open debug.vls.\n");
    size_t count = text.size() >= 6 ? text.size() - 6 : 0;
    std::fwrite(text.data(), 1, count, file);
    std::fclose(file);
}
