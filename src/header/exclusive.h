// Exclusive events in the common stream and in tracks: raw MIDI and exclusive
// data with Roland and Yamaha checksums, and the fixed messages that reset or
// switch a sound module. Each takes the text behind the command name and
// returns the position behind what it consumed.
#pragma once
#include "header/header.h"

Pos midiDataCommand(Pos p, TrackRecords& trk, headdata& hd);        // MIDI_DATA
Pos exclusiveCommand(Pos p, TrackRecords& trk, headdata& hd);       // EXCLUSIVE
Pos rolandExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd); // ROLAND_EXCLUSIVE
Pos yamahaExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd); // YAMAHA_EXCLUSIVE
Pos xgExclusiveCommand(Pos p, TrackRecords& trk, headdata& hd);     // XG_EXCLUSIVE
Pos dxBulkDumpCommand(Pos p, TrackRecords& trk, headdata& hd);      // DX_BULK_DUMP

// The fixed messages, written to every track of the set (0xF4 form for tracks
// other than the common track).
Pos gsResetCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);      // SC55_INIT, SC55_RESET, GS_INIT, GS_RESET
Pos gmSystemOnCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);   // GM_SYSTEM_ON
Pos gm2SystemOnCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);  // GM2_SYSTEM_ON (with its notice)
Pos xgSystemOnCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);   // XG_SYSTEM_ON, XG_INIT (with its notice)
Pos mu100VoiceMapCommand(Pos p, TrackRecords& trk, headdata& hd);              // MU100_VOICE_MAP
Pos mu100BasicMapCommand(Pos p, TrackRecords& trk, headdata& hd);              // MU100_BASIC_MAP (with its notice)
Pos mu100NativeMapCommand(Pos p, TrackRecords& trk, headdata& hd);             // MU100_NATIVE_MAP (with its notice)
// SC88_MODE and SC88_MODE_SET (0xF3 form for tracks other than the common track).
Pos sc88ModeCommand(Pos p, TrackRecords& trk, headdata& hd, TrackSet set);
