// Names the editor offers while the user types.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "lsp/source_outline.h"

enum class CompletionKind { kDotCommand, kBracketCommand, kMacro, kDevice };

struct Completion {
    std::string label;
    CompletionKind kind;
    std::string detail;
};

// What fits at byte `at` of `line`, and from which byte the name being typed
// begins (the text the editor replaces):
//   after a `.` that begins a line, the dot-command names;
//   after `[`, the bracket-command names;
//   in the channel field of `.ASSIGN n {`, the device names;
//   elsewhere in a line, the macros (but nothing right after a dot inside a
//   line, which is a dotted length).
std::vector<Completion> completionsAt(std::string_view line, size_t at, const std::vector<MacroDefinition>& macros,
                                      size_t& wordStart);
