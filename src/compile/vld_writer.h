// The compiled file: 80-byte header, common stream, track table, track blocks.
#pragma once
#include <cstdint>
#include <vector>

#include "format/file_layout.h"
#include "records/records.h"

using Bytes = std::vector<unsigned char>;

// Whether a listed track goes into the file: it is marked and has events, or
// the piece keeps every track (headdata::keep_every_track).
bool trackIsWritten(const trkdata& track, bool keepEveryTrack);

Bytes buildHeader(const TrackRecords& trk, const headdata& hd, int32_t longestClocks);
Bytes buildTrackTable(const TrackRecords& trk, const headdata& hd);
// The whole file as it will be written.
Bytes buildVld(const TrackRecords& trk, const headdata& hd, int32_t longestClocks);

// Writes the file to `destination` (standard output when it is empty) and
// releases the records. A file destination is written to a temporary file
// beside it and renamed into place only when complete, so a failed or
// interrupted write never leaves a half-written file.
void writeVld(TrackRecords& trk, const headdata& hd, int32_t longestClocks, const std::string& destination);
