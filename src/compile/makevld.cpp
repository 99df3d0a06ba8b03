#include "compile/compile.h"

#include "scan/line_tracking.h"
#include "source/lines.h"
#include "source/preprocess.h"

TrackRecords makevld(SourceText&& source, const std::string& sourceName, headdata& hd, int32_t& longestClocks,
                     bool debugDump) {
    LineFileChain files;
    files.push_back(LINEFILEDATA{sourceName, nullptr, {}});
    hd.track_count = kTrackCount;

    LineBuffer lines = v3macro(std::move(source), std::move(files));
    if (debugDump) ::debugDump(lines.text);
    beginLineTracking(lines);

    TrackRecords trk(kTrackCount);
    hd = headdata{};
    trk[0].buf.allocate(8192, "trkdata[0].vldbuf");

    Pos rest = nullptr;
    compileHeader(trk, lines.text.data(), rest, hd, 0);
    Pos end = nullptr;
    longestClocks = 0;
    compileTracks(trk, rest, end, hd, longestClocks);

    // The line buffer and its records go with `lines`; nothing may point into
    // them once the compile is over.
    resetLineTracking();
    return trk;
}
