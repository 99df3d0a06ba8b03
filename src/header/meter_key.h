// Gate-time resolution, meter and key. The builders take a track set: the
// dot-commands pass the common track alone, where the values go into the
// header; bracket commands in track lines pass their tracks, which get their
// own state or meta events.
#pragma once
#include "header/header.h"

struct trkinf;

// GATETIME_RESOLUTION: one number per track of the set.
Pos gatetimeResolutionCommand(Pos p, TrackRecords& trk, headdata& hd, trkinf* infos, TrackSet set);
// METER m/n: header meter, or meta event C5 05 02 m n in a track.
Pos meterCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);
// KEY key: header key, or meta event C5 04 02 fifths mode in a track.
Pos keyCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);

// Reads a key such as `C`, `Am`, `e-m`, `F#`, `Bmajor` or a braced `{g}`.
// Mode 0 major, 1 minor, 255 when a character that cannot follow a key stands
// behind the letters.
Pos readKeySignature(Pos p, int& fifths, int& mode);
