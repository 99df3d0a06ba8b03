// What the event writers record while a tuplet is open, so that the closing
// brace can share out the tuplet's length and rewrite the events it holds.
#pragma once
#include <cstddef>
#include <cstdint>

#include "track/track_compile.h"

// Kinds of the events recorded inside a tuplet.
constexpr uint8_t kTupletNote = 0;       // a note, a rest or the last note of a chord
constexpr uint8_t kTupletPortamento = 1;
constexpr uint8_t kTupletChordNote = 2;  // a chord note before the last: its step is the delay

// Records the event whose step field begins at the current end of the track's
// stream; the event writer then puts step and gate as two 16-bit words.
void recordTupletEvent(TrackCompile& tc, int track, int nodeKind);

// A 32-bit field holding `to` - `from` (stream offsets) was written while a
// tuplet is open: it is rewritten when the tuplet closes and its events
// shrink. Does nothing when no tuplet is open.
void recordTupletOffsetField(trkinf& info, size_t field, size_t from, size_t to);
