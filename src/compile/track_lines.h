// The track loop, the entry of the track lines.
#pragma once
#include <cstdint>

#include "records/records.h"
#include "source/position.h"

// The track loop: compiles everything from `text` to the end mark and closes
// every listed track's stream.
void compileTracks(TrackRecords& trk, Pos text, Pos& end, headdata& hd, int32_t& longestClocks);
