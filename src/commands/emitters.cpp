#include "commands/emitters.h"

#include <algorithm>

#include "commands/sequences.h"
#include "scan/diagnostics.h"

namespace {

constexpr int kMaxElements = 8;

struct ParameterList {
    std::array<ParameterElement, kMaxElements> elements{};
    int count = 0;
};

// Reads the list once for the whole set and checks its count: more elements
// than fields, or any other count when every field must be given, is the
// too-many error.
Pos readChecked(Pos p, int fields, bool omissionAllowed, bool mustBePositive, const char* tooMany,
                ParameterList& list) {
    Pos end = readParameterList(p, list.elements.data(), kMaxElements, list.count, mustBePositive);
    if (list.count > fields || (!omissionAllowed && list.count != fields)) sourceError(tooMany, end);
    return end;
}

// Relative elements are refused, and omitted ones unless the event allows them.
void checkElements(Pos end, const ParameterList& list, bool omissionAllowed, const char* relative,
                   const char* omitted) {
    for (int i = 0; i < list.count; ++i) {
        uint8_t kind = list.elements[i].kind;
        if (kind == kValueOmitted && !omissionAllowed) sourceError(omitted, end);
        if (kind == kValueRelative) sourceError(relative, end);
    }
}

void putField(EventBuffer& out, uint8_t width, int32_t value) {
    switch (width) {
        case kFieldByte: out.put(static_cast<unsigned>(value) & 0xFF); break;
        case kFieldWord: out.putBE16(static_cast<uint32_t>(value) & 0xFFFF); break;
        default: out.putDuration(static_cast<uint32_t>(value) & 0xFFFF); break;
    }
}

}  // namespace

Pos fixedFieldEmitter(Pos p, TrackCompile& tc, const FixedFieldEvent& event) {
    ParameterList list;
    Pos end = readChecked(p, event.fields, event.omission_allowed, false, event.too_many, list);
    checkElements(end, list, event.omission_allowed, event.relative, event.omitted);
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& out = tc.trk[t].buf;
        out.begin(event.event);
        for (int i = 0; i < event.fields; ++i) {
            bool given = i < list.count && list.elements[i].kind != kValueOmitted;
            int32_t value = given ? list.elements[i].value : static_cast<int32_t>(event.fill);
            if (event.wide) {
                out.putBE16(given ? static_cast<uint32_t>(value) & 0xFFFF : (event.fill << 8) | event.fill);
            } else {
                out.put(static_cast<unsigned>(value) & 0xFF);
            }
        }
    });
    return end;
}

Pos lowFirstFlaggedEmitter(Pos p, TrackCompile& tc, const FlaggedEvent& event, const ReservedFill& fill) {
    ParameterList list;
    int fields = std::min(event.max_parameters, kMaxElements);
    Pos end = readChecked(p, fields, event.omission_allowed, event.must_be_positive, event.too_many, list);
    checkElements(end, list, event.omission_allowed, event.relative, event.omitted);
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& out = tc.trk[t].buf;
        out.begin(event.event);
        if (event.sub >= 0) out.put(static_cast<unsigned>(event.sub * 2) & 0xFF);
        size_t reservedAt = out.size();
        // Reserved words (the fader's target and channel), filled per track.
        for (int i = 0; i + 1 < event.reserved; i += 2) out.putBE16(0);
        if (event.reserved % 2) out.put(0);
        if (fill) fill(t, out, reservedAt);
        size_t presenceAt = out.size();
        out.put(0);
        unsigned presence = 0;
        for (int i = 0; i < list.count; ++i) {
            if (list.elements[i].kind == kValueOmitted) continue;
            presence |= 1u << i;
            putField(out, event.widths[i], list.elements[i].value * event.factor);
        }
        out.patch(presenceAt, presence);
    });
    return end;
}

Pos highFirstFlaggedEmitter(Pos p, TrackCompile& tc, const FlaggedEvent& event) {
    ParameterList list;
    int fields = std::min(event.max_parameters, kMaxElements);
    Pos end = readChecked(p, fields, event.omission_allowed, event.must_be_positive, event.too_many, list);
    checkElements(end, list, event.omission_allowed, event.relative, event.omitted);
    unsigned presence = 0;
    for (int i = 0; i < list.count; ++i)
        if (list.elements[i].kind != kValueOmitted) presence |= 0x80u >> i;
    if (event.tweak >= 0) presence = (presence >> 1) | (event.tweak > 0 ? 0x80u : 0u);
    forEachTrackOf(tc.set(), [&](int t) {
        EventBuffer& out = tc.trk[t].buf;
        out.begin(event.event);
        if (event.sub >= 0) out.put(static_cast<unsigned>(event.sub * 2) & 0xFF);
        out.put(presence);
        for (int i = 0; i < list.count; ++i)
            if (list.elements[i].kind != kValueOmitted) putField(out, event.widths[i], list.elements[i].value);
    });
    return end;
}
