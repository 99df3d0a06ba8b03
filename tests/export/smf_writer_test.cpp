// The Standard MIDI File writer: variable-length quantities, chunk lengths,
// meta layouts and the order of events in time.
#include <gtest/gtest.h>

#include <vector>

#include "export/smf_writer.h"
#include "support/vld_reader.h"

namespace {

std::string hexOf(const std::vector<uint8_t>& bytes) { return toHex(Bytes(bytes.begin(), bytes.end())); }

TEST(SmfWriter, WritesVariableLengthQuantities) {
    const struct {
        uint32_t value;
        const char* bytes;
    } cases[] = {
        {0, "00"},          {127, "7F"},          {128, "81 00"},          {16383, "FF 7F"},
        {16384, "81 80 00"}, {0x0FFFFFFF, "FF FF FF 7F"},
        {0xFFFFFFFF, "FF FF FF 7F"},  // the largest a quantity holds
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> out;
        vld::putVariableLength(out, c.value);
        EXPECT_EQ(hexOf(out), c.bytes) << c.value;
    }
}

TEST(SmfWriter, WritesAFormatOneFileWithAConductorAndATrack) {
    vld::SmfTrack conductor;
    conductor.tempo(0, 500000);
    conductor.timeSignature(0, 3, 4);
    conductor.keySignature(0, -3, true);
    const uint8_t gsReset[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    conductor.exclusive(0, gsReset);
    vld::SmfTrack melody;
    melody.text(0, 0x03, "lead");
    melody.message(0, 0xC0, 16);
    melody.message(0, 0x90, 60, 100);
    melody.message(48, 0x80, 60, 0);
    std::vector<vld::SmfTrack> tracks{conductor, melody};
    EXPECT_EQ(hexOf(vld::smfFile(48, tracks)),
              "4D 54 68 64 00 00 00 06 00 01 00 02 00 30 "
              "4D 54 72 6B 00 00 00 26 "
              "00 FF 51 03 07 A1 20 "
              "00 FF 58 04 03 02 18 08 "
              "00 FF 59 02 FD 01 "
              "00 F0 0A 41 10 42 12 40 00 7F 00 41 F7 "
              "00 FF 2F 00 "
              "4D 54 72 6B 00 00 00 17 "
              "00 FF 03 04 6C 65 61 64 "
              "00 C0 10 "
              "00 90 3C 64 "
              "30 80 3C 00 "
              "00 FF 2F 00");
}

// At one tick a note's end comes before the next note's start and a
// program change before the note it is for; a repeated status byte is left
// out, and long gaps take several delta bytes.
TEST(SmfWriter, WritesEventsInTimeByKind) {
    vld::SmfTrack track;
    uint32_t first = track.noteOn(0, 0, 60, 90, 200);
    track.noteOn(200, 0, 62, 90, 300);
    track.message(200, 0xC0, 5);  // after the note-on in time order, before it in the file
    EXPECT_TRUE(track.sounding(first));
    track.noteOn(300, 0, 64, 90, vld::kOpenEnd);  // ends with the track
    track.endAt(400);
    EXPECT_EQ(hexOf(track.chunk()),
              "4D 54 72 6B 00 00 00 20 "
              "00 90 3C 5A "
              "81 48 80 3C 00 "
              "00 C0 05 "
              "00 90 3E 5A "
              "64 80 3E 00 "
              "00 90 40 5A "
              "64 80 40 00 "
              "00 FF 2F 00");
}

// A note's end moves until it is written: a tie continued, a note cut by
// another of its pitch; one cut at its own start is left out.
TEST(SmfWriter, MovesAndDropsNotesUntilTheyAreWritten) {
    vld::SmfTrack track;
    uint32_t tied = track.noteOn(0, 1, 60, 100, vld::kOpenEnd);
    uint32_t merged = track.noteOn(0, 1, 64, 100, 48);
    track.dropNote(merged);
    track.later(24, 0xE1, 0x00, 0x50);
    track.setNoteEnd(tied, 96);
    track.message(48, 0xB1, 7, 100);
    EXPECT_EQ(hexOf(track.chunk()),
              "4D 54 72 6B 00 00 00 14 "
              "00 91 3C 64 "
              "18 E1 00 50 "
              "18 B1 07 64 "
              "30 81 3C 00 "
              "00 FF 2F 00");
    track.finish();
    ASSERT_EQ(track.notes().size(), 1u);  // the note left out is not among the notes played
}

// Meta events and exclusives keep their bytes while the present moves on
// (each one that moves it writes the ones before).
TEST(SmfWriter, KeepsLongEventsWhileTimeMovesOn) {
    vld::SmfTrack track;
    track.text(0, 0x01, "a");
    track.text(5, 0x01, "bc");
    const uint8_t reset[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    track.exclusive(9, reset);
    EXPECT_EQ(hexOf(track.chunk()),
              "4D 54 72 6B 00 00 00 17 "
              "00 FF 01 01 61 "
              "05 FF 01 02 62 63 "
              "04 F0 05 7E 7F 09 01 F7 "
              "00 FF 2F 00");
}

// A note-on of a key that still sounds on the channel ends the earlier note
// (or leaves it out when both start together), whatever the player sent.
TEST(SmfWriter, NeverStrikesASoundingKeyTwice) {
    vld::SmfTrack track;
    track.noteOn(0, 0, 60, 10, 1);
    track.noteOn(0, 0, 60, 100, 48);
    track.noteOn(24, 0, 60, 90, 96);
    track.finish();
    ASSERT_EQ(track.notes().size(), 2u);
    EXPECT_EQ(track.notes()[0].end, 24u);
    EXPECT_EQ(track.notes()[0].velocity, 100);
    EXPECT_EQ(track.notes()[1].start, 24u);
}

}  // namespace
