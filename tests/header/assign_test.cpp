#include "header_cases.h"

namespace {

// Each assigned track as "track-table fields": interface byte, device,
// channel, the rhythm mark and the comment.
std::string tableOf(const VldFile& vld) {
    std::string out;
    for (const VldTrack& t : vld.tracks) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%s%d %04X %04X%s", out.empty() ? "" : " | ", t.interfaceByte, t.device,
                      t.channel, t.kindRhythm ? " R" : "");
        out += buf;
        if (!t.comment.empty()) out += " '" + textOf(t.comment) + "'";
    }
    return out;
}

TEST(Assign, GivesTracksTheirChannelDeviceAndOptions) {
    const std::pair<const char*, const char*> cases[] = {
        {".ASSIGN tr1 {midi1}", "0 FFFF 0000"},
        {".ASSIGN 1, midi1", "0 FFFF 0000"},
        {".ASSIGN 2 {midi2-10}", "0 8001 0009"},
        {".ASSIGN 2 {midi 2 - 16}", "0 8001 000F"},
        {".ASSIGN 3 {adpcm}\n.ASSIGN 4 {adpcm}", "0 0001 0008 | 0 0001 0019"},
        {".ASSIGN 3 {adpcm1}\n.ASSIGN 4 {adpcm3}", "0 0001 0008 | 0 0001 001A"},
        {".ASSIGN 4 {10}", "0 FFFF 0000"},
        {"(B1)\n.ASSIGN 4 {10}", "0 FFFF 0009"},
        {"(B1)\n.ASSIGN 4 {17}", "0 0000 0000"},
        {".ASSIGN 4 {1}\n.ASSIGN 5 {9}\n.ASSIGN 6 {26}\n.ASSIGN 7 {40}",
         "0 0000 0000 | 0 0001 0000 | 0 0001 0000 | 0 FFFF 0027"},
        {".ASSIGN 5 {fm3, 100, 2, record, rhythm, Bass}", "1 0000 0002 R ' Bass'"},
        {".ASSIGN 5 {FM3,,2}", "1 0000 0002"},
        {".ASSIGN 6 {midi1, 128, 1, play, normal,}", "0 FFFF 0000"},
        {"(A midi1, 6, 128, 3)", "2 FFFF 0000"},
        {"(A 12 7)", "0 FFFF 0002"},
        {".ASSIGN 9 {midi1}\n.ASSIGN 3 {midi2}", "0 FFFF 0000 | 0 FFFF 0001"},
    };
    for (const auto& [source, table] : cases) EXPECT_EQ(tableOf(compileHeaderOf(source, {"-z3"})), table) << source;
}

TEST(Assign, ListsTracksInAssignmentOrderWithTheirEndCode) {
    RunResult result = compileSource(".ASSIGN 9 {midi1}\n.ASSIGN 3 {midi2, 1, 1, play, normal, piano}\n", {"-z3"});
    VldFile vld = readVld(result.vldBytes);
    ASSERT_TRUE(vld.ok()) << vld.error;
    ASSERT_EQ(vld.tracks.size(), 2u);
    EXPECT_EQ(vld.tracks[0].channel, 0);
    EXPECT_EQ(textOf(vld.tracks[1].comment), " piano");
    EXPECT_EQ(toHex(vld.tracks[1].events), "FF FF FF FF");
    // Without -Z3 a track that received no events is left out of the file.
    EXPECT_EQ(compileHeaderOf(".ASSIGN 9 {midi1}\n").tracks.size(), 0u);
}

TEST(Assign, ReportsEveryMistake) {
    const std::pair<const char*, const char*> cases[] = {
        {".ASSIGN", "song.vls\t1: Error: no track number is specified."},
        {".ASSIGN 0 {midi1}", "song.vls\t1: Error: illegal track number is specified. (must be over than 0)"},
        {".ASSIGN 81 {midi1}", "song.vls\t1: Error: illegal track number is specified. (must be in between 1 to 80)"},
        {".ASSIGN 1 {midi1}\n.ASSIGN 1 {midi2}", "song.vls\t2: Error: The specified track# is already used."},
        {".ASSIGN 7 {midi1-17}", "song.vls\t1: Error: illegal channel number is specified. (must be in between 1 to 16)"},
        {".ASSIGN 7 {xyz}", "song.vls\t1: Error: illegal channel-strings is specified."},
        {".ASSIGN 7 {fm}", "song.vls\t1: Error: illegal channel-strings is specified."},
        {".ASSIGN 7 {midi}", "song.vls\t1: Error: illegal channel-strings is specified."},
        {".ASSIGN 7 {all}", "song.vls\t1: Error: illegal channel-strings is specified."},
        {".ASSIGN 7 {fm1-2}", "song.vls\t1: Error: illegal channel-strings is specified."},
        {".ASSIGN 7 {%2}", "song.vls\t1: Error: illegal channel number is specified."},
        {".ASSIGN 7 {midi$}", "song.vls\t1: Error: SYNTAX ERROR"},
        {".ASSIGN 7 {midi1, x}", "song.vls\t1: Error: SYNTAX ERROR."},
        {".ASSIGN 7 {midi1, 1, 1, 1, 1, never closed\n", "song.vls\t1: Error: unexpected EOF."},
    };
    for (const auto& [source, message] : cases) expectError(source, message);
}

}  // namespace
