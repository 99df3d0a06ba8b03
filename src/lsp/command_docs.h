// What each command means, read from the tables of the language reference
// (docs/reference.md), which the build compiles into the server: the page a
// user reads and the hover an editor shows come from one text and cannot
// drift apart.
#pragma once
#include <map>
#include <string>
#include <string_view>

// Hover texts by command key:
//   ".TEMPO"        a dot-command, by its name in capitals;
//   "[PROGRAM"      a bracket command, by its name in capitals;
//   "@v", "@"       an at-command by its letter, "@" alone the program change;
//   "q", "<"        a one-letter or one-sign command;
//   "ARCC.level"    a keyword of the ARCC modulators.
// The text is Markdown: the forms of the command, then each column of its
// table row under the column's heading. Rows that share a key are joined.
using CommandDocs = std::map<std::string, std::string>;

// Reads the command tables of a reference page: the tables whose first
// column is headed "command", "form" or "keyword".
CommandDocs readCommandDocs(std::string_view reference);

// The tables of the reference page compiled into the server, read once.
const CommandDocs& commandDocs();
