// Sources in, the notes a musician hears out: every family of what the
// player does, one line a case. Times are clocks (time base 192: a quarter
// note is 48), pitches MIDI note numbers.
#include <gtest/gtest.h>

#include "export/export_support.h"

namespace {

struct TimelineCase {
    std::string source;  // track lines; a source without `.ASSIGN` gets track 1 on MIDI channel 1
    std::string notes;
};

std::string withAssignment(const std::string& source) {
    if (source.find(".ASSIGN") != std::string::npos) return source;
    return ".ASSIGN 1 {midi1}\n(t1) " + source + "\n";
}

void expectTimelines(const std::vector<TimelineCase>& cases, const vld::ExportOptions& options = {}) {
    for (const TimelineCase& c : cases) {
        std::string source = withAssignment(c.source);
        EXPECT_EQ(timelineOf(source, options), c.notes) << "source:\n" << source;
    }
}

TEST(Timeline, LengthsTiesDotsAndRests) {
    expectTimelines({
        {"o4 l4 c d8 e8. f16 g4^8 r8 a2&a4 b4",
         "0-48 60, 48-72 62, 72-108 64, 108-120 65, 120-192 67, 216-360 69, 360-408 71"},
        {"o4 l4 c0 c", "0-48 60"},  // the 1-clock C merges into the note that starts with it
        {"o4 l4 c& c r c", "0-96 60, 144-192 60"},
        {"o4 l4 c& d e", "0-48 60, 48-96 62, 96-144 64"},  // a tie to another pitch is a slur
    });
}

TEST(Timeline, QuantizeAndVelocities) {
    expectTimelines({
        {"o4 l4 q6 c d q8 u100 e e,,+10 e,,64 u+5 e",
         "0-36 60, 48-84 62, 96-144 64 v100, 144-192 64 v110, 192-240 64 v64, 240-288 64 v105"},
    });
}

TEST(Timeline, Chords) {
    expectTimelines({
        {"o4 l4 'ceg'& 'cfa' 'ceg'& c4 c& d e",
         "0-96 60, 0-48 64, 0-48 67, 48-96 65, 48-96 69, 96-192 60, 96-144 64, 96-144 67, 192-240 60, 240-288 62, "
         "288-336 64"},
        {"o4 l4 'ceg',8", "0-48 60, 8-48 64, 16-48 67"},
    });
}

TEST(Timeline, RepeatsAndEndings) {
    expectTimelines({
        {"o4 l8 |:3 c |1 d :| |2 e :| |3 f :|",
         "0-24 60, 24-48 62, 48-72 60, 72-96 64, 96-120 60, 120-144 65"},
        {"o4 l8 |:3 g | a :|", "0-24 67, 24-48 69, 48-72 67, 72-96 69, 96-120 67"},
        {"o4 l8 |: |: b :| > b < :|",
         "0-24 71, 24-48 71, 48-72 59, 72-96 71, 96-120 71, 120-144 59"},
    });
}

TEST(Timeline, CapoSegnoCodaAndFine) {
    expectTimelines({
        {"o4 l4 c [fine] d [d.c.] e", "0-48 60, 48-96 62, 96-144 60"},
        {"o4 l4 c [segno] d [tocoda] e [d.s.] [coda] f", "0-48 60, 48-96 62, 96-144 64, 144-192 62, 192-240 65"},
        // A to-coda without a coda leads nowhere: the repeat after the D.S. plays to the end.
        {"o4 l4 [segno] c [tocoda] d [d.s.]", "0-48 60, 48-96 62, 96-144 60, 144-192 62"},
        {"o4 l4 c [d.c.] d [d.c.] e", "0-48 60, 48-96 60, 96-144 62, 144-192 64"},
    });
}

TEST(Timeline, RepeatsAfterAJumpPlayOnlyTheirLastPassWhenAsked) {
    vld::ExportOptions skip;
    skip.repeats_after_jump = false;
    expectTimelines({{"o4 l8 [segno] |:2 c |1 d :| |2 e :| [d.s.] f",
                      "0-24 60, 24-48 62, 48-72 60, 72-96 64, 96-120 60, 120-144 64, 144-168 65"}},
                    skip);
}

// Once every track that does not loop has ended, the looping ones play on to
// the latest of their last passes (`--loops`) and stop together there.
TEST(Timeline, EndlessLoopsPlayTheirPassesAndEndTogether) {
    std::string source = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 r [do] c d [loop]\n(t2) o3 l4 [do] e f g [loop]\n";
    vld::ExportOptions twice, once;
    once.loops = 1;
    EXPECT_EQ(timelineOf(source, twice),
              "t2 0-48 52 ch1, 48-96 60, t2 48-96 53 ch1, 96-144 62, t2 96-144 55 ch1, 144-192 60, t2 144-192 52 ch1, "
              "192-240 62, t2 192-240 53 ch1, 240-288 60, t2 240-288 55 ch1");
    EXPECT_EQ(exportSource(source, twice).result.end_clock, 288u);
    EXPECT_EQ(exportSource(source, once).result.end_clock, 144u);
    // A track that loops alone stops after its passes too.
    Exported alone = exportSource(".ASSIGN 1 {midi1}\n(t1) o4 l4 r [do] c d [loop]\n");
    EXPECT_EQ(timelineText(alone.result), "48-96 60, 96-144 62, 144-192 60, 192-240 62");
    EXPECT_EQ(alone.result.notes, 4u);
}

// A gate longer than its step sounds past the track's end: the piece's
// length in seconds runs to the last note-off.
TEST(Timeline, LongGatesSoundPastTheEnd) {
    Exported e = exportSource(".ASSIGN 1 {midi1}\n(t1) o4 l4 @q-10 c d e\n");
    EXPECT_EQ(timelineText(e.result), "0-58 60, 48-106 62, 96-154 64");
    EXPECT_EQ(e.result.end_clock, 144u);
    EXPECT_EQ(e.result.sound_end_clock, 154u);
}

// A sub-track shares its parent's channel: when the parent strikes the E the
// sub-track still holds, the sub-track's E ends there and the parent's goes on.
TEST(Timeline, SubTracksWaitForTheirSignal) {
    expectTimelines({
        {".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 c [BACK e2] d e [BACK g] f\n",
         "0-48 60, 48-96 62, t3 48-96 64, 96-144 64, 144-192 65, t3 144-192 67"},
        {".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) o4 l4 c [BACK e2] d f [BACK g] f\n",
         "0-48 60, 48-96 62, t3 48-144 64, 96-144 65, 144-192 65, t3 144-192 67"},
    });
}

TEST(Timeline, TupletsTransposeAndTrackDelay) {
    expectTimelines({
        {"o4 l4 {c d e}4 {c d e f g}4", "0-16 60, 16-32 62, 32-48 64, 48-58 60, 58-68 62, 68-78 64, 78-87 65, 87-96 67"},
        {"o4 l4 k2 c k0 c", "0-48 62, 48-96 60"},
        {"o4 l4 @w4 c [TRACK_DELAY 12] c", "48-96 60, 108-156 60"},
    });
}

TEST(Timeline, FmTracksTakeTheFirstFreeChannel) {
    expectTimelines({{".ASSIGN 1 {midi1}\n.ASSIGN 2 {fm1}\n(t1) o4 c\n(t2) o4 @5 e\n", "0-48 60, t2 0-48 64 ch1"}});
}

}  // namespace

