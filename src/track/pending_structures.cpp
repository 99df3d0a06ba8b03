// Placeholders until chords, portamento, repeats and tuplets are compiled.
#include "track/chords.h"
#include "track/repeats.h"
#include "track/tuplets.h"

Pos chordCommand(Pos p, TrackCompile&, char) { notSupportedYet(p - 1); }
Pos portamentoCommand(Pos p, TrackCompile&, unsigned, char) { notSupportedYet(p - 1); }
Pos repeatCommand(Pos c, TrackCompile&) { notSupportedYet(c); }
Pos openTuplet(Pos p, TrackCompile&) { notSupportedYet(p - 1); }
Pos closeTuplet(Pos p, TrackCompile& tc) {
    // Without a tuplet, `}` closes a `.track ... {` block.
    if (tc.hd.block_open) {
        tc.hd.block_open = 0;
        return p;
    }
    notSupportedYet(p - 1);
}
