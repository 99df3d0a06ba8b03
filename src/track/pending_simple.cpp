// Placeholders until the simple commands and the sequences are compiled.
#include "commands/sequences.h"
#include "track/simple_commands.h"

Pos switchCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos insertBytesCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos switchMaskCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos workAreaCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos hCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos keyTransposeCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos mCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos channelChangeCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos sCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos fadeCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos velocityStepCommand(Pos p, TrackCompile&, char) { notSupportedYet(p); }
Pos parentTrackCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos velocityListCommand(Pos p, TrackCompile&) { notSupportedYet(p); }
Pos quantizeListCommand(Pos p, TrackCompile&, int) { notSupportedYet(p); }
