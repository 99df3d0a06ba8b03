#include "compile/compile.h"

#include "compile/track_lines.h"
#include "header/dot_commands.h"
#include "preprocess/preprocess.h"
#include "scan/line_tracking.h"
#include "source/lines.h"
#include "preprocess/preprocess.h"

CompiledSong makevld(SourceText&& source, const std::string& sourceName, bool debugDump) {
    LineFileChain files;
    files.push_back(LINEFILEDATA{sourceName, nullptr, {}});

    LineBuffer lines = v3macro(std::move(source), std::move(files));
    if (debugDump) ::debugDump(lines.text);
    beginLineTracking(lines);

    CompiledSong song;
    TrackRecords& trk = song.tracks;
    trk.resize(kTrackCount);
    trk[0].buf.allocate(8192, "trkdata[0].vldbuf");

    Pos rest = nullptr;
    compileHeader(trk, lines.text.data(), rest, song.header, 0);
    Pos end = nullptr;
    compileTracks(trk, rest, end, song.header, song.longest_clocks);

    // The line buffer and its records go with `lines`; nothing may point into
    // them once the compile is over.
    resetLineTracking();
    return song;
}
