// The compiler's own name tables, for hover and completion. The dot-command
// and bracket-command tables are both unscoped enums with names in common, so
// each is read in a file of its own (dot_command_names.cpp,
// bracket_command_names.cpp) and reached through these functions.
#pragma once
#include <string_view>

// The dot-command names (without the dot), in the compiler's matching order.
int dotCommandCount();
std::string_view dotCommandName(int id);
// The id of the name `text` (after the dot) begins with, as the header
// dispatcher takes it; -1 when none.
int dotCommandAt(std::string_view text);

// The bracket-command names, in the compiler's matching order.
int bracketNameCount();
std::string_view bracketName(int id);
// The id of the name `text` (after the `[`) begins with, as the bracket
// dispatcher takes it; -1 when none (the bracket is a glide).
int bracketNameAt(std::string_view text);
// `[BACK` holds music, `[ARCCn.keyword]` a modulator's keyword.
bool isSubTrackBracket(int id);
bool isArccBracket(int id);
