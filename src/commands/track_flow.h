// The commands that shape a track's timing and playback: synchronize,
// replay, bar lines, dummy and all-sound-off events, tie and track modes,
// track delay, echo, the track's key signature, and comment and event texts.
#pragma once
#include "track/track_compile.h"

Pos synchronizeCommand(Pos p, TrackCompile& tc);  // w [SYNCHRONIZE]
Pos replayCommand(Pos p, TrackCompile& tc);       // J [REPLAY]
Pos barCommand(Pos p, TrackCompile& tc);          // [BAR] [MEASURE] [-]
Pos dummyCommand(Pos p, TrackCompile& tc);        // [DUMMY]
Pos allSoundOffCommand(Pos p, TrackCompile& tc);  // ` [ALL_SOUND_OFF]
Pos tieModeCommand(Pos p, TrackCompile& tc);      // @j [TIE_MODE]
Pos trackModeCommand(Pos p, TrackCompile& tc);    // @r [TRACK_MODE]
enum class DelayForm { length, clocks };          // @w / [TRACK_DELAY]
Pos trackDelayCommand(Pos p, TrackCompile& tc, DelayForm form);
Pos echoCommand(Pos p, TrackCompile& tc);          // [ECHO]
Pos keySignatureCommand(Pos p, TrackCompile& tc);  // [KEY_SIGNATURE] [K.SIGN]
Pos commentCommand(Pos p, TrackCompile& tc);       // [COMMENT]
Pos eventCommand(Pos p, TrackCompile& tc);         // [EVENT]
