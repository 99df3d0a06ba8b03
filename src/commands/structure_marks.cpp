#include "commands/structure_marks.h"

#include <algorithm>
#include <string>

#include "header/assign.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/tuplet_events.h"

namespace {

// t, then its sub-track, and so on while the track just written repeats its
// marks into its sub-track.
template <typename Visit>
void forEachOfChain(TrackCompile& tc, int t, bool wholeChain, Visit visit) {
    for (int steps = 0; steps < kTrackCount; ++steps) {
        visit(t);
        if (!wholeChain || !tc.inf[t].back_repeat || tc.inf[t].sub_track == kNoTrack) return;
        t = tc.inf[t].sub_track;
    }
}

void writeMark(Pos p, TrackCompile& tc, int t, StructureMark mark) {
    EventBuffer& buf = tc.trk[t].buf;
    trkinf& info = tc.inf[t];
    switch (mark) {
        case StructureMark::DaCapo:
            buf.begin(vld::eventNamed("d.c."));
            buf.put(0x00);
            break;
        case StructureMark::Segno:
            buf.begin(vld::eventNamed("segno"));
            // A second segno before its D.S. leaves the first as the target.
            if (info.segno_offset == 0) info.segno_offset = static_cast<int32_t>(buf.size());
            buf.putBE32(0);
            break;
        case StructureMark::DalSegno: {
            int32_t s = info.segno_offset;
            if (s == 0) sourceError("[d.s.] command must comes after [segno] or [$].", p);
            int32_t q = static_cast<int32_t>(buf.size());
            buf.begin(vld::eventNamed("d.s."));
            buf.patchBE32(static_cast<size_t>(s), static_cast<uint32_t>((q + 1) - (s + 4)));
            buf.put(0x00);
            buf.putBE32(static_cast<uint32_t>(s - (q + 2)));
            // Inside a tuplet both distances change when its events shrink.
            recordTupletOffsetField(info, static_cast<size_t>(q + 2), static_cast<size_t>(q + 2), static_cast<size_t>(s));
            recordTupletOffsetField(info, static_cast<size_t>(s), static_cast<size_t>(s + 4), static_cast<size_t>(q + 1));
            info.segno_offset = 0;
            break;
        }
        case StructureMark::ToCoda:
            buf.begin(vld::eventNamed("to coda"));
            if (info.tocoda_offset == 0) info.tocoda_offset = static_cast<int32_t>(buf.size());
            buf.put(0x00);
            buf.putBE32(0);
            break;
        case StructureMark::Coda: {
            int32_t to = info.tocoda_offset;
            if (to == 0) sourceError("[coda] command must comes after [tocoda] or [$].", p);
            int32_t c = static_cast<int32_t>(buf.size());
            buf.begin(vld::eventNamed("coda"));
            buf.putBE32(static_cast<uint32_t>(to - (c + 5)));
            buf.patchBE32(static_cast<size_t>(to) + 1, static_cast<uint32_t>((c + 1) - (to + 1)));
            recordTupletOffsetField(info, static_cast<size_t>(c + 1), static_cast<size_t>(c + 5), static_cast<size_t>(to));
            recordTupletOffsetField(info, static_cast<size_t>(to + 1), static_cast<size_t>(to + 1), static_cast<size_t>(c + 1));
            info.tocoda_offset = 0;
            break;
        }
        case StructureMark::Fine:
            buf.begin(vld::eventNamed("fine"));
            break;
        case StructureMark::Do:
            buf.begin(vld::eventNamed("do"));
            buf.put(0x01);
            buf.put(0x00);
            info.velocity_written = 0;
            if (info.do_stack.empty()) info.do_stack.emplace_back();
            info.do_stack.back().words[5] = 1;
            break;
        case StructureMark::Loop:
            buf.begin(vld::eventNamed("loop"));
            buf.putBE32(0);
            if (!info.do_stack.empty()) info.do_stack.back().words[5] = 0;
            break;
        case StructureMark::DebugBang:
            buf.begin(vld::eventNamed("debug mark !"));
            buf.put(0x02);
            buf.put(0x00);
            break;
        case StructureMark::DebugAt:
            buf.begin(vld::eventNamed("debug mark @"));
            buf.put(0x03);
            buf.put(0x02);
            break;
        case StructureMark::End:
            buf.begin(vld::eventNamed("end"));
            break;
    }
}

// The lowest track number that was never assigned, or 0.
int freeTrack(const TrackCompile& tc) {
    for (int u = 1; u < tc.hd.track_count && u < kTrackCount; ++u)
        if ((tc.trk[u].channel & 0x80) && !trackIsListed(tc.hd, u)) return u;
    return 0;
}

int listPosition(const headdata& hd, int u) {
    int position = -1;
    int i = 0;
    forEachListedTrack(hd, [&](int t) {
        if (t == u && position < 0) position = i;
        ++i;
    });
    return position;
}

}  // namespace

