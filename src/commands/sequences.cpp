// Parameter lists, and the velocity (`z`) and quantize (`q`, `@q`) sequences.
#include "commands/sequences.h"

#include <algorithm>
#include <cstdlib>

#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/velocity.h"

namespace {

// A sequence is indexed by one byte: it holds at most 255 items.
constexpr size_t kMaxSequenceItems = 255;

bool givenKind(uint8_t kind) { return kind == kValuePlain || kind == kValueRelative || kind == kValueClocks; }

// Skips blanks, comments and line ends when the character behind them
// satisfies `continues`; otherwise leaves the position where it was, so that
// a list never swallows the line end behind it.
template <typename Continues>
Pos skipSpaceIf(Pos p, Continues continues) {
    Pos q = skipSpace(p);
    return !atEndMark(q) && continues(q) ? q : p;
}

bool startsValue(Pos p, bool allowClocks) {
    unsigned char c = *p;
    return (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '$' || c == '%' || (allowClocks && c == '*');
}

bool startsSecondValue(Pos p) { return p[0] == ':' && p[1] != '|'; }

// One value of an element. An omitted value takes `previous` with kind 2.
Pos readValue(Pos p, int16_t& value, uint8_t& kind, int16_t previous, bool allowClocks, bool mustBePositive) {
    const Pos start = p;
    p = skipSpaceIf(p, [&](Pos q) { return startsValue(q, allowClocks); });
    uint8_t given = kValuePlain;
    if (allowClocks && *p == '*') {
        given = kValueClocks;
        ++p;
    } else if (*p == '+' || *p == '-') {
        given = kValueRelative;
    }
    int32_t n = 0;
    int status = 0;
    Pos end = getNumber(p, n, status);
    if (status == kNumberOmitted) {
        value = previous;
        kind = kValueOmitted;
        // A lone `+` is consumed as an omitted value; anything else (a lone
        // `*`, the next command) stays where the value was to start.
        if (*p == '+') return end;
        return start;
    }
    if (mustBePositive && n == 0) sourceError("This parameter must be over 0.", end);
    value = static_cast<int16_t>(n);
    kind = given;
    return end;
}

// The list reader shared by the parameter lists and the sequences: every
// element is read and counted; only the first `capacity` are stored.
Pos readList(Pos p, std::vector<SequenceItem>& items, size_t capacity, int& count, bool allowClocks,
             bool mustBePositive) {
    items.clear();
    count = 0;
    SequenceItem previous{0, 0, kValuePlain, kValueNone};
    bool lastCountedOmitted = false;
    for (int index = 0;; ++index) {
        SequenceItem item;
        p = readValue(p, item.value, item.kind, previous.value, allowClocks, mustBePositive);
        p = skipSpaceIf(p, startsSecondValue);
        if (startsSecondValue(p)) {
            p = readValue(p + 1, item.value2, item.kind2, previous.value2, allowClocks, mustBePositive);
        } else {
            item.value2 = 0;
            item.kind2 = kValueNone;
        }
        p = skipSpaceIf(p, [](Pos q) { return *q == ','; });
        bool comma = *p == ',';
        bool hasValue = item.kind != kValueOmitted || givenKind(item.kind2);
        if (hasValue || comma) {
            count = index + 1;
            lastCountedOmitted = !hasValue;
            if (items.size() < capacity) items.push_back(item);
        }
        previous = item;
        if (!comma) break;
        ++p;
    }
    if (lastCountedOmitted) --count;
    if (items.size() > static_cast<size_t>(count)) items.resize(static_cast<size_t>(count));
    return p;
}


void compileVelocityList(trkinf& info, EventBuffer& out, RandomGenerator& random, const std::vector<SequenceItem>& elements,
                         int count) {
    info.velocity_index = 0;
    info.velocity_sequence_enable = 1;
    info.velocity_sequence_on = count > 1 ? 1 : 0;
    if (count == 0) return;

    // What an omitted or relative first element continues from.
    SequenceItem before{info.current_velocity, info.velocity_random, kValuePlain, kValueNone};
    if (info.velocity_count > 0 && !info.velocity.empty()) {
        before = info.velocity[std::min<size_t>(info.velocity_count, info.velocity.size()) - 1];
    }
    std::vector<SequenceItem> sequence;
    sequence.reserve(elements.size());
    for (size_t i = 0; i < elements.size(); ++i) {
        const SequenceItem& e = elements[i];
        SequenceItem item{0, 0, kValuePlain, kValueNone};
        if (e.kind == kValueOmitted) {
            item.value = i == 0 ? before.value : 128;
        } else if (e.kind == kValueRelative) {
            item.value = static_cast<int16_t>(clampVelocity(before.value + e.value));
        } else {
            item.value = e.value;
        }
        if (givenKind(e.kind2)) {
            item.value2 = static_cast<int16_t>(std::abs(e.value2));
        } else if (e.kind2 == kValueOmitted || e.kind == kValueOmitted) {
            item.value2 = before.value2;
        }
        sequence.push_back(item);
        before = item;
    }
    info.velocity = std::move(sequence);
    info.velocity_count = static_cast<uint8_t>(info.velocity.size());

    if (count == 1) {
        const SequenceItem& only = info.velocity[0];
        info.current_velocity = only.value;
        info.velocity_random = only.value2;
        out.begin(vld::eventNamed("velocity"));
        out.put(static_cast<unsigned>(clampVelocity(only.value + randomInRange(random, only.value2) + info.velocity_offset)));
    }
}

void compileQuantizeList(trkinf& info, const std::vector<SequenceItem>& elements, int mode) {
    info.quantize_index = 0;
    SequenceItem before = info.quantize.empty()
                              ? SequenceItem{info.gate_resolution, 0, kValuePlain, kValueNone}
                              : info.quantize[std::clamp<size_t>(info.quantize_count, 1, info.quantize.size()) - 1];
    // The new items take the old sequence's place and storage (a `q` stands
    // on nearly every line); what they continue from was copied out above.
    std::vector<SequenceItem>& sequence = info.quantize;
    sequence.clear();
    // No element at all still leaves one item: the omitted first element.
    size_t n = std::max<size_t>(1, elements.size());
    for (size_t i = 0; i < n; ++i) {
        SequenceItem item = i < elements.size() ? elements[i] : SequenceItem{0, 0, kValueOmitted, kValueNone};
        if (item.kind == kValueOmitted) {
            item.value = before.value;
            item.kind = before.kind;
            if (!givenKind(item.kind2)) {
                item.value2 = before.value2;
                item.kind2 = before.kind2;
            }
        } else if (mode == 0) {
            item.kind = kValueRelative;
        } else if (item.value < 0) {
            item.value = static_cast<int16_t>(-item.value);
            if (mode == 1) {
                item.kind = kValueClocks;
            } else if (mode == 3) {
                if (item.kind == kValueClocks) {
                    item.kind = kValueRelative;
                } else {
                    item.kind = kValuePlain;
                    item.value = static_cast<int16_t>(item.value + 8);
                }
            }
        }
        sequence.push_back(item);
        before = item;
    }
    info.quantize_count = static_cast<uint8_t>(info.quantize.size());
}

}  // namespace

Pos readParameterList(Pos p, ParameterElement* elements, int capacity, int& count, bool mustBePositive) {
    std::vector<SequenceItem> items;
    p = readList(p, items, static_cast<size_t>(std::max(capacity, 0)), count, false, mustBePositive);
    std::copy(items.begin(), items.end(), elements);
    return p;
}

Pos velocityListCommand(Pos p, TrackCompile& tc) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        std::vector<SequenceItem> elements;
        int count = 0;
        q = readList(q, elements, kMaxSequenceItems, count, true, false);
        compileVelocityList(tc.inf[track], tc.trk[track].buf, tc.hd.random, elements, count);
        return q;
    });
}

Pos quantizeListCommand(Pos p, TrackCompile& tc, int mode) {
    return forEachTarget(tc, p, [&](int track, Pos q) {
        std::vector<SequenceItem> elements;
        int count = 0;
        q = readList(q, elements, kMaxSequenceItems, count, true, false);
        compileQuantizeList(tc.inf[track], elements, mode);
        if (count > 1) vlserror("quantize sequence can use only for vlc2.", q, 4, 1);
        return q;
    });
}
