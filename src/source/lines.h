// Line records: the source split into lines that remember their file and line
// number, and the joined line buffer that the compile loops scan.
#pragma once
#include <deque>
#include <string>
#include <string_view>
#include <vector>

// The whole source as read, then CR, LF and four bytes 255.
using SourceText = std::vector<unsigned char>;

struct LINEFILEDATA;

// Where one line of the line buffer came from.
struct LINEDATA {
    const LINEFILEDATA* file;  // the file's record, which owns its name
    int line_number;           // within that file, from 1
};

// One source file; the first names the main source, each include adds one.
struct LINEFILEDATA {
    std::string file_name;               // as it was opened
    const LINEFILEDATA* includer = nullptr;  // the file whose `.include` brought it in
    std::string identity;                // the file's canonical path, to find include loops
};
// A deque keeps the records where they are while files are added.
using LineFileChain = std::deque<LINEFILEDATA>;

// One line while the preprocessor works: its text with its line end (CR LF or
// LF; a byte 255 inside a line ends it and stays in it), and its origin. The
// text is a view into the file as read (`SourceTexts` keeps the files), or,
// from its expansion until it is joined, into the preprocessor's expansion
// of the line.
struct vlsdata {
    std::string_view text;
    LINEDATA where;
};
using LineChain = std::vector<vlsdata>;

// The files as read, which the lines of a chain view until they are joined
// (a deque keeps each where it is while more are added).
using SourceTexts = std::deque<SourceText>;

// The text of every line back to back, then six bytes 255, with one LINEDATA
// record per line in the same order and where each line begins.
struct LineBuffer {
    std::vector<unsigned char> text;
    std::vector<LINEDATA> lines;
    std::vector<size_t> line_starts;  // offset of each line in `text`
    LineFileChain files;
};

// Splits a source text block into lines numbered from 1, all from `file`. The
// lines are views into `text`, which must outlive them.
LineChain makeLineBuf(const SourceText& text, const LINEFILEDATA& file);
