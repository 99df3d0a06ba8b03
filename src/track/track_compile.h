// What every track-line command works on: the track records, the header, the
// MML state of each track and the current track set.
#pragma once
#include <vector>

#include "header/header.h"
#include "records/records.h"
#include "records/trkinf.h"
#include "source/position.h"

struct TrackCompile {
    TrackRecords& trk;
    headdata& hd;
    TrackInfos& inf;
    // The current track set: track numbers ended by 255. Each track appears
    // once, so the set never holds more than the 80 tracks.
    std::vector<uint8_t> target;

    TrackSet set() const { return target.data(); }
};

// Compiles a command once for each track of the set: every track parses the
// same text from `p`, so per-track state applies and every message points at
// the command. For text that reads the
// same whatever the track, read it once and use `forEachTrackOf`. `compileOne(track, p)`
// returns the position behind the command; the position of the last track
// is returned. `compileOne` may change the set's entries but not its length.
template <typename CompileOne>
Pos forEachTarget(TrackCompile& tc, Pos p, CompileOne compileOne) {
    Pos end = p;
    for (TrackSet t = tc.set(); !(*t & 0x80); ++t) end = compileOne(int{*t}, p);
    return end;
}

// Reads a number that must lie in minimum..maximum (any number when they are
// equal); the messages are errors reported where the number was to start.
Pos getNumberInRange(Pos p, int32_t& value, int minimum, int maximum, const char* rangeMessage,
                     const char* missingMessage);
