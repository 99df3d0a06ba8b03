// The compile run: from a loaded source to the filled track records.
#pragma once
#include <cstdint>
#include <string>

#include "records/records.h"
#include "source/lines.h"

// Turns the source into the line buffer, runs the header commands and then
// the track lines, and returns the 81 track records. `longestClocks` receives
// the length in clocks of the longest track.
TrackRecords makevld(SourceText&& source, const std::string& sourceName, headdata& hd, int32_t& longestClocks);
