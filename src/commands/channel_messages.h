// The commands that set up and drive a sound channel: program and bank,
// program split, bend and detune, pitch, bend range, auto portamento, volume,
// panpot, tempo and timer, damper, control change, NRPN, MIDI data and maker
// exclusives, faders, effects and the instrument ID. Each takes the text
// behind its name or letter, writes to every track of the set and returns the
// position behind its parameters.
#pragma once
#include "track/track_compile.h"

Pos bankSelectCommand(Pos p, TrackCompile& tc);     // i, [TIMBRE_BANK], [PROGRAM_BANK]
Pos programChangeCommand(Pos p, TrackCompile& tc);  // @n (not a letter), [TIMBRE], [PROGRAM]
Pos programSplitCommand(Pos p, TrackCompile& tc);   // [TIMBRE_SPLIT], [PROGRAM_SPLIT]

Pos bendSwitchCommand(Pos p, TrackCompile& tc);  // [BEND.SWITCH]
enum class BendForm { bend, detune };
Pos bendCommand(Pos p, TrackCompile& tc, BendForm form);  // @b [BEND] / @k
Pos pitchCommand(Pos p, TrackCompile& tc, bool relative);  // [PITCH] / [@PITCH]
Pos bendRangeCommand(Pos p, TrackCompile& tc);  // @g [BEND.RANGE]
Pos autoPortamentoCommand(Pos p, TrackCompile& tc);        // [AUTO_PORTAMENT]
Pos autoPortamentoSwitchCommand(Pos p, TrackCompile& tc);  // [AUTO_PORTAMENT.SWITCH]

enum class VolumeForm { upTo16, upTo127, relative };  // v / @v [VOLUME] / [@VOLUME]
Pos volumeCommand(Pos p, TrackCompile& tc, VolumeForm form);
enum class PanpotForm { table, upTo127, relative };  // P / @p [PANPOT] / [@PANPOT]
Pos panpotCommand(Pos p, TrackCompile& tc, PanpotForm form);
enum class TempoForm { tempo, relativeTempo, timer };  // t [TEMPO] / [@TEMPO] / @t [TIMER]
Pos tempoCommand(Pos p, TrackCompile& tc, TempoForm form);
enum class DamperForm { onOff, value };  // @d / [DAMPER]
Pos damperCommand(Pos p, TrackCompile& tc, DamperForm form);

Pos controlChangeCommand(Pos p, TrackCompile& tc);  // y [CONTROL]
Pos nrpnCommand(Pos p, TrackCompile& tc);           // @y [NRPN]

// @x [MIDI_DATA] (kRawMidiData), x [ROLAND_EXCLUSIVE] (0x41), [YAMAHA_EXCLUSIVE] (0x43).
constexpr int kRawMidiData = -1;
Pos midiDataCommand(Pos p, TrackCompile& tc, int maker);

Pos trackFaderCommand(Pos p, TrackCompile& tc);  // [TRACK_FADER]
Pos channelFaderCommand(Pos p, TrackCompile& tc);  // [CH_FADER]
Pos effectCommand(Pos p, TrackCompile& tc);      // @e [EFFECT]
// [EFFECT.REVERB] (mask 1), [EFFECT.CHORUS] (2), [EFFECT.DELAY] (4).
Pos effectSendCommand(Pos p, TrackCompile& tc, unsigned mask);
Pos instrumentIdCommand(Pos p, TrackCompile& tc);  // @i [INSTRUMENT_ID]
Pos sc88ModeBracket(Pos p, TrackCompile& tc);      // [SC88_MODE_SET], [SC88_MODE]
