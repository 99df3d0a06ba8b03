// The generic emitters that turn a parameter list into one event per track of
// the set: fixed fields, and fields flagged by a presence byte (low bit first
// or high bit first).
#pragma once
#include <array>
#include <cstdint>
#include <functional>

#include "track/track_compile.h"

// An event of fixed fields: the code, then one field per position; omitted
// positions and positions beyond the list take the fill byte.
struct FixedFieldEvent {
    vld::EventName event{};
    unsigned fill = 0;
    int fields = 0;
    bool wide = false;  // 16-bit fields
    bool omission_allowed = true;
    const char* too_many = "";
    const char* relative = "";
    const char* omitted = "";
};
Pos fixedFieldEmitter(Pos p, TrackCompile& tc, const FixedFieldEvent& event);

// Widths of a flagged field.
constexpr uint8_t kFieldStep = 0;  // the step encoding of durations
constexpr uint8_t kFieldByte = 1;
constexpr uint8_t kFieldWord = 2;

// An event whose given fields are announced by a presence byte.
struct FlaggedEvent {
    vld::EventName event{};
    int max_parameters = 0;  // at most 8
    std::array<uint8_t, 8> widths{1, 1, 1, 1, 1, 1, 1, 1};
    bool omission_allowed = true;
    int sub = -1;       // written doubled behind the code; negative: none
    int reserved = 0;   // low first: bytes between the sub-byte and the presence byte
    int factor = 1;     // low first: each value is multiplied by it
    bool must_be_positive = false;
    int tweak = -1;     // high first: 0 or more shifts the presence byte right (bit 7 set above 0)
    const char* too_many = "";
    const char* relative = "";
    const char* omitted = "";
};

// Fills the reserved bytes of one track's event, `offset` being where they
// start in the track's stream.
using ReservedFill = std::function<void(int track, EventBuffer& out, size_t offset)>;

// Code, doubled sub-byte, reserved bytes, presence byte (bit i for field i),
// then each given field times the factor.
Pos lowFirstFlaggedEmitter(Pos p, TrackCompile& tc, const FlaggedEvent& event, const ReservedFill& fill = nullptr);
// Code, doubled sub-code, presence byte (bit 7 - i for field i), then each
// given field.
Pos highFirstFlaggedEmitter(Pos p, TrackCompile& tc, const FlaggedEvent& event);
