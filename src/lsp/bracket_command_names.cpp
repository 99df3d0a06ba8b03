#include "commands/bracket_table.h"
#include "lsp/command_names.h"
#include "lsp/workspace.h"

int bracketNameCount() { return kBracketNameCount; }

std::string_view bracketName(int id) { return kBracketNames[id].name; }

int bracketNameAt(std::string_view text) {
    for (int i = 0; i < kBracketNameCount; ++i)
        if (startsWithWord(text, 0, kBracketNames[i].name)) return i;
    return -1;
}

bool isSubTrackBracket(int id) { return id == kBack; }
bool isArccBracket(int id) { return id == kArcc; }
