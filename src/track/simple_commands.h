// The one-character commands that write a short fixed event. Each takes the
// position behind its command character.
#pragma once
#include "track/track_compile.h"

Pos switchCommand(Pos p, TrackCompile& tc);         // "n
Pos insertBytesCommand(Pos p, TrackCompile& tc);    // ;a,b,...
Pos switchMaskCommand(Pos p, TrackCompile& tc);     // =n
Pos workAreaCommand(Pos p, TrackCompile& tc);       // ?a,v
Pos hCommand(Pos p, TrackCompile& tc);              // H n,m
Pos keyTransposeCommand(Pos p, TrackCompile& tc);   // K n
Pos mCommand(Pos p, TrackCompile& tc);              // M n,m
Pos channelChangeCommand(Pos p, TrackCompile& tc);  // N n
Pos sCommand(Pos p, TrackCompile& tc);              // S n,m
Pos fadeCommand(Pos p, TrackCompile& tc);           // \n
Pos velocityStepCommand(Pos p, TrackCompile& tc, char sign);  // _n... and ~n...
Pos parentTrackCommand(Pos p, TrackCompile& tc);    // ]
