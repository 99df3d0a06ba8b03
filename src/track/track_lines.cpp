// The track loop: track lines, command by command, over the current track set.
#include "compile/compile.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

// Every listed track ends with 0xFF, padded with 0xFF to a multiple of 4.
void finishTracks(TrackRecords& trk, headdata& hd) {
    forEachListedTrack(hd, [&](int t) {
        EventBuffer& buf = trk[t].buf;
        while (buf.size() % 4) buf.put(0xFF);
        trk[t].length = static_cast<int32_t>(buf.size());
    });
}

}  // namespace

void compileTracks(TrackRecords& trk, Pos text, Pos& end, headdata& hd, int32_t& /*longestClocks*/) {
    // Track lines are read but not compiled yet: the header, the common
    // stream and the track table of a piece are complete without them.
    Pos p = text;
    while (!atEndMark(p)) p = skipLine(p);
    forEachListedTrack(hd, [&](int t) { trk[t].buf.put(0xFF); });
    finishTracks(trk, hd);
    end = p;
}
