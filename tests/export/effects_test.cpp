// What the player computes beyond the notes: the tempo map, glides on the
// pitch wheel, velocity patterns, program splits, controller modulation and
// the channel messages of a track, checked on the events of the MIDI file.
#include <gtest/gtest.h>

#include "export/export_support.h"

namespace {

std::string onTrack1(const std::string& mml) { return ".ASSIGN 1 {midi1}\n(t1) " + mml + "\n"; }

TEST(Effects, TempoChangesMakeTheTempoMap) {
    Exported e = exportSource(onTrack1("t120 c4 t60 c4"));
    // The header's tempo and the first t120 both land at 0: one tempo stays.
    EXPECT_EQ(chunkEvents(e.result, 0, "FF 51"), "0 FF 51 07 A1 20, 48 FF 51 0F 42 40");
    EXPECT_DOUBLE_EQ(e.result.seconds, 1.5);
}

TEST(Effects, APortamentoGlidesOnThePitchWheelAndComesBack) {
    vld::ExportOptions options;
    options.glide_step = 48;
    Exported e = exportSource(onTrack1("@80 o4 l1 a (a <a)192,0,96 >a"), options);
    EXPECT_EQ(timelineText(e.result), "0-192 69, 192-384 69, 384-576 69");
    // Bend range 12 for the octave, the wheel from the centre to the top
    // between 192 and 288, back to the centre and the range back to 2 at 384.
    EXPECT_EQ(chunkEvents(e.result, 1, "E0"), "192 E0 00 40, 240 E0 00 60, 288 E0 7F 7F, 384 E0 00 40");
    EXPECT_EQ(chunkEvents(e.result, 1, "B0 06"), "192 B0 06 0C, 384 B0 06 02");
}

TEST(Effects, VelocityPatternsGiveNotesWithoutTheirOwnVelocity) {
    EXPECT_EQ(timelineOf(onTrack1("o4 l8 u90 @z100,,60 c d e f c,,50 @z g")),
              "0-24 60 v100, 24-48 62 v90, 48-72 64 v60, 72-96 65 v100, 96-120 60 v50, 120-144 67 v90");
    // Notes of a chord share one entry.
    EXPECT_EQ(timelineOf(onTrack1("o4 l8 @z100,60 'ce' d")), "0-24 60 v100, 0-24 64 v100, 24-48 62 v60");
}

TEST(Effects, AProgramSplitChangesTheProgramBeforeNotesInItsRanges) {
    Exported e = exportSource(onTrack1("@1 [PROGRAM_SPLIT on, 0, 33, 36, 59, 1:2, 41, 72, 84] o3 c o5 c c o4 c"));
    // C3 takes the first entry, C5 the second (twice, but changed once), C4 none.
    EXPECT_EQ(chunkEvents(e.result, 1, "C0"), "0 C0 00, 0 C0 20, 48 C0 28");
    EXPECT_EQ(chunkEvents(e.result, 1, "B0 00"), "0 B0 00 00, 48 B0 00 01");
    EXPECT_EQ(chunkEvents(e.result, 1, "B0 20"), "0 B0 20 00, 48 B0 20 02");
}

TEST(Effects, ChannelMessagesOfATrack) {
    const struct {
        const char* mml;
        const char* only;
        const char* events;
    } cases[] = {
        {"v12 c", "B0 07", "0 B0 07 5F"},                   // volume in sixteenths: 12/16 of 127
        {"@v100 c @v-10 c", "B0 07", "0 B0 07 64, 48 B0 07 5A"},
        {"@p32 c", "B0 0A", "0 B0 0A 20"},
        {"P2 c @p-10 c", "B0 0A", "0 B0 0A 7F, 48 B0 0A 75"},
        {"@1:2,10 c", "B0", "0 B0 00 01, 0 B0 20 02"},
        {"@1:2,10 c", "C0", "0 C0 09"},
        {"[BEND.RANGE 12] c", "B0 06", "0 B0 06 0C"},
        {"[ALL_SOUND_OFF] c", "B0 78", "0 B0 78 00"},
        {"[DAMPER 127] c", "B0 40", "0 B0 40 7F"},
    };
    for (const auto& c : cases) {
        Exported e = exportSource(onTrack1(c.mml));
        ASSERT_TRUE(e.compile_error.empty()) << c.mml << ": " << e.compile_error;
        EXPECT_EQ(chunkEvents(e.result, 1, c.only), c.events) << c.mml;
    }
}

TEST(Effects, ControllerModulationMovesItsControllerAroundTheOrigin) {
    // A square wave of depth 20 on the expression controller, one period a
    // quarter note: 84 for the first half, 44 for the second; at the switch
    // off the reset value.
    Exported e = exportSource(onTrack1(
        "[ARCC1.control 11] [ARCC1.origin 64] [ARCC1.reset 100] [ARCC1.waveform 1] [ARCC1.speed 24] "
        "[ARCC1.level 20] c4 [ARCC1.switch off] c4"));
    EXPECT_EQ(chunkEvents(e.result, 1, "B0 0B"), "0 B0 0B 54, 24 B0 0B 2C, 48 B0 0B 64");
}

}  // namespace
