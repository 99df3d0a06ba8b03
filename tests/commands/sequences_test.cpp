#include <gtest/gtest.h>

#include <string>

#include "commands/sequences.h"
#include "compile/records.h"
#include "scan/scan_fixture.h"
#include "support/harness.h"

namespace {

// Items as "value/kind" or "value/kind:value2/kind2", blank-separated.
std::string itemsOf(const SequenceItem* items, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const SequenceItem& e = items[i];
        out += (out.empty() ? "" : " ") + std::to_string(e.value) + "/" + std::to_string(e.kind);
        if (e.kind2 != kValueNone) out += ":" + std::to_string(e.value2) + "/" + std::to_string(e.kind2);
    }
    return out;
}
std::string itemsOf(const std::vector<SequenceItem>& items) { return itemsOf(items.data(), items.size()); }
// Velocity items as "velocity:range".
std::string velocitiesOf(const std::vector<SequenceItem>& items) {
    std::string out;
    for (const SequenceItem& e : items)
        out += (out.empty() ? "" : " ") + std::to_string(e.value) + ":" + std::to_string(e.value2);
    return out;
}

struct ListCase {
    const char* text;
    int count;
    const char* items;  // the stored elements
    size_t stop;        // offset behind the list
};

TEST(ParameterList, ReadsElementsKindsAndCount) {
    const ListCase cases[] = {
        {"1,2,", 2, "1/0 2/0", 4},
        {",5", 2, "0/2 5/0", 2},
        {"", 0, "", 0},
        {",", 0, "", 1},
        {"1,,", 1, "1/0", 3},
        {"1,,3", 3, "1/0 1/2 3/0", 4},
        {"+3, -4 ,$10", 3, "3/1 -4/1 16/0", 11},
        {"1:2,:,3:-1", 3, "1/0:2/0 1/2:2/2 3/0:-1/1", 10},
        {"5:|", 1, "5/0", 1},
        {"7 x", 1, "7/0", 1},
        {"7,\n8", 2, "7/0 8/0", 4},
        {"1,2,3,4,5", 5, "1/0 2/0 3/0", 9},  // counted in full, stored up to the capacity
        {"*5", 0, "", 0},                      // `*` belongs to the sequences only
    };
    for (const ListCase& c : cases) {
        ScanText text(c.text);
        ParameterElement elements[3];
        int count = -1;
        Pos end = readParameterList(text.at(), elements, 3, count, false);
        EXPECT_EQ(count, c.count) << c.text;
        EXPECT_EQ(itemsOf(elements, std::min(count, 3)), c.items) << c.text;
        EXPECT_EQ(text.offsetOf(end), c.stop) << c.text;
    }
}

TEST(ParameterList, KeepsTheLineOfWhatFollows) {
    ScanText text("1,2\n\n  3");
    ParameterElement elements[8];
    int count = 0;
    readParameterList(text.at(), elements, 8, count, false);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(text.lineNumber(), 1);
}

TEST(ParameterList, RefusesZeroWhenValuesMustBePositive) {
    for (const char* source : {"0", "1,0", "1:0"}) {
        ScanText text(source);
        ParameterElement elements[8];
        int count = 0;
        EXPECT_EQ(exitCodeOf([&] { readParameterList(text.at(), elements, 8, count, true); }), 1) << source;
        EXPECT_NE(text.errors().find("Error: This parameter must be over 0."), std::string::npos) << source;
    }
    ScanText text("3,,-1");
    ParameterElement elements[8];
    int count = 0;
    readParameterList(text.at(), elements, 8, count, true);
    EXPECT_EQ(count, 3);
}

// One track's state, compiled in-process, to look at the sequences a list leaves.
struct Tracks {
    headdata hd;
    TrackRecords trk{kTrackCount};
    TrackInfos inf{kTrackCount};
    TrackCompile tc{trk, hd, inf, {1, 255}, LineTracking{}};
    Tracks() {
        for (int t = 1; t < kTrackCount; ++t) initTrkInf(inf[t], hd);
    }
    // Runs each text (one command's parameters) in turn.
    void quantize(const std::vector<const char*>& texts, int mode) {
        for (const char* source : texts) {
            ScanText text(source);
            tc.command_line = lineTracking();
            quantizeListCommand(text.at(), tc, mode);
        }
    }
    void velocity(const char* source) {
        ScanText text(source);
        tc.command_line = lineTracking();
        velocityListCommand(text.at(), tc);
    }
};

struct QuantizeCase {
    int mode;
    std::vector<const char*> texts;
    const char* items;
};

TEST(QuantizeList, MarksKindsByModeAndRepeatsOmittedElements) {
    const QuantizeCase cases[] = {
        {3, {"6"}, "6/0"},
        {3, {"-2"}, "10/0"},
        {3, {"*10"}, "10/3"},
        {3, {"*-10"}, "10/1"},
        {3, {"+5"}, "5/1"},
        {3, {"6,,4"}, "6/0 6/0 4/0"},
        {3, {""}, "8/0"},
        {3, {"6,4", ""}, "4/0"},
        {3, {"6,4", ",2"}, "4/0 2/0"},
        {3, {"*-3", ","}, "3/1"},
        {3, {"6:3"}, "6/0:3/0"},
        {0, {"10"}, "10/1"},
        {0, {"*10,-3"}, "10/1 -3/1"},
        {1, {"-5,5,+5"}, "5/3 5/0 5/1"},
        {2, {"-5,*-5"}, "5/1 5/3"},
    };
    for (const QuantizeCase& c : cases) {
        Tracks t;
        t.inf[1].quantize_index = 1;
        t.quantize(c.texts, c.mode);
        const trkinf& info = t.inf[1];
        EXPECT_EQ(itemsOf(info.quantize), c.items) << c.texts[0];
        EXPECT_EQ(info.quantize_count, info.quantize.size()) << c.texts[0];
        EXPECT_EQ(info.quantize_index, 0) << c.texts[0];
    }
}

