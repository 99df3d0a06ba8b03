#include "header/dot_command_table.h"
#include "lsp/command_names.h"
#include "lsp/workspace.h"

int dotCommandCount() { return kDotCommandCount; }

std::string_view dotCommandName(int id) { return kDotCommandNames[id]; }

int dotCommandAt(std::string_view text) {
    for (int i = 0; i < kDotCommandCount; ++i)
        if (startsWithWord(text, 0, kDotCommandNames[i])) return i;
    return -1;
}
