// Sound-module setup messages of GS, SC-88 and XG modules, compiled into
// exclusive events of the common stream. Each takes the text behind the
// command name and returns the position behind what it consumed.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

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

// Display bitmaps: 16 rows, bit 15 the leftmost dot. GS: four blocks of 16
// bytes holding bits 15-11, 10-6 and 5-1 of each row, then bit 0 as bit 4.
// XG: three blocks holding bits 15-9 and 8-2, then bits 1-0 as bits 6-5.
std::array<unsigned char, 64> packGsDisplay(const std::array<uint16_t, 16>& rows);
std::array<unsigned char, 48> packXgDisplay(const std::array<uint16_t, 16>& rows);
// Voice-reserve values in part order 1 to 16 into message order: part 10
// first, then 1 to 9 and 11 on. Fewer than 10 values stay as they are.
void orderVoiceReserve(unsigned char* values, size_t count);
