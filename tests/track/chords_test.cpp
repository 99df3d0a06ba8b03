#include "records/records.h"
#include "scan/scan_fixture.h"
#include "track/chords.h"
#include "track_cases.h"

namespace {

std::string errorOf(const char* message) { return std::string("exit 1: song.vls\t2: Error: ") + message; }

TEST(Chords, SpreadStepAndGateOverTheNotes) {
    expectStreams({
        {"'ceg'", "3C 00 30 80 40 00 30 80 43 30 30 80 FF FF FF FF"},
        {"\"ceg\"", "3C 00 30 80 40 00 30 80 43 30 30 80 FF FF FF FF"},
        {"'ceg',8", "3C 08 30 80 40 08 28 80 43 20 20 80 FF FF FF FF"},
        {"'ceg', *8", "3C 08 30 80 40 08 28 80 43 20 20 80 FF FF FF FF"},
        {"'ceg'96", "3C 00 60 80 40 00 60 80 43 60 60 80 FF FF FF FF"},
        {"'ceg'*96", "3C 00 60 80 40 00 60 80 43 60 60 80 FF FF FF FF"},
        {"'ceg'4", "3C 00 04 80 40 00 04 80 43 04 04 80 FF FF FF FF"},
        {"'c4e4'", "3C 00 30 80 40 30 30 80 FF FF FF FF"},
        {"'c8^8 e4'", "3C 00 30 80 40 30 30 80 FF FF FF FF"},
         {"'c4,*40 e g'", "3C 00 28 80 40 00 28 80 43 30 28 80 FF FF FF FF"},
        {"'ceg',-8", "43 08 30 80 40 08 28 80 3C 20 20 80 FF FF FF FF"},
        // The chord delay is kept for the next chord of the track.
        {"'ce',8 'ce'", "3C 08 30 80 40 28 28 80 3C 08 30 80 40 28 28 80 FF FF FF FF"},
        // Ties behind the group lengthen the step only.
        {"'ce'^4", "3C 00 30 80 40 60 30 80 FF FF FF FF"},
        {"'c,,100 e,,+5 g,,-2'", "3C 00 30 64 40 00 30 C5 43 30 30 BE FF FF FF FF"},
        // Octave changes inside a chord end with it.
        {"'<c >c' c", "48 00 30 80 3C 30 30 80 3C 30 30 80 FF FF FF FF"},
        // A chord too wide for its step: the spread stops at the step's end,
        // so the track keeps the time it counts; the last note gets what is
        // left (nothing), its gate at least 1.
        {"'ceg',25", "3C 19 30 80 40 17 17 80 43 00 01 80 FF FF FF FF"},
        {"'ceg',30", "3C 1E 30 80 40 12 12 80 43 00 01 80 FF FF FF FF"},
        {"'c4,*30 e g',20", "3C 14 1E 80 40 14 0A 80 43 08 01 80 FF FF FF FF"},
    });
}

TEST(Chords, TiesAcrossChords) {
    expectStreams({
        // The held c becomes FF FF; e and g end with the gate they had.
        {"'ceg'& 'cfa'", "3C 00 FF FF 80 40 00 80 30 80 43 30 80 30 80 3C 00 30 80 41 00 30 80 45 30 30 80 FF"},
        {"'ceg'& 'cfa'& 'c'",
         "3C 00 FF FF 80 40 00 80 30 80 43 30 80 30 80 3C 00 FF FF 80 41 00 80 30 80 45 30 80 30 80 3C 30 30 80 FF FF"},
        {"'ceg'& 'cfa'& c",
         "3C 00 FF FF 80 40 00 80 30 80 43 30 80 30 80 3C 00 80 00 80 41 00 80 00 80 45 30 80 00 80 3C 30 30 80 FF FF"},
        // A plain note ends the tie list: the chord keeps its tie gates.
        {"'ce'& c 'ce'", "3C 00 80 00 80 40 30 80 00 80 3C 30 30 80 3C 00 30 80 40 30 30 80 FF FF"},
        // The kept gate is that of the chord the held note reached last.
        {"'c1e1'& 'c8e8'& 'c'", "3C 00 FF FF 80 40 80 C0 FF FF 80 3C 00 FF FF 80 40 18 80 18 80 3C 30 30 80 FF FF FF"},
    });
}

TEST(Chords, Errors) {
    expectStreams({
        {"'c4e8'", errorOf("too many steps in a chord/portament.")},
        {"'cxg'", errorOf("SYNTAX ERROR.")},
        {"'ceg\"", errorOf("SYNTAX ERROR.")},
        {"'ceg", errorOf("SYNTAX ERROR.")},
        {"'ceg',", errorOf("no delay parameter is specified.")},
        {"'ceg',8,4", errorOf("Portament time can't set on the chord.")},
        {"'ceg',60", errorOf("delay must be less than the gate.")},
        {"'ceg'*", errorOf("`*' must be followed to its parameter.")},
        // More than eight notes: an error that names the limit.
        {"'cdefgabcd'", errorOf("too many notes in a chord/portament (up to 8).")},
        {"'cdefgabc'", "3C 00 30 80 3E 00 30 80 40 00 30 80 41 00 30 80 43 00 30 80 45 00 30 80 47 00 30 80 "
                       "3C 30 30 80 FF FF FF FF"},
    });
}

TEST(Chords, Warnings) {
    const std::pair<std::string, std::string> cases[] = {
        {"'ceg',30", "song.vls\t2: Warning: delay parameter for the chord is too large (for steptime)."},
        {"'c4,*30 e g',20", "song.vls\t2: Warning: delay parameter for the chord is too large (for gatetime)."},
        {"'ceg',-8", "song.vls\t2: Warning: delay under 0 can use only for vlc3."},
        {"\"ceg\"", "song.vls\t2: Warning: \"..\" can use only for vlc2."},
        {"'ceg'<&", "song.vls\t2: Warning: There is octave switch(es) between NOTE and TIE."},
        {"'c<eg'&", ""},
    };
    for (const auto& [mml, first] : cases) {
        RunResult result = compileSource(onTrack1(mml), {"-W4"});
        EXPECT_EQ(result.exitCode, 0) << mml;
        EXPECT_EQ(firstMessage(result), first) << mml;
    }
}

TEST(Portamento, WritesOneGlideEvent) {
    expectStreams({
        {"(c g)", "84 3C 43 30 30 80 FF FF"},
        {"(c g)96,12,24", "84 BC C3 0C 18 60 60 80 FF FF FF FF"},
        {"(c g)96,12,24 (d a)", "84 BC C3 0C 18 60 60 80 84 BE C5 0C 18 30 30 80 FF FF FF FF"},
        {"(c g)*200", "84 3C 43 80 C8 80 C8 80 FF FF FF FF"},
        {"(c4 g)", "84 3C 43 30 30 80 FF FF"},
        {"(c g)&", "84 3C 43 30 80 00 80 FF"},
        {"(c,,100 g)", "84 3C 43 30 30 64 FF FF"},
        {"(c g,,+5)", "84 3C 43 30 30 C5 FF FF"},
        {"(c,,200 g)", "84 3C 43 30 30 7F FF FF"},
        // The octave reached inside the group stays.
        {"(c <g) c", "84 3C 4F 30 30 80 48 30 30 80 FF FF"},
        {"[c g]", "85 3C 43 30 30 80 FF FF"},
        {"(c)", errorOf("portament requires 2 tones.")},
        {"(c e g)", errorOf("portament requires 2 tones.")},
        {"(d)", errorOf("portament requires 2 tones.")},
        {"(c g)4,12", errorOf("delay must be less than the gate.")},
        {"(c g),-1", errorOf("delay must not be under zero.")},
        {"(c g)0", errorOf("illegal step length.")},
        {"(c g),12,", errorOf("no portament time is specified.")},
        {"(c g,,+64)", errorOf("relative velocity must be in from -63 to 63.")},
    });
}

// `(d1)` and `(d0)` write nothing: they switch the debugging marks on and
// off, once for the whole track set.
TEST(Portamento, OneNoteDSwitchesTheDebuggingMarks) {
    const std::tuple<const char*, int> cases[] = {{"(d1)", 1}, {"(d)*192", 1}, {"(d0)", 0}, {"(o5d1)", 1}};
    for (const auto& [text, mode] : cases) {
        ScanText source(text);
        headdata hd;
        hd.second_mode = 7;
        TrackRecords trk(kTrackCount);
        TrackInfos inf(kTrackCount);
        for (int t = 1; t < kTrackCount; ++t) initTrkInf(inf[t], hd);
        TrackCompile tc{trk, hd, inf, {1, 2, 255}};
        Pos end = portamentoCommand(source.at(1), tc, 0x84, ')');
        EXPECT_EQ(*end, '\r') << text;
        EXPECT_EQ(hd.second_mode, mode) << text;
        EXPECT_TRUE(trk[1].buf.empty() && trk[2].buf.empty()) << text;
    }
}

}  // namespace
