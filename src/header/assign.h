// Track assignment: which channel of which device a track plays on.
#pragma once
#include "header/header.h"

// `all` (every channel) is allowed only where the caller says so.
struct Channel {
    int channel = 0;
    uint16_t device = 0;  // 0 FM, 1 ADPCM, 0x8000 + interface - 1 MIDI, 0xFFFF MIDI on the current interface, 0xFFFE all
};
Pos readChannel(Pos p, headdata& hd, bool allowAll, Channel& out);

// Gives track n its channel and device, lists it in track_list and gives it an
// event buffer.
void allocateTrack(TrackRecords& trk, headdata& hd, int n, int channel, uint16_t device);
bool trackIsListed(const headdata& hd, int n);

// `.ASSIGN` (parenthesised = false) and `(A...)` (true).
Pos assignCommand(Pos p, TrackRecords& trk, headdata& hd, bool parenthesised);

// The options of one assignment up to the terminator: priority, interface,
// play/record, normal/rhythm, comment.
Pos getAssign2(Pos p, trkdata& track, char terminator);
