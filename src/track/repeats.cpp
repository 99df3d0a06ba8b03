// Repeats: the marks are written as events whose 32-bit operands are relative
// stream offsets; forward offsets are patched when the repeat closes, and the
// played length of the track counts every pass.
#include "track/repeats.h"

#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/tuplet_events.h"

namespace {

enum class MarkKind { Open, Close, Section, Ending, Nothing };

struct Mark {
    MarkKind kind = MarkKind::Nothing;
    int32_t number = 0;  // the count of `|:`, the ending of `|n`
    Pos at = nullptr;    // where messages point
};

Pos readMark(Pos c, Mark& mark) {
    if (*c == ':') {
        if (c[1] != '|') sourceError("SYNTAX ERROR", c + 1);
        mark.kind = MarkKind::Close;
        mark.at = c + 2;
        return c + 2;
    }
    bool open = c[1] == ':';
    int32_t n = 0;
    int status = 0;
    // A mark without a number ends where it stands: the search for a number
    // may have looked across the line end, but a message about the mark
    // names the mark's own line.
    Pos p = readNumber(open ? c + 2 : c + 1, n, status);
    mark.at = p;
    if (open) {
        if (status == kNumberOmitted) n = 2;
        if (status == kNumberMalformed || n <= 0) sourceError("illegal looptime.", p);
        // The count is written less one in 16 bits.
        if (n > 0x10000) sourceError("looptime is out of range(1 - 65536).", p);
        mark.kind = MarkKind::Open;
    } else if (status == kNumberRead) {
        if (n <= 0) sourceError("illegal looptime.", p);
        mark.kind = MarkKind::Ending;
    } else {
        // `|` with a malformed number writes nothing.
        mark.kind = status == kNumberOmitted ? MarkKind::Section : MarkKind::Nothing;
    }
    mark.number = n;
    return p;
}

// A repeat section ends at `|` or `|n`: the part played on every pass so far
// counts count - 1 more times.
void endSection(trkinf& info) {
    if (info.repeat_stack.empty()) return;
    RepeatFrame& top = info.repeat_stack.back();
    if (top.last_mark == -1) addToClocks(info.total_clocks, int64_t{info.total_clocks} - top.section_start, int64_t{top.count} - 1);
    top.section_start = info.total_clocks;
}

// No repeat is open, or the only one has met its `:|` while endings remain.
bool nothingOpen(const trkinf& info) { return info.repeat_stack.empty() || (info.repeat_stack.size() == 1 && info.repeat_stack.back().ending < 0); }

// The back value of a field at F towards the count operand S: (F + extra) - S.
void putBackValue(EventBuffer& buf, trkinf& info, int32_t start, int extra) {
    size_t field = buf.size();
    size_t to = field + static_cast<size_t>(extra);
    buf.putBE32(static_cast<uint32_t>(static_cast<int64_t>(to) - start));
    recordTupletOffsetField(info, field, static_cast<size_t>(start < 0 ? 0 : start), to);
}

// A forward field written as 0 now points at the current end of the stream.
void patchForward(EventBuffer& buf, trkinf& info, int32_t field) {
    size_t at = static_cast<size_t>(field);
    size_t end = buf.size();
    // A field that no longer lies inside the stream is not written.
    if (field <= 0 || at + 4 > end) return;
    buf.patchBE32(at, static_cast<uint32_t>(end - (at + 4)));
    recordTupletOffsetField(info, at, at + 4, end);
}

void openRepeat(EventBuffer& buf, trkinf& info, int32_t count) {
    info.velocity_written = 0;
    if (!info.repeat_stack.empty() && info.repeat_stack.back().ending < 0) info.repeat_stack.pop_back();
    buf.begin(vld::eventNamed("repeat start"));
    RepeatFrame frame;
    frame.start_offset = static_cast<int32_t>(buf.size());
    frame.count = count;
    frame.section_start = info.total_clocks;
    frame.last_mark = -1;
    info.repeat_stack.push_back(frame);
    buf.putBE16(static_cast<uint32_t>(count - 1));
    buf.putBE16(0);
}

void ending(const Mark& mark, EventBuffer& buf, trkinf& info) {
    endSection(info);
    // The bottom of the stack counts no passes, so any ending is too large.
    if (info.repeat_stack.empty() || info.repeat_stack.back().count < mark.number) sourceError("n is too large in |n.", mark.at);
    RepeatFrame& top = info.repeat_stack.back();
    buf.begin(vld::eventNamed("repeat ending"));
    buf.putBE16(static_cast<uint32_t>(mark.number - 1));
    if (top.patch_offset != 0) sourceError("illegal |n.", mark.at);
    top.ending = mark.number;
    putBackValue(buf, info, top.start_offset, 2);
    top.patch_offset = static_cast<int32_t>(buf.size());
    buf.putBE32(0);
    top.last_mark = 1;
}

void section(const Mark& mark, EventBuffer& buf, trkinf& info) {
    endSection(info);
    if (nothingOpen(info)) {
        vlserror("illegal |.", mark.at, 3, 1);
        if (!info.repeat_stack.empty()) info.repeat_stack.back().last_mark = 0;
        return;
    }
    RepeatFrame& top = info.repeat_stack.back();
    buf.begin(vld::eventNamed("repeat skip"));
    if (top.patch_offset != 0) sourceError("illegal |.", mark.at);
    putBackValue(buf, info, top.start_offset, 2);
    top.patch_offset = static_cast<int32_t>(buf.size());
    buf.putBE32(0);
    top.ending = 0;
    top.last_mark = 0;
}

void closeRepeat(const Mark& mark, EventBuffer& buf, trkinf& info) {
    if (!info.repeat_stack.empty()) {
        const RepeatFrame& top = info.repeat_stack.back();
        if (top.last_mark == -1) {
            addToClocks(info.total_clocks, int64_t{info.total_clocks} - top.section_start, int64_t{top.count} - 1);
        } else if (top.last_mark == 0) {
            addToClocks(info.total_clocks, int64_t{info.total_clocks} - top.section_start, int64_t{top.count} - 2);
        }
    }
    if (nothingOpen(info)) sourceError("too many :| .", mark.at);
    RepeatFrame& top = info.repeat_stack.back();
    // Once a repeat with endings has met its `:|`, a further `:|` closes the
    // enclosing repeat.
    int32_t start = top.ending < 0 ? info.repeat_stack[info.repeat_stack.size() - 2].start_offset : top.start_offset;
    buf.begin(vld::eventNamed("repeat end"));
    putBackValue(buf, info, start, 4);

    size_t pops;
    RepeatFrame closed = top.ending < 0 ? info.repeat_stack[info.repeat_stack.size() - 2] : top;
    if (top.patch_offset != 0) {
        patchForward(buf, info, top.patch_offset);
        top.patch_offset = 0;
        if (top.ending == 0) {
            pops = 1;
        } else {
            ++top.pass;
            pops = top.pass == top.count ? 1 : 0;
        }
    } else {
        pops = top.ending == 0 ? 1 : top.ending < 0 ? 2 : 0;
    }
    if (pops == 0) {
        top.ending = -top.ending;
        return;
    }
    info.repeat_stack.resize(info.repeat_stack.size() - pops);
    if (pops == 2) {
        // The enclosing repeat closes too: its passes count like those of
        // any repeat closed by `:|`.
        const RepeatFrame& outer = closed;
        if (outer.last_mark == -1) {
            addToClocks(info.total_clocks, int64_t{info.total_clocks} - outer.section_start, int64_t{outer.count} - 1);
        } else if (outer.last_mark == 0) {
            addToClocks(info.total_clocks, int64_t{info.total_clocks} - outer.section_start, int64_t{outer.count} - 2);
        }
    }
}

void applyMark(const Mark& mark, EventBuffer& buf, trkinf& info) {
    switch (mark.kind) {
        case MarkKind::Open: openRepeat(buf, info, mark.number); break;
        case MarkKind::Close: closeRepeat(mark, buf, info); break;
        case MarkKind::Section: section(mark, buf, info); break;
        case MarkKind::Ending: ending(mark, buf, info); break;
        case MarkKind::Nothing: break;
    }
}

}  // namespace

Pos repeatCommand(Pos c, TrackCompile& tc) {
    return forEachTarget(tc, c, [&](int t, Pos p) {
        Mark mark;
        p = readMark(p, mark);
        applyMark(mark, tc.trk[t].buf, tc.inf[t]);
        // A track whose repeats go back through its sub-tracks writes the
        // mark to each of them as well.
        for (int u = t, steps = 0; steps < kTrackCount && tc.inf[u].back_repeat; ++steps) {
            int child = tc.inf[u].sub_track;
            if (child == kNoTrack || child <= 0 || child >= kTrackCount) break;
            u = child;
            applyMark(mark, tc.trk[u].buf, tc.inf[u]);
        }
        return p;
    });
}