Pos structureMarkCommand(Pos p, TrackCompile& tc, StructureMark mark) {
    if ((mark == StructureMark::DebugBang || mark == StructureMark::DebugAt) && tc.hd.second_mode == 0) {
        if (mark == StructureMark::DebugBang) {
            vlserror("debug command [!] is still existing.", p, 3, 1);
        } else {
            vlserror("debug command [@] is still existing.", p, 2, 1);
        }
        return p;
    }
    bool wholeChain = mark != StructureMark::DaCapo;
    forEachTrackOf(tc.set(), [&](int t) { forEachOfChain(tc, t, wholeChain, [&](int u) { writeMark(p, tc, u, mark); }); });
    return p;
}

Pos backCommand(Pos p, TrackCompile& tc) {
    static constexpr const char* kOffOn[] = {"off", "on", nullptr};
    for (size_t i = 0; i + 1 < tc.target.size(); ++i) {
        int t = tc.target[i];
        if (matchKeyword(p, ".repeat") == 0) {
            int32_t value = 0;
            int status = 0;
            p = getKeywordOrNumber(p + 7, value, status, kOffOn, 0);
            if (status != kNumberRead) sourceError("[back.repeat] needs a parameter.", p);
            tc.inf[t].back_repeat = static_cast<uint8_t>(value);
        }

        int u = tc.inf[t].sub_track;
        if (u == kNoTrack) {
            u = freeTrack(tc);
            if (u == 0) sourceError("Sorry too many [back]. (however it will be modified soon)", p);
            tc.hd.subtracks_made = 1;
            tc.trk[u].buf.allocate(8192, "trkdata[%d].vldbuf_in_BACK");
            tc.trk[u].length = 0;
            tc.trk[u].partition_mark = 1;
            initTrkInf(tc.inf[u], tc.hd);
            clearStructureStacks(tc.inf[u], u);
            tc.inf[t].sub_track = static_cast<uint8_t>(u);
            tc.inf[u].parent_track = static_cast<uint8_t>(t);
            int count = 0;
            while (count < kTrackCount && !(tc.hd.track_list[count] & 0x80)) ++count;
            if (count < kTrackCount) {
                tc.hd.track_list[count] = static_cast<uint8_t>(u);
                tc.hd.track_list[count + 1] = 255;
            }
        } else {
            if (tc.inf[t].total_clocks < tc.inf[u].total_clocks)
                vlserror("Previous [back] sequence has not finished yet.", p, 2, 1);
            if (tc.inf[u].total_clocks < tc.inf[t].total_clocks) {
                // The sub-track catches up with its parent by a rest.
                uint32_t behind = static_cast<uint32_t>(int64_t{tc.inf[t].total_clocks} - tc.inf[u].total_clocks);
                tc.trk[u].buf.begin(vld::eventNamed("rest"));
                tc.trk[u].buf.putDuration(behind);
                tc.trk[u].buf.putDuration(behind);
            }
        }

        copyTrkInf(tc.inf[u], tc.inf[t]);
        trkdata& parent = tc.trk[t];
        trkdata& child = tc.trk[u];
        child.channel = parent.channel;
        child.assigned_channel = parent.assigned_channel;
        child.device = parent.device;
        child.priority = parent.priority;
        child.interface_no = parent.interface_no;
        child.mode = parent.mode;
        child.kind = parent.kind;
        child.has_comment = parent.has_comment;
        child.comment = parent.comment;
        child.redirect = -1;

        child.buf.begin(vld::eventNamed("wait"));
        child.buf.begin(vld::eventNamed("key transpose"));
        child.buf.put(static_cast<uint8_t>(tc.inf[t].key_transpose));

        int position = listPosition(tc.hd, u);
        if (position < 0) sourceError("illegal track number.", p);
        parent.buf.begin(vld::eventNamed("synchronize"));
        parent.buf.putBE16(static_cast<uint32_t>(position));

        clearStructureStacks(tc.inf[u], u);
        // A pending segno or to-coda and an open tuplet are places in the
        // parent's stream and lists: the sub-track starts without them, as it
        // starts with its own lists.
        tc.inf[u].segno_offset = 0;
        tc.inf[u].tocoda_offset = 0;
        tc.inf[u].tuplet_depth = 0;
        parent.redirect = u;
        tc.target[i] = static_cast<uint8_t>(u);
    }
    vlserror("[back] can use only for vlc2/vlc3.", p, 4, 1);
    return p;
}
