// The header dispatcher, the entry of the header dot-commands.
#pragma once
#include "header/header.h"

// The header dispatcher: runs header commands from `text` until the first
// line that belongs to the tracks, whose position it leaves in `rest`.
// `trackMode` is set when a track line re-enters it.
void compileHeader(TrackRecords& trk, Pos text, Pos& rest, headdata& hd, int trackMode);
