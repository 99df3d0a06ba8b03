// The header dispatcher: the lines before the first track line.
#include "compile/compile.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

// The common stream ends with 0xFF, and one more when that leaves its length
// odd; a stream of nothing but its end counts as empty.
void endCommonStream(trkdata& common) {
    common.buf.put(0xFF);
    if (common.buf.size() % 2) common.buf.put(0xFF);
    common.length = common.buf.at(0) == 0xFF ? 0 : static_cast<int32_t>(common.buf.size());
}

}  // namespace

void compileHeader(TrackRecords& trk, Pos text, Pos& rest, headdata& /*hd*/, int /*trackMode*/) {
    Pos p = text;
    for (;;) {
        trk[0].buf.growBetweenCommands("trkdata[0].vldbuf");
        p = skipSpace(p);
        if (atEndMark(p)) break;
        vlserror("not supported yet.", lineStart(), p, kError, 1);
    }
    endCommonStream(trk[0]);
    rest = p;
}
