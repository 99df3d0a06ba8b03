// Sound-module setup messages of GS, SC-88 and XG modules, compiled into
// exclusive events of the common stream. Each takes the text behind the
// command name and returns the position behind what it consumed.
#pragma once
#include "header/header.h"

// The family of each command; the dispatcher passes the one its name belongs to.
enum class ReverbChorusKind { Sc55Reverb, Sc55Chorus, Sc88Reverb, Sc88Chorus, Sc88Delay };

Pos voiceReserveCommand(Pos p, TrackRecords& trk, headdata& hd);                         // SC55_V_RESERVE, SC55_PARTIAL_RESERVE, GS_V_RESERVE, GS_PARTIAL_RESERVE
Pos reverbChorusCommand(Pos p, TrackRecords& trk, headdata& hd, ReverbChorusKind kind); // SC55/GS_REVERB, SC55/GS_CHORUS, SC88_REVERB, SC88_CHORUS, SC88_DELAY
Pos sc88EqualizerCommand(Pos p, TrackRecords& trk, headdata& hd);                        // SC88_EQUALIZER
Pos partSetupCommand(Pos p, TrackRecords& trk, headdata& hd, bool sc88);                 // SC55/GS_PART_SETUP/_PARAMETER, SC88_PART_SETUP/_PARAMETER
Pos drumSetupCommand(Pos p, TrackRecords& trk, headdata& hd, bool sc88);                 // SC55/GS_DRUM_SETUP, SC88_DRUM_SETUP
Pos gsPrintCommand(Pos p, TrackRecords& trk, headdata& hd);                              // SC55_PRINT, GS_PRINT
Pos gsDisplayCommand(Pos p, TrackRecords& trk, headdata& hd);                            // SC55_DISPLAY, GS_DISPLAY
Pos xgPrintCommand(Pos p, TrackRecords& trk, headdata& hd);                              // XG_PRINT
Pos xgDisplayCommand(Pos p, TrackRecords& trk, headdata& hd);                            // XG_DISPLAY
Pos xgEqualizerCommand(Pos p, TrackRecords& trk, headdata& hd);                          // XG_EQUALIZER
