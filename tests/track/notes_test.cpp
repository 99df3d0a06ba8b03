#include "base/random.h"
#include "records/records.h"
#include "records/trkinf.h"
#include "track/velocity.h"
#include "track_cases.h"

namespace {

const char* kEnd = "FF FF FF FF";

TEST(Notes, LengthsDotsTiesAndTheirDurationBytes) {
    expectStreams({
        {"c4", "3C 30 30 80 FF FF FF FF"},
        {"c4.", "3C 48 48 80 FF FF FF FF"},
        {"c4..", "3C 54 54 80 FF FF FF FF"},
        {"c*50", "3C 32 32 80 FF FF FF FF"},
        {"c5", "3C 26 26 80 FF FF FF FF"},
        {"c4^8", "3C 48 48 80 FF FF FF FF"},
        {"c4 ^ 8 ^", "3C 78 78 80 FF FF FF FF"},
        {"c", "3C 30 30 80 FF FF FF FF"},
        {"l8 c", "3C 18 18 80 FF FF FF FF"},
        {"l8. c l c", "3C 24 24 80 3C 24 24 80 FF FF FF FF"},
        {"c*127", "3C 7F 7F 80 FF FF FF FF"},
        {"c*128", "3C 80 80 80 80 80 FF FF"},
        {"c*300", "3C 81 2C 81 2C 80 FF FF"},
        {"c*40000", "3C 9C 40 9C 40 80 FF FF"},
        {"c4&", "3C 30 80 00 80 FF FF FF"},
        {"c4 &", "3C 30 80 00 80 FF FF FF"},
        {"c0", "B2 3C 80 FF"},
        {"c4,8", "3C 30 18 80 FF FF FF FF"},
        {"c4,*7", "3C 30 07 80 FF FF FF FF"},
        {"c4^8,16", "3C 48 0C 80 FF FF FF FF"},
        {"r4", "80 30 30 FF"},
        {"r4,8", "80 30 18 FF"},
        {"r4,,100", "80 30 30 FF"},
        {"R8^8", "80 30 30 FF"},
        {"c4 d4", "3C 30 30 80 3E 30 30 80 FF FF FF FF"},
    });
}

TEST(Notes, PitchOctavesAndAccidentals) {
    expectStreams({
        {"o4c", "3C 30 30 80 FF FF FF FF"},
        {"o-1c", "00 30 30 80 FF FF FF FF"},
        {"o4b+", "48 30 30 80 FF FF FF FF"},
        {"o4b #", "48 30 30 80 FF FF FF FF"},
        {"c-", "3B 30 30 80 FF FF FF FF"},
        {"c!", "3C 30 30 80 FF FF FF FF"},
        {"C D E F G A B", "3C 30 30 80 3E 30 30 80 40 30 30 80 41 30 30 80 43 30 30 80 45 30 30 80 47 30 30 80 FF FF FF FF"},
        {"<c >>c", "48 30 30 80 30 30 30 80 FF FF FF FF"},
        {"c<d", "3C 30 30 80 4A 30 30 80 FF FF FF FF"},
        {"o9g", "7F 30 30 80 FF FF FF FF"},
        {"c#!", "exit 1: song.vls\t2: Error: natural(!) must be on just after note."},
        {"c!-", "exit 1: song.vls\t2: Error: natural(!) must be on just after note."},
        {"c!!", "exit 1: song.vls\t2: Error: too many natural(!)."},
        {"o9<", "exit 1: song.vls\t2: Error: octave parameter is out of range(-1 - 9)."},
        {"o10", "exit 1: song.vls\t2: Error: octave parameter is out of range(-1 - 9)."},
        {"o", "exit 1: song.vls\t2: Error: 'o'(octave set) must be followed to its parameter."},
        {"o9b", "exit 1: song.vls\t2: Error: note number 131 is out of range(0 - 127)."},
        {"o-1c-", "exit 1: song.vls\t2: Error: note number -1 is out of range(0 - 127)."},
        {"c%2", "exit 1: song.vls\t2: Error: SYNTAX ERROR"},
    });
}

TEST(Notes, VelocityBytesAndTheUCommand) {
    expectStreams({
        {"c4,,100", "3C 30 30 64 FF FF FF FF"},
        {"c4,,+5", "3C 30 30 C5 FF FF FF FF"},
        {"c4,,-5", "3C 30 30 BB FF FF FF FF"},
        {"c4,,200", "3C 30 30 7F FF FF FF FF"},
        {"c4,,+64", "exit 1: song.vls\t2: Error: relative velocity must be in from -63 to 63."},
        {"u100", "93 64 FF FF"},
        {"u100 u", "93 64 93 64 FF FF FF FF"},
        {"u+10", "94 0A FF FF"},
        {"u-3", "94 FD FF FF"},
        {"u200", "93 7F FF FF"},
    });
}

// With the generator seeded to 1, the draws are 346, 130, 10982: a range of
// 10 gives 346 % 21 - 10 = 0, then 130 % 21 - 10 = -6, then 10982 % 21 - 10 = 10
// (added to the note's own +1).
TEST(Notes, RandomVelocityRangesDrawOncePerNote) {
    EXPECT_EQ(streamsOf(".RANDOMIZE_SEED 1\n.ASSIGN 1 {midi1}\n(t1) u100:10 c4 c4 c4,,+1\n"),
              "93 64 3C 30 30 C0 3C 30 30 BA 3C 30 30 CB FF FF");
}

// Plain notes on one track are played one after the other by the note
// command; with two tracks each note is played on both before the next, so
// the random draws alternate between the tracks.
TEST(Notes, RunsOfPlainNotesKeepTheOrderOfEvents) {
    expectStreams({
        {"c8 d8 e8", "3C 18 18 80 3E 18 18 80 40 18 18 80 FF FF FF FF"},
        {"c8d8<e8", "3C 18 18 80 3E 18 18 80 4C 18 18 80 FF FF FF FF"},
        {"c8 d8,4 e8", "3C 18 18 80 3E 18 30 80 40 18 18 80 FF FF FF FF"},
        {"c8 d8\ne8 r8 f8", "3C 18 18 80 3E 18 18 80 40 18 18 80 80 18 18 41 18 18 80 FF"},
        {"c8 d8 / comment e8\nf8", "3C 18 18 80 3E 18 18 80 41 18 18 80 FF FF FF FF"},
        {"q4 c8 d8", "3C 18 0C 80 3E 18 0C 80 FF FF FF FF"},
    });
    EXPECT_EQ(streamsOf(".RANDOMIZE_SEED 1\n.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1,2) u100:10 c4 c4\n"),
              "93 64 3C 30 30 C0 3C 30 30 CA FF FF | 93 64 3C 30 30 BA 3C 30 30 C9 FF FF");
}

TEST(RandomGenerator, StartsFromItsSeed) {
    RandomGenerator random(1);
    EXPECT_EQ(random.next(), 346);
    EXPECT_EQ(random.next(), 130);
    EXPECT_EQ(random.next(), 10982);
}

TEST(Revision, LowersVelocityByNoteLength) {
    headdata hd;
    trkinf info;
    initTrkInf(info, hd);
    info.revise_amount = 2;
    const std::tuple<int, int, int> cases[] = {
        {0, 48, 4}, {0, 12, 8}, {8, 48, 0}, {1, 48, 8}, {2, 48, 2}, {1, 0, 0}, {2, 0, 0}, {5, 48, 0},
    };
    for (const auto& [mode, step, expected] : cases) {
        info.revise_mode = static_cast<uint8_t>(mode);
        EXPECT_EQ(revision(info, hd, step), expected) << "mode " << mode << " step " << step;
    }
    // Modes 16 and 24 leave a note alone that is at most half the one before.
    info.revise_mode = 16;
    info.last_length = 96;
    EXPECT_EQ(revision(info, hd, 48), 0);
    EXPECT_EQ(info.last_length, 48);
    EXPECT_EQ(revision(info, hd, 48), 4);
}

// A note at the end of a line keeps its default length: the `.` that begins
// the next line is a command, not a dot of the length.
TEST(Notes, ALengthDoesNotTakeItsDotsFromTheNextLine) {
    RunResult result = compileSource(onTrack1("c\n.TEMPO 150\nd\n*30"));
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error << result.stderrText;
    EXPECT_EQ(vld.tempo, 150);
    EXPECT_EQ(streamsOf(onTrack1("c\n4 d.\n.")), "3C 30 30 80 3E 48 48 80 FF FF FF FF");
}

TEST(Notes, WarnOfAnOctaveSwitchBetweenNoteAndTie) {
    RunResult result = compileSource(onTrack1("c4<&"));
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: There is octave switch(es) between NOTE and TIE.");
}

TEST(Tracks, SelectionAssignmentAndOrder) {
    const std::pair<std::string, std::string> cases[] = {
        {"cdef\n", "3C 30 30 80 3E 30 30 80 40 30 30 80 41 30 30 80 FF FF FF FF"},
        {".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t2,1) c (t1) d\n", "3C 30 30 80 3E 30 30 80 FF FF FF FF | 3C 30 30 80 FF FF FF FF"},
        {".ASSIGN 3 {midi1}\n.ASSIGN 1 {midi2}\n(t3,1) c\n", "3C 30 30 80 FF FF FF FF | 3C 30 30 80 FF FF FF FF"},
        {".ASSIGN 1 {midi1}\n(t1,1,1) c\n", "3C 30 30 80 FF FF FF FF"},
        {".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n.track 2 {\nc\n}\n(t1) d\n", "3E 30 30 80 FF FF FF FF | 3C 30 30 80 FF FF FF FF"},
        {".ASSIGN 1 {midi1}\n(t1) c (t 1 , 1) d\n", "3C 30 30 80 3E 30 30 80 FF FF FF FF"},
    };
    for (const auto& [source, streams] : cases) EXPECT_EQ(streamsOf(source), streams) << source;
}

TEST(Tracks, AutomaticAssignmentOfTheFirstFifteen) {
    RunResult result = compileSource("(t5) c\n");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t1: Warning: track 5 is not assigned; (AMIDI5,5) is made up.");
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    ASSERT_EQ(vld.tracks.size(), 1u);
    EXPECT_EQ(vld.tracks[0].channel, 4);
    EXPECT_EQ(vld.tracks[0].device, 0x8000);
}

TEST(Tracks, SelectionErrors) {
    const std::pair<std::string, std::string> cases[] = {
        {"(t20) c\n", "exit 1: song.vls\t1: Error: track 20 is not assigned."},
        {"(t0) c\n", "exit 1: song.vls\t1: Error: illegal track number is specified."},
        {"(t) c\n", "exit 1: song.vls\t1: Error: no track number is assigned."},
        {".ASSIGN 1 {midi1}\n(t1;2) c\n", "exit 1: song.vls\t2: Error: illegal partition character."},
        {".ASSIGN 1 {midi1}\n(t1,\n", "exit 1: song.vls\t3: Error: unexpected EOF."},
        {".ASSIGN 1 {midi1}\n.track 1 {\nc\n(t1) d\n", "exit 1: song.vls\t4: Error: '}' is not closed."},
        {".ASSIGN 1 {midi1}\n.track 1 {\n(p1)\n", "exit 1: song.vls\t3: Error: '}' is not closed."},
        {".ASSIGN 1 {midi1}\n(t1) c (p9)\n", "exit 1: song.vls\t2: Error: trk 9 is not assigned."},
    };
    for (const auto& [source, expected] : cases) EXPECT_EQ(streamsOf(source), expected) << source;
}

TEST(Tracks, TheHeaderRecordsTheLongestTrack) {
    RunResult result = compileSource(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) c4 d4 (t2) c1 r2\n");
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(vld.longestClocks, 288u);
    (void)kEnd;
}

TEST(Tracks, ACharacterWithoutTrackMeaningGoesToTheHeaderCommands) {
    RunResult result = compileSource(onTrack1("c4 $ d\ne"), {"-w2"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(stderrWithoutBanner(result),
              "song.vls\t2: Warning: unknown MML.\n(t1) c4 $ d\n         ^\n"
              "song.vls\t3: Warning: unknown MML.\ne\n ^\n");
    EXPECT_EQ(streamsOf(onTrack1("c4 $ d\ne")), "3C 30 30 80 FF FF FF FF");
}

}  // namespace
