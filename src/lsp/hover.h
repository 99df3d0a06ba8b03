// What the editor shows when the pointer rests on a command or a note.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/source_outline.h"

// The hover text (Markdown) for byte `at` of line `line` of `text`: a
// dot-command, bracket command, at-command, one-letter command or sign
// from the reference's tables, a macro's definition, or a note's pitch and
// length. Nothing where no command stands.
std::optional<std::string> hoverAt(std::string_view text, int line, size_t at,
                                   const std::vector<MacroDefinition>& macros);

// A note as it sounds. The octave and default length are followed through
// the lines of its track (the first track of its selection) from the top of
// the document: `o`, `<`, `>` (inside a chord only to its closing quote)
// and `l`, from octave 4 and a quarter note. Macro expansions, the key
// signature and `k` are not followed.
struct NoteInfo {
    std::string name;  // "C#4"; middle C is C4, MIDI note 60
    int midi = 0;      // may lie outside 0 to 127, which the compiler rejects
    int clocks = 0;    // the note's length with dots and ties
};
// The note that covers byte `at` of line `line` of `text`; nothing when no
// note is there.
std::optional<NoteInfo> noteAt(std::string_view text, int line, size_t at);
