// Codes that more than one command writes with different operands: each
// compiled source lists exactly what the compiler wrote in that place, and the
// typed operands that a player reads agree with the listing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "dump/dump_support.h"
#include "dump/vld_listing.h"

namespace {

// The event lines of track 1 in vldump's listing, joined by "|".
std::string trackListing(const std::string& source) {
    vld::DumpOptions options;
    options.only_stream = 1;
    Bytes file = dumptest::compiled(source);
    vld::Dump dump = vld::dumpVld(file.data(), file.size(), options);
    EXPECT_TRUE(dump.ok()) << source;
    std::istringstream lines(vld::listingText(dump, options));
    std::string line, joined;
    while (std::getline(lines, line)) {
        bool event = line.size() > 8 && line.compare(0, 2, "  ") == 0 && line.compare(6, 2, "  ") == 0 &&
                     std::all_of(line.begin() + 2, line.begin() + 6, [](unsigned char c) { return std::isxdigit(c); });
        if (event) joined += (joined.empty() ? "" : "|") + line.substr(2);
    }
    return joined;
}

struct SharedCodeCase {
    const char* source;
    const char* listing;
};

TEST(SharedCodes, ListAsTheCommandThatWroteThem) {
    const SharedCodeCase cases[] = {
        // 0xB8: one byte for FM register 14, a 16-bit bend otherwise.
        {".ASSIGN 1 {fm1}\n(t1) y14,1 c4 d4\n",
         "0000  1:1:00    fm control 14       value=1|"
         "0002  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0006  1:2:00    note                note=D4 step=48 gate=48 velocity=none|"
         "000A  1:3:00    end"},
        {".ASSIGN 1 {midi1}\n(t1) @b100 [PITCH 5] c4\n",
         "0000  1:1:00    bend                value=100|"
         "0003  1:1:00    bend                value=5|"
         "0006  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "000A  1:2:00    end"},
        // 0xE3: a velocity pattern is eight bytes even when its first value is 1.
        {".ASSIGN 1 {midi1}\n(t1) @z1,2,3 c @z c\n",
         "0000  1:1:00    velocity pattern    velocities=1 2 3 - - - - -|"
         "0009  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "000D  1:2:00    velocity pattern off value=0|"
         "000F  1:2:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0013  1:3:00    end"},
        {".ASSIGN 1 {midi1}\n(t1) @s5 @z100,2 c4 @z1,200 d4\n",
         "0000  1:1:00    lfo speed           values=1:10|"
         "0004  1:1:00    velocity pattern    velocities=100 2 - - - - - -|"
         "000D  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0011  1:2:00    velocity pattern    velocities=1 200 - - - - - -|"
         "001A  1:2:00    note                note=D4 step=48 gate=48 velocity=none|"
         "001E  1:3:00    end"},
        // 0xBE: `@z` alone before a note whose number is a track index.
        {".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) @z o-1 c+4 d4 w2 e4\n(t2) c4\n",
         "0000  1:1:00    velocity pattern off value=0|"
         "0002  1:1:00    note                note=C#-1 step=48 gate=48 velocity=none|"
         "0006  1:2:00    note                note=D-1 step=48 gate=48 velocity=none|"
         "000A  1:3:00    synchronize         track-index=1|"
         "000D  1:3:00    note                note=E-1 step=48 gate=48 velocity=none|"
         "0011  1:4:00    end"},
        // 0xE7: the second position of `@h` and an ARCC delay, also with no values.
        {".ASSIGN 1 {midi1}\n(t1) @h,6 [ARCC2.DELAY 5,,7] c4 [ARCC1.DELAY] o-1 c+4 d4\n",
         "0000  1:1:00    arcc delay          arcc=1 values=1:6|"
         "0006  1:1:00    arcc delay          arcc=2 values=1:5 3:7|"
         "000D  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0011  1:2:00    arcc delay          arcc=1 values=none|"
         "0014  1:2:00    note                note=C#-1 step=48 gate=48 velocity=none|"
         "0018  1:3:00    note                note=D-1 step=48 gate=48 velocity=none|"
         "001C  1:4:00    end"},
        // 0xD8: repeat endings and a work-area subtraction.
        {".ASSIGN 1 {midi1}\n(t1) |: c4 |1 d4 :| |2 e4 ?3,-5 ?3,+5 f4\n",
         "0000  1:1:00    repeat start        count=2 reserved=0|"
         "0005  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0009  1:2:00    repeat ending       pass=1 back=13 -> 0001 forward=9 -> 001D|"
         "0014  1:2:00    note                note=D4 step=48 gate=48 velocity=none|"
         "0018  1:3:00    repeat end          back=28 -> 0001|"
         "001D  1:3:00    repeat ending       pass=2 back=33 -> 0001 forward=0 (not linked)|"
         "0028  1:3:00    note                note=E4 step=48 gate=48 velocity=none|"
         "002C  1:4:00    work area subtract  address=3 value=5|"
         "002F  1:4:00    work area add       address=3 value=5|"
         "0032  1:4:00    note                note=F4 step=48 gate=48 velocity=none|"
         "0036  2:1:00    end"},
        // 0xD1: an FM channel control and a coda on one FM track.
        {".ASSIGN 1 {fm1}\n(t1) y48,400 c4 [tocoda] d4 [coda] e4\n",
         "0000  1:1:00    fm channel control  value=100 scaled=1067|"
         "0005  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0009  1:2:00    to coda             reserved=0 link=9 -> 0014|"
         "000F  1:2:00    note                note=D4 step=48 gate=48 velocity=none|"
         "0013  1:3:00    coda                link=-14 -> 000A|"
         "0018  1:3:00    note                note=E4 step=48 gate=48 velocity=none|"
         "001C  1:4:00    end"},
        // 0xC5: the first operand names the kind.
        {".ASSIGN 1 {midi1}\n(t1) (d1) [!] [@] [do] c4 [loop] [meter 3/4] [key Am] [d.c.]\n",
         "0000  1:1:00    debug mark !        kind=2 value=0|"
         "0003  1:1:00    debug mark @        kind=3 value=2|"
         "0006  1:1:00    do                  kind=1 value=0|"
         "0009  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "000D  1:2:00    loop                link=0|"
         "0012  1:2:00    meter               kind=5 length=2 meter=3/4|"
         "0017  1:2:00    key                 kind=4 length=2 key=A minor|"
         "001C  1:2:00    d.c.                kind=0|"
         "001E  1:2:00    end"},
        // End codes that `[end]` leaves inside a stream.
        {".ASSIGN 1 {midi1}\n(t1) c [end] d\n",
         "0000  1:1:00    note                note=C4 step=48 gate=48 velocity=none|"
         "0004  1:2:00    end|"
         "0005  1:2:00    note                note=D4 step=48 gate=48 velocity=none|"
         "0009  1:3:00    end"},
    };
    for (const SharedCodeCase& c : cases) EXPECT_EQ(trackListing(c.source), c.listing) << c.source;
}

// The listing, the JSON and a player read the same typed operands.
TEST(SharedCodes, OperandsCarryTypedValuesAndLinkTargets) {
    Bytes file = dumptest::compiled(".ASSIGN 1 {fm1}\n(t1) y48,400 c4 [tocoda] d4 [coda] e4 @z1,,3\n");
    vld::Dump dump = dumptest::dumpOf(file, 1);
    ASSERT_EQ(dump.streams.size(), 1u);
    const std::vector<vld::Event>& events = dump.streams[0].events;
    ASSERT_GE(events.size(), 7u);
    EXPECT_EQ(events[0].number("value"), 100);
    EXPECT_EQ(events[0].number("scaled"), 1067);
    const vld::Operand* toCoda = events[2].operand("link");
    ASSERT_NE(toCoda, nullptr);
    EXPECT_EQ(toCoda->type, vld::OperandType::link);
    EXPECT_EQ(toCoda->target, std::optional<uint32_t>(0x14));
    EXPECT_EQ(events[4].operand("link")->target, std::optional<uint32_t>(0x0A));
    EXPECT_EQ(events[5].operand("note")->value, 64);
    EXPECT_EQ(events[5].step, 48u);
    const vld::Operand* pattern = events[6].operand("velocities");
    ASSERT_NE(pattern, nullptr);
    ASSERT_EQ(pattern->elements.size(), 8u);
    EXPECT_EQ(pattern->elements[0], std::optional<int64_t>(1));
    EXPECT_FALSE(pattern->elements[1].has_value());
    EXPECT_EQ(pattern->elements[2], std::optional<int64_t>(3));
    RunResult json = dumptest::runVldump(file, {"--json", "-t1"});
    EXPECT_NE(textOf(json.stdoutBytes).find(R"("link":{"value":-14,"target":10})"), std::string::npos);
}

}  // namespace