TEST(VelocityList, BuildsTheSequenceFromTheElements) {
    const std::pair<const char*, const char*> cases[] = {
        {"100:5,,60,+10,,+1", "100:5 128:5 60:0 70:0 128:0 127:0"},
        {",90", "127:0 90:0"},
        {"-10:-3,200", "117:3 200:0"},
        {"*50,20", "50:0 20:0"},
    };
    for (const auto& [source, items] : cases) {
        Tracks t;
        t.inf[1].velocity_index = 2;
        t.inf[1].velocity_sequence_enable = 0;
        t.velocity(source);
        const trkinf& info = t.inf[1];
        EXPECT_EQ(velocitiesOf(info.velocity), items) << source;
        EXPECT_EQ(info.velocity_count, info.velocity.size()) << source;
        EXPECT_EQ(info.velocity_index, 0) << source;
        EXPECT_EQ(info.velocity_sequence_on, 1) << source;
        EXPECT_EQ(info.velocity_sequence_enable, 1) << source;
        EXPECT_TRUE(t.trk[1].buf.empty()) << source;
    }
}

TEST(VelocityList, KeepsAtMost255ItemsOfALongList) {
    std::string list = "1";
    for (int i = 2; i <= 300; ++i) list += "," + std::to_string(i % 128);
    Tracks t;
    t.velocity(list.c_str());
    EXPECT_EQ(t.inf[1].velocity_count, 255);
    EXPECT_EQ(t.inf[1].velocity.size(), 255u);
    t.quantize({list.c_str()}, 3);
    EXPECT_EQ(t.inf[1].quantize_count, 255);
}

TEST(VelocityList, WithoutElementsOnlyRestartsTheSequence) {
    Tracks t;
    t.velocity("90,80");
    t.inf[1].velocity_index = 1;
    t.inf[1].velocity_sequence_enable = 0;
    t.velocity(",");
    EXPECT_EQ(velocitiesOf(t.inf[1].velocity), "90:0 80:0");
    EXPECT_EQ(t.inf[1].velocity_index, 0);
    EXPECT_EQ(t.inf[1].velocity_sequence_on, 0);
    EXPECT_EQ(t.inf[1].velocity_sequence_enable, 1);
}

std::string streams(const std::string& source, const std::vector<std::string>& args = {}) {
    RunResult result = compileSource(source, args);
    if (result.exitCode != 0) return "exit " + std::to_string(result.exitCode) + ": " + stderrWithoutBanner(result);
    VldFile vld = readVld(result.vldBytes);
    if (!vld.ok()) return "bad file: " + vld.error;
    std::string out;
    for (const VldTrack& track : vld.tracks) out += (out.empty() ? "" : " | ") + toHex(track.events);
    return out;
}

TEST(VelocityList, OneElementSetsTheVelocityAndWritesIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"z100", "93 64 FF FF"},
        {"Z100 z+10", "93 64 93 6E FF FF FF FF"},
        {"z-200", "93 00 FF FF"},
        {"z100,", "93 64 FF FF"},
        {"z100,,", "93 64 FF FF"},
        {"z90,80 z+5", "93 55 FF FF"},           // relative to the last item of the sequence
        {"z90,80,,, z, z+1", "93 7F FF FF"},     // an omitted later item is 128: no velocity
        {"z90,80 z:0", "93 50 FF FF"},
        {"z, z, S8", "B0 80 00 FF"},
    };
    for (const auto& [mml, stream] : cases)
        EXPECT_EQ(streams(".ASSIGN 1 {midi1}\n(t1) " + std::string(mml)), stream) << mml;
}

TEST(VelocityList, RandomRangeAndRelativeValuesFollowEachTrack) {
    const char* assign = ".RANDOMIZE_SEED 1\n.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n";
    // From the seed 1 the generator gives 346, 130, 10982: offsets 0, -6, +10.
    EXPECT_EQ(streams(std::string(assign) + "(t1) z100:10 z100:10 z100:10"), "93 64 93 5E 93 6E FF FF");
    EXPECT_EQ(streams(std::string(assign) + "(t1,2) z100:10"), "93 64 FF FF | 93 5E FF FF");
    EXPECT_EQ(streams(std::string(assign) + "(t1) z50 (t1,2) z+10"), "93 32 93 3C FF FF FF FF | 93 7F FF FF");
}

TEST(QuantizeList, WarnsOfASequenceAndWritesNothing) {
    RunResult result = compileSource(".ASSIGN 1 {midi1}\n(t1) q6,4 Q7\n", {"-W4", "-z3"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(stderrWithoutBanner(result).substr(0, stderrWithoutBanner(result).find('\n')),
              "song.vls\t2: Warning: quantize sequence can use only for vlc2.");
    VldFile vld = readVld(result.vldBytes);
    ASSERT_EQ(vld.tracks.size(), 1u);
    EXPECT_EQ(toHex(vld.tracks[0].events), "FF FF FF FF");
}

}  // namespace
