// Placeholders until the at-commands and bracket commands are compiled.
#include "commands/at_commands.h"
#include "commands/bracket_commands.h"

Pos atCommand(Pos p, TrackCompile&) { notSupportedYet(p - 1); }
Pos sharedLetterCommand(Pos c, TrackCompile&) { notSupportedYet(c); }
Pos bracketCommand(Pos p, TrackCompile&) { notSupportedYet(p - 1); }
