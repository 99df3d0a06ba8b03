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

namespace {

// The pitch LFO and faders have no known units: left out unless asked for,
// then approximated on the pitch wheel and the volume.
TEST(Effects, PitchLfoAndFadersOnlyWhenAsked) {
    const std::string lfo = onTrack1("=1 @m100 c4 d4");
    const std::string fade = onTrack1("@v100 c4 \\1 c1");
    vld::ExportOptions asked;
    asked.lfo = true;
    asked.fades = true;
    EXPECT_EQ(chunkEvents(exportSource(lfo).result, 1, "E0"), "");
    std::string wheel = chunkEvents(exportSource(lfo, asked).result, 1, "E0");
    // A rising saw (the waveform until one is chosen) from 100 below the
    // centre to just under 100 above it, again every quarter note.
    EXPECT_EQ(wheel.substr(0, 10), "0 E0 1C 3F") << wheel;
    EXPECT_NE(wheel.find("45 E0 58 40"), std::string::npos) << wheel;
    EXPECT_NE(wheel.find("48 E0 1C 3F"), std::string::npos) << wheel;

    EXPECT_EQ(chunkEvents(exportSource(fade).result, 1, "B0 07"), "0 B0 07 64");
    std::string volume = chunkEvents(exportSource(fade, asked).result, 1, "B0 07");
    ASSERT_GT(volume.size(), 40u) << volume;
    // 100, then down from the fader's start at 48 to nothing, 1 level a clock.
    EXPECT_EQ(volume.substr(0, 23), "0 B0 07 64, 51 B0 07 62") << volume;
    EXPECT_EQ(volume.substr(volume.size() - 26), "174 B0 07 02, 177 B0 07 00") << volume;
}

TEST(Effects, AdpcmNotesPlayOnTheDrumChannelOrThroughAMap) {
    const std::string source = ".ASSIGN 1 {midi1}\n.ASSIGN 2 {adpcm}\n(t1) o4 c\n(t2) o3 c d\n";
    EXPECT_EQ(timelineOf(source), "0-48 60, t2 0-48 48 ch9, t2 48-96 50 ch9");
    vld::ExportOptions mapped;
    mapped.adpcm = vld::ExportOptions::Adpcm::map;
    mapped.adpcm_map.fill(-1);
    mapped.adpcm_map[48] = 36;  // a bass drum
    EXPECT_EQ(timelineOf(source, mapped), "0-48 60, t2 0-48 36 ch9, t2 48-96 50 ch9");
    vld::ExportOptions skipped;
    skipped.adpcm = vld::ExportOptions::Adpcm::skip;
    EXPECT_EQ(timelineOf(source, skipped), "0-48 60");
}

}  // namespace
