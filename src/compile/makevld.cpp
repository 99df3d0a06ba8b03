#include "compile/compile.h"

#include <ctime>

#include "compile/track_lines.h"
#include "header/dot_commands.h"
#include "preprocess/preprocess.h"
#include "scan/diagnostics.h"
#include "source/lines.h"

namespace {

// Splits and preprocesses the source; a fault in a macro is reported on the
// line it was found in.
LineBuffer preprocessSource(SourceText&& source, const MessageSettings& messages, const SourceReader* reader) {
    LineFileChain files;
    files.push_back(LINEFILEDATA{messages.source_name, nullptr, {}});
    try {
        return v3macro(std::move(source), std::move(files), reader);
    } catch (const MacroFault& fault) {
        const auto* line = reinterpret_cast<const unsigned char*>(fault.line_text.c_str());
        const LINEFILEDATA file{fault.file_name, nullptr, {}};
        Reading reading(line, LINEDATA{&file, fault.line_number}, messages);
        sourceError(fault.message.c_str(), Pos(line + fault.at, &reading));
    }
}

}  // namespace

CompiledSong makevld(SourceText&& source, const MessageSettings& messages, bool debugDump,
                     const SourceReader* reader) {
    LineBuffer lines = preprocessSource(std::move(source), messages, reader);
    if (debugDump) ::debugDump(lines.text);
    // Every position of the compile points into `lines` and reports through
    // `reading`; neither outlives the compile.
    Reading reading(lines, messages);

    CompiledSong song;
    song.header.random.seed(static_cast<uint32_t>(std::time(nullptr)));
    TrackRecords& trk = song.tracks;
    trk.resize(kTrackCount);
    trk[0].buf.allocate(8192, "trkdata[0].vldbuf");

    Pos rest = nullptr;
    compileHeader(trk, reading.start(), rest, song.header, 0);
    Pos end = nullptr;
    compileTracks(trk, rest, end, song.header, song.longest_clocks);
    return song;
}
