// Decoding event streams and exclusive messages byte by byte, without the
// compiler: every family of the event table, the codes that several commands
// share, and the checksum verdicts.
#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "dump/dump_support.h"
#include "dump/event_decoder.h"
#include "dump/exclusive_check.h"
#include "format/event_table.h"

namespace {

// Decodes `hex` as a track stream (the end code is added) and gives each
// event but the end in one line.
std::vector<std::string> decoded(std::string_view hexText, int trackCount = 1, vld::Stream* whole = nullptr,
                                 uint16_t device = 0xFFFF) {
    Bytes bytes = hex(hexText);
    bytes.push_back(0xFF);
    vld::StreamInput input;
    input.bytes = bytes.data();
    input.length = static_cast<uint32_t>(bytes.size());
    input.order = 1;
    input.track_count = trackCount;
    input.device = device;
    vld::Stream stream = vld::decodeStream(input);
    std::vector<std::string> lines;
    for (const vld::Event& e : stream.events) {
        if (e.code != 0xFF) lines.push_back(dumptest::oneLine(e));
    }
    EXPECT_TRUE(stream.problems.empty()) << hexText << ": " << stream.problems.front().message;
    if (whole) *whole = stream;
    return lines;
}

struct FamilyCase {
    const char* bytes;
    const char* line;
};

TEST(EventDecoding, ReadsEveryFamilyFromItsBytes) {
    const FamilyCase cases[] = {
        {"3C 30 2A 80", "note note=C4 step=48 gate=42 velocity=none"},
        {"3C 80 80 80 00 C5", "note note=C4 step=128 gate=tie velocity=+5"},
        {"00 81 2C FF FF 64", "note note=C-1 step=300 gate=hold velocity=100"},
        {"48 30 30 81", "note note=C5 step=48 gate=48 velocity=-63"},
        {"80 30 30", "rest step=48 gate=48"},
        {"B2 3C 80", "zero-length note note=C4 velocity=none"},
        {"84 3C 43 30 30 80", "portamento from=C4 to=G4 step=48 gate=48 velocity=none"},
        {"85 BC C3 0C 18 80 60 80 60 64", "bracket portamento from=C4 to=G4 delay=12 time=24 step=96 gate=96 velocity=100"},
        {"81 80 C8", "track delay length=200"},
        {"90 90", "volume volume=16/16"},
        {"91 FD", "relative volume amount=-3"},
        {"C3 00 78", "tempo tempo=120"},
        {"C4 FF FB", "relative tempo amount=-5"},
        {"C6 01 02 C7 00 09", "bank select msb=1 lsb=2|program program=10"},
        {"CC 80 00 FF F7", "channel change device=MIDI IF 1 channel=-9"},
        {"CA 41 10 42", "instrument id maker=65 device=16 model=66"},
        {"CF 01 48 01 FF", "nrpn data=01 48 01 FF"},
        {"E0 A0 00 01 00 03", "bend with delay values=1:1 3:3"},
        {"E2 FF 05 00 01 00 03", "lfo level mode=255 values=1:1 3:3"},
        {"E4 00 01 00 05", "lfo delay values=1:5"},
        {"E7 00 00 01 00 05", "arcc delay arcc=1 values=1:5"},
        {"E7 02 03 00 05 00 06", "arcc delay arcc=2 values=1:5 2:6"},
        {"E3 01 00 04", "lfo speed values=1:4"},
        {"E3 7F FF FF FF FF FF FF FF", "velocity pattern velocities=127 - - - - - - -"},
        {"E5 04 01 01 F6", "arcc level arcc=3 mode=1 values=1:-10"},
        {"E5 02 02 05 0A 1E", "arcc level arcc=2 mode=2 values=1:10 3:30"},
        {"E6 00 01 00 04", "arcc speed arcc=1 values=1:4"},
        {"DB 00 E0 81 2C 07", "arcc deepen arcc=1 values=switch:on 1:300 2:7"},
        {"F7 00 A0 01 03", "arcc control arcc=1 values=controller:1 origin:3"},
        {"F7 02 80 07", "arcc control arcc=2 values=controller:7"},
        {"C9 00 80 00", "arcc waveform arcc=1 waveform=8"},
        {"B0 00 02", "lfo waveform waveform=2 (triangle)"},
        {"B3 00 02 B4 06 FF", "arcc switch arcc=1 switch=2|arcc mode arcc=4 mode=255"},
        {"B5 00 80 00 04", "arcc sync arcc=1 sync=128 count=4"},
        {"F0 05 0A 1E", "effect sends=reverb:10 delay:30"},
        {"D6 7F FE 00 00 07 0A 00 00 80", "fader target=track channel=0 values=1:2560 2:0 3:128"},
        {"F6 01 C0 00 01 00 02", "auto portamento switch=1 values=1:1 2:2"},
        {"DE 81 3C 43 00 00 00 00", "program split entries=on; C4-G4 bank 0 program 1"},
        {"C5 00 C5 01 00", "d.c. kind=0|do kind=1 value=0"},
        {"C5 05 02 06 08 C5 04 02 FE 00", "meter kind=5 length=2 meter=6/8|key kind=4 length=2 key=Bb major"},
        {"D2 00 00 00 00 03 61 62 63", "comment reserved=0 length=3 text=\"abc\""},
        {"F8 00 00 00 07 00 00 00 00 68 69 00", "event text length=7 category=0 class=0 reserved=0 text=\"hi\""},
        {"F3 41 00 00 00 00 03 10 41 42", "maker exclusive maker=65 label=\"\" length=3 data=10 41 42"},
        {"BD 00 03 FB FE FA FD FC", "replay track=3|wait|bar|dummy|all sound off|fine"},
        {"D5 0A 05 D7 0A 05", "work area set address=10 value=5|work area add address=10 value=5"},
    };
    for (const FamilyCase& c : cases) {
        std::string joined;
        for (const std::string& line : decoded(c.bytes)) joined += (joined.empty() ? "" : "|") + line;
        EXPECT_EQ(joined, c.line) << c.bytes;
    }
}

TEST(EventDecoding, TellsSharedCodesApartByWhatTheirBytesLeadTo) {
    // 0xD8 after a repeat start is an ending; elsewhere a work-area subtraction.
    EXPECT_EQ(decoded("CD 00 02 00 00 45 30 30 80 D8 00 00 00 00 00 0D 00 00 00 00")[2],
              "repeat ending pass=1 back=13 -> 0001 forward=0 (not linked)");
    EXPECT_EQ(decoded("D8 0A 05")[0], "work area subtract address=10 value=5");
    // 0xBE with a listed track index synchronizes; `@z` alone writes BE 00.
    EXPECT_EQ(decoded("BE 00 01", 2)[0], "synchronize track-index=1");
    EXPECT_EQ(decoded("BE 00 3C 30 30 80", 2)[0], "velocity pattern off value=0");
    // 0xD1 that leads back to a to-coda is the coda; on an FM track otherwise a register write.
    EXPECT_EQ(decoded("D4 00 00 00 00 05 D1 FF FF FF F6")[1], "coda link=-10 -> 0001");
    EXPECT_EQ(decoded("D4 00 00 00 00 05 D1 FF FF FF F6")[0], "to coda reserved=0 link=5 -> 0007");
    EXPECT_EQ(decoded("D1 00 10 00 2A", 1, nullptr, 0)[0], "fm channel control value=16 scaled=42");
    // Repeat links resolve to the count operand of their repeat start.
    EXPECT_EQ(decoded("CD 00 01 00 00 3C 30 30 80 CE 00 00 00 0D")[2], "repeat end back=13 -> 0001");
}

TEST(EventDecoding, StepsMoveTheClockThroughBarsOfTheMeter) {
    vld::Stream stream;
    decoded("3C 30 30 80 80 81 20 81 20 81 30 B2 3C 80 3C 18 18 80", 1, &stream);
    EXPECT_EQ(stream.events[1].position, "1:2:00");
    EXPECT_EQ(stream.events[2].position, "2:4:00");  // after 48 + 288 clocks in 4/4 of 192
    EXPECT_EQ(stream.events[3].clock, stream.events[4].clock);
    vld::Timing waltz = vld::Timing::of(480, 0x0304);
    EXPECT_EQ(waltz.position(480 * 3 / 4 + 130), "2:2:010");
}

TEST(EventDecoding, StopsAtUnknownCodesAndCutEventsWithinTheStream) {
    struct Case {
        const char* bytes;
        const char* message;
    };
    const Case cases[] = {
        {"3C 30 30 80 8F 00", "stream offset 0004: unknown event code 0x8F"},
        {"3C 30 30", "stream offset 0000: truncated event 0x3C (note)"},
        {"CD 00 01", "stream offset 0000: truncated event 0xCD (repeat start)"},
        {"D2 00 00 00 00 09 61", "truncated event 0xD2 (comment)"},
        {"3C 30 30 80 FA", "stream offset 0005: the stream ends without its end code 0xFF"},
        {"", "stream offset 0000: the stream ends without its end code 0xFF"},
    };
    for (const Case& c : cases) {
        Bytes bytes = hex(c.bytes);
        vld::StreamInput input;
        input.bytes = bytes.data();
        input.length = static_cast<uint32_t>(bytes.size());
        input.order = 1;
        vld::Stream stream = vld::decodeStream(input);
        ASSERT_EQ(stream.problems.size(), 1u) << c.bytes;
        EXPECT_NE(stream.problems[0].message.find(c.message), std::string::npos) << stream.problems[0].message;
    }
}

TEST(EventDecoding, EndCodeInsideTheStreamGoesOnAndTrailingEndCodesArePadding) {
    vld::Stream stream;
    decoded("3C 30 30 80 FF 3E 30 30 80 FF FF", 1, &stream);
    ASSERT_EQ(stream.events.size(), 4u);
    EXPECT_EQ(stream.events[2].name, "note");
    EXPECT_EQ(stream.padding, 2u);
}

struct ChecksumCase {
    const char* message;
    const char* verdicts;
};

TEST(ExclusiveChecks, JudgeRolandAndYamahaChecksums) {
    const ChecksumCase cases[] = {
        {"F0 41 10 42 12 40 00 7F 00 41 F7", "Roland right"},
        {"F0 41 10 42 12 40 00 7F 00 42 F7", "Roland wrong 41"},
        {"F0 41 10 42 12 40 01 30 04 0B F7 F0 41 10 42 12 40 01 30 04 0C F7", "Roland right|Roland wrong 0B"},
        {"F0 41 10 42 11 40 00 7F 00 00 00 41 F7", "Roland right"},
        {"F0 43 10 7F 00 02 00 00 00 01 02 7B F7", "Yamaha right"},
        {"F0 43 10 7F 00 02 00 00 00 01 02 7C F7", "Yamaha wrong 7B"},
        {"F0 43 10 7F 00 02 01 02 7D F7", "Yamaha right"},  // count and checksum over the data only
        {"F0 43 10 4C 00 00 7E 00 F7", "Yamaha none"},
        {"F0 7E 7F 09 01 F7", "universal none"},
        {"B0 0A 40", "raw none"},
        {"F0 41 10 42 12 40", "other none"},
    };
    for (const ChecksumCase& c : cases) {
        Bytes m = hex(c.message);
        std::string got;
        for (const vld::MessageCheck& check : vld::checkExclusive(m.data(), m.size())) {
            got += (got.empty() ? "" : "|") + check.maker +
                   (check.verdict == vld::Verdict::right   ? " right"
                    : check.verdict == vld::Verdict::wrong ? " wrong " + toHex(Bytes{static_cast<unsigned char>(check.expected)})
                                                           : " none");
        }
        EXPECT_EQ(got, c.verdicts) << c.message;
    }
}

TEST(EventTable, GivesEachReadingOfACodeItsOwnTestAndCoversTrackCodesBelow0x80WithNotes) {
    std::set<std::tuple<int, int, int, int>> seen;
    for (const vld::EventRow& row : vld::eventTable()) {
        EXPECT_FALSE(row.name.empty());
        EXPECT_TRUE(seen.insert({row.code, row.streams, static_cast<int>(row.pick), row.pick_value}).second) << row.name;
    }
    EXPECT_EQ(vld::eventTable().front().last_code, 0x7F);
    EXPECT_EQ(vld::eventTable().back().code, vld::kEndCode);
}

}  // namespace
