// The compile run: from a loaded source to the filled track records.
#pragma once
#include <cstdint>

#include "cli/run.h"
#include "compile/records.h"
#include "scan/line_tracking.h"

// What a compile decided, for the writer: the 81 track records, the header
// record (which also says whether every track is kept) and the length in
// clocks of the longest track.
struct CompiledSong {
    TrackRecords tracks;
    headdata header;
    int32_t longest_clocks = 0;
};

// Turns the source into the line buffer, runs the header commands and then
// the track lines. With `debugDump` (-d) the line buffer is also written to
// debug.vls.
CompiledSong makevld(SourceText&& source, const std::string& sourceName, bool debugDump = false);

// The header dispatcher: runs header commands from `text` until the first
// line that belongs to the tracks, whose position it leaves in `rest`.
// `trackMode` is set when a track line re-enters it.
void compileHeader(TrackRecords& trk, Pos text, Pos& rest, headdata& hd, int trackMode);

// The track loop: compiles everything from `text` to the end mark and closes
// every listed track's stream.
void compileTracks(TrackRecords& trk, Pos text, Pos& end, headdata& hd, int32_t& longestClocks);