namespace {

TEST(Timeline, OptionsForTheStartTheVelocityAndTheInterface) {
    const std::string two = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi17}\n(t1) o4 c\n(t2) o4 e\n";
    vld::ExportOptions quieter, later, first;
    quieter.velocity = 100;
    later.lead_in = 96;
    first.interface = 1;
    EXPECT_EQ(timelineOf(".ASSIGN 1 {midi1}\n(t1) o4 c d,,+5\n", quieter), "0-48 60 v100, 48-96 62 v105");
    EXPECT_EQ(timelineOf(".ASSIGN 1 {midi1}\n(t1) o4 c\n", later), "96-144 60");
    EXPECT_EQ(timelineOf(two), "0-48 60, t2 0-48 64");
    EXPECT_EQ(timelineOf(two, first), "0-48 60");
}

}  // namespace

namespace {

// A replay plays another track's notes in place; a wait holds a track until
// another's synchronize, sent before or after it reaches the wait.
TEST(Timeline, ReplayAndSynchronize) {
    const std::string head = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n";
    expectTimelines({
        {head + "(t1) o4 l4 c J2 d\n(t2) o4 l4 e f\n",
         "0-48 60, t2 0-48 64 ch1, 48-96 64, t2 48-96 65 ch1, 96-144 65, 144-192 62"},
        {head + "(t1) o4 l4 r2 [SYNCHRONIZE 2] d\n(t2) o4 l4 [SYNCHRONIZE] c\n", "96-144 62, t2 96-144 60 ch1"},
        {head + "(t1) o4 l4 c [SYNCHRONIZE 2] d\n(t2) o4 l4 e [SYNCHRONIZE] f\n",
         "0-48 60, t2 0-48 64 ch1, 48-96 62, t2 48-96 65 ch1"},
        // Never signalled: the track stops at its wait.
        {head + "(t1) o4 l4 c\n(t2) o4 l4 e [SYNCHRONIZE] f\n", "0-48 60, t2 0-48 64 ch1"},
    });
}

}  // namespace
