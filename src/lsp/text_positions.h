// Positions in an editor's text. The editor sends its documents as UTF-8 and
// counts a line's characters in UTF-16 code units; the compiler reads bytes
// and reports byte columns. These helpers convert between the two within one
// line.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The document's lines without their line ends (LF, CR LF or a lone CR).
std::vector<std::string_view> splitLines(std::string_view text);

// UTF-16 code units in the first `bytes` bytes of `line` (clamped to the
// line). A byte that begins no valid UTF-8 sequence counts as one unit, as
// an editor shows it as one replacement character.
int utf16Column(std::string_view line, size_t bytes);

// The byte offset in `line` of UTF-16 column `column`; the line's length
// when the column lies beyond it. A column in the middle of a character
// gives the character's first byte.
size_t byteOffset(std::string_view line, int column);

// How far the command that begins at byte `at` reaches, as a byte offset
// past its end: a bracket command to its `]`, a dot-command or an
// at-command over its name and number, a note or letter command over its
// accidentals and length, a number over its digits, anything else one
// character. At or past the line's end the extent is empty.
size_t commandEnd(std::string_view line, size_t at);

// The text without its leading and trailing blanks (spaces and TABs).
std::string trimBlanks(std::string_view text);
