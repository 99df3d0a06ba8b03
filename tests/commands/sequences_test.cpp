#include "commands/sequences.h"
#include "records/records.h"
#include "scan/scan_fixture.h"
#include "track/track_cases.h"

namespace {

// Items as "value/kind", with ":value2/kind2" when a second value was given.
std::string itemsOf(const SequenceItem* items, size_t count) {
    std::string out;
    for (size_t i = 0; i < count; ++i) {
        const SequenceItem& e = items[i];
        out += (out.empty() ? "" : " ") + std::to_string(e.value) + "/" + std::to_string(e.kind);
        if (e.kind2 != kValueNone) out += ":" + std::to_string(e.value2) + "/" + std::to_string(e.kind2);
    }
    return out;
}

TEST(ParameterList, ReadsElementsKindsAndCount) {
    struct Case {
        const char* text;
        int count;
        const char* items;
        size_t stop;   // offset behind the list
        int line = 1;  // the line the scanner is left on
    };
    const Case cases[] = {
        {"1,2,", 2, "1/0 2/0", 4},
        {",5", 2, "0/2 5/0", 2},
        {"", 0, "", 0},
        {",", 0, "", 1},
        {"1,,", 1, "1/0", 3},
        {"1,,3", 3, "1/0 1/2 3/0", 4},
        {"+3, -4 ,$10", 3, "3/1 -4/1 16/0", 11},
        {"1:2,:,3:-1", 3, "1/0:2/0 1/2:2/2 3/0:-1/1", 10},
        {"5:|", 1, "5/0", 1},
        {"7,\n8", 2, "7/0 8/0", 4, 2},
        {"7\n\n 8", 1, "7/0", 1},
        {"1,2,3,4,5", 5, "1/0 2/0 3/0", 9},  // counted in full, stored up to the capacity
        {"*5", 0, "", 0},                      // clocks belong to the sequences only
    };
    for (const Case& c : cases) {
        ScanText text(c.text);
        ParameterElement elements[3];
        int count = -1;
        Pos end = readParameterList(text.at(), elements, 3, count, false);
        EXPECT_EQ(count, c.count) << c.text;
        EXPECT_EQ(itemsOf(elements, std::min(count, 3)), c.items) << c.text;
        EXPECT_EQ(text.offsetOf(end), c.stop) << c.text;
        EXPECT_EQ(text.lineNumber(end), c.line) << c.text;
    }
}

TEST(ParameterList, RefusesZeroWhenValuesMustBePositive) {
    for (const char* source : {"0", "1,0", "1:0", "3,,-1"}) {
        ScanText text(source);
        ParameterElement elements[8];
        int count = 0;
        bool refused = source[0] != '3';
        EXPECT_EQ(exitCodeOf([&] { readParameterList(text.at(), elements, 8, count, true); }), refused ? 1 : -1);
        EXPECT_EQ(text.errors().find("Error: This parameter must be over 0.") != std::string::npos, refused) << source;
    }
}

// The sequences one track is left with after the given commands' parameters.
struct Track {
    headdata hd;
    TrackRecords trk{kTrackCount};
    TrackInfos inf{kTrackCount};
    TrackCompile tc{trk, hd, inf, {1, 255}};
    trkinf& info = inf[1];
    Track() { initTrkInf(info, hd); }
    template <typename Command>
    Track& run(const std::string& source, Command command) {
        ScanText text(source);
        command(text.at(), tc);
        return *this;
    }
    Track& q(const std::string& source, int mode = 3) {
        return run(source, [mode](Pos p, TrackCompile& c) { quantizeListCommand(p, c, mode); });
    }
    Track& z(const std::string& source) { return run(source, velocityListCommand); }
};

TEST(QuantizeList, MarksKindsByModeAndRepeatsOmittedElements) {
    struct Case {
        int mode;
        const char* before;  // an earlier list, or null
        const char* text;
        const char* items;
    };
    const Case cases[] = {
        {3, nullptr, "6", "6/0"},        {3, nullptr, "-2", "10/0"},          {3, nullptr, "*10", "10/3"},
        {3, nullptr, "*-10", "10/1"},    {3, nullptr, "+5", "5/1"},           {3, nullptr, "6,,4:2", "6/0 6/0 4/0:2/0"},
        {3, nullptr, "", "8/0"},         {3, "6,4", "", "4/0"},               {3, "6,4", ",2", "4/0 2/0"},
        {0, nullptr, "*10,-3", "10/1 -3/1"}, {1, nullptr, "-5,5,+5", "5/3 5/0 5/1"}, {2, nullptr, "-5,*-5", "5/1 5/3"},
    };
    for (const Case& c : cases) {
        Track t;
        if (c.before) t.q(c.before, c.mode);
        t.info.quantize_index = 1;
        t.q(c.text, c.mode);
        EXPECT_EQ(itemsOf(t.info.quantize.data(), t.info.quantize.size()), c.items) << c.mode << " " << c.text;
        EXPECT_EQ(t.info.quantize_count, t.info.quantize.size()) << c.text;
        EXPECT_EQ(t.info.quantize_index, 0) << c.text;
    }
}

TEST(VelocityList, BuildsTheSequenceFromTheElements) {
    const std::pair<const char*, const char*> cases[] = {
        {"100:5,,60,+10,,+1", "100:5 128:5 60:0 70:0 128:0 127:0"},
        {",90", "127:0 90:0"},
        {"-10:-3,200", "117:3 200:0"},
    };
    for (const auto& [source, items] : cases) {
        Track t;
        t.info.velocity_index = 2;
        t.z(source);
        std::string out;
        for (const SequenceItem& e : t.info.velocity)
            out += (out.empty() ? "" : " ") + std::to_string(e.value) + ":" + std::to_string(e.value2);
        EXPECT_EQ(out, items) << source;
        EXPECT_EQ(t.info.velocity_count, t.info.velocity.size()) << source;
        EXPECT_EQ(t.info.velocity_index, 0) << source;
        EXPECT_TRUE(t.trk[1].buf.empty()) << source;
    }
}

TEST(Sequences, KeepAtMost255ItemsOfALongList) {
    std::string list = "1";
    for (int i = 2; i <= 300; ++i) list += "," + std::to_string(i % 128);
    Track t;
    t.z(list).q(list);
    EXPECT_EQ(t.info.velocity_count, 255);
    EXPECT_EQ(t.info.quantize_count, 255);
}

TEST(VelocityList, OneElementSetsTheVelocityAndWritesIt) {
    expectStreams({
        {"z100", "93 64 FF FF"},
        {"Z100 z+10", "93 64 93 6E FF FF FF FF"},
        {"z-200", "93 00 FF FF"},
        {"z100,,", "93 64 FF FF"},
        {"z90,80 z+5", "93 55 FF FF"},        // relative to the last item of the sequence
        {"z90,80,,, z, z+1", "93 7F FF FF"},  // an omitted later item is 128
        {"z90,80 z:0", "93 50 FF FF"},
    });
}

TEST(VelocityList, RandomRangeAndRelativeValuesFollowEachTrack) {
    const std::string assign = ".RANDOMIZE_SEED 1\n.ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n";
    // From the seed 1 the generator gives 346, 130, 10982: offsets 0, -6, +10.
    EXPECT_EQ(streamsOf(assign + "(t1) z100:10 z100:10 z100:10"), "93 64 93 5E 93 6E FF FF");
    EXPECT_EQ(streamsOf(assign + "(t1,2) z100:10"), "93 64 FF FF | 93 5E FF FF");
    EXPECT_EQ(streamsOf(assign + "(t1) z50 (t1,2) z+10"), "93 32 93 3C FF FF FF FF | 93 7F FF FF");
}

TEST(Sequences, DriveTheGatesAndVelocitiesOfNotes) {
    expectStreams({
        {"q6 c4", "3C 30 24 80 FF FF FF FF"},
        {"q*-10 c4 c16", "3C 30 26 80 3C 0C 02 80 FF FF FF FF"},
        {"q*20 c4", "3C 30 14 80 FF FF FF FF"},
        {"q-2 c4", "3C 30 3C 80 FF FF FF FF"},
        {"q6,4 c4 c4 c4", "3C 30 24 80 3C 30 18 80 3C 30 24 80 FF FF FF FF"},
        {"z100,80 c c c", "93 64 3C 30 30 80 93 50 3C 30 30 80 93 64 3C 30 30 80 FF FF"},
        {"z100,,50 c c c", "93 64 3C 30 30 80 3C 30 30 80 93 32 3C 30 30 80 FF FF FF FF"},
        {"z100,80 z, c", "3C 30 30 80 FF FF FF FF"},  // no element: the sequence stops
        {"z100,80 =16 c =0 c",
         "99 00 98 00 B3 00 00 96 00 93 64 3C 30 30 80 99 00 98 00 B3 00 00 96 00 3C 30 30 80 FF FF FF FF"},
    });
}

TEST(QuantizeList, WarnsOfASequence) {
    RunResult result = compileSource(onTrack1("q6,4 Q7"), {"-W4"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t2: Warning: quantize sequence can use only for vlc2.");
}

}  // namespace
