// The compile run: from a loaded source to the filled track records.
#pragma once
#include <cstdint>
#include <string>

#include "records/records.h"
#include "source/lines.h"
#include "source/load.h"
#include "source/position.h"

// What a compile decided, for the writer: the 81 track records, the header
// record (which also says whether every track is kept) and the length in
// clocks of the longest track.
struct CompiledSong {
    TrackRecords tracks;
    headdata header;
    int32_t longest_clocks = 0;
};

// Turns the source into the line buffer, runs the header commands and then
// the track lines, reporting as `messages` say; their source name names the
// main source. With `debugDump` (-d) the line buffer is also written to
// debug.vls.
// Included files are read through `reader` when there is one.
CompiledSong makevld(SourceText&& source, const MessageSettings& messages, bool debugDump = false,
                     const SourceReader* reader = nullptr);

