// The test reader must accept well-formed files and name what is wrong in
// broken ones; every later end-to-end test leans on it. The images here are
// laid out by hand, pointers worked out on paper, so the reader is checked
// against the frame rather than against the compiler's own writer.
#include <gtest/gtest.h>

#include <functional>

#include "support/vld_reader.h"

namespace {

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(v >> (24 - 8 * i));
}

// An 80-byte header with the frame fields given and everything else zero
// except the time base (192) and tempo (120).
Bytes header(uint32_t common, uint32_t table, uint32_t estimate, uint32_t comment, uint8_t tracks) {
    Bytes h = hex("1A 56 65 4C 74 52 61 30");  // 0x1A "VeLtRa0"
    h.resize(80, 0);
    put32(h, 8, common);
    put32(h, 12, table);
    put32(h, 20, estimate);
    put32(h, 36, comment);
    h[54] = 0x00, h[55] = 0xC0, h[56] = 0x00, h[57] = 0x78;
    h[74] = tracks;
    return h;
}

Bytes join(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// No common stream, no track: the header and the table count FF FF.
Bytes emptyImage() { return join(header(0, 64, 84, 0, 0), hex("FF FF")); }

// One track: device 1, channel 9, comment "abc" (odd: one pad byte).
// Table at 80, entry at 82, separator at 98, head at 100, comment 116..118,
// pad 119, events 120..123. Estimate 80 + (4 + 4 + 32 + 3 -> 44) = 124.
Bytes oneTrackImage() {
    return join(header(0, 64, 124, 0, 1), hex("00 00"
                                             "00 00 00 00  00 01 00 09  00 00 00 1A  00 00 00 02"
                                             "2F 2F"
                                             "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03"
                                             "61 62 63 00"
                                             "3C 30 30 FF"));
}

// Common stream 01 02 FF FF with the comment at its offset 1, then two
// tracks: a rhythm track (interface byte 1, device 8000, channel FFFF,
// comment "ab") of 8 event bytes, and a plain track of 4 event bytes.
// Table at 84, entries at 86 and 102, separator at 118, heads at 120 and
// 146, events at 138 and 162, file size 166. Estimate 80 + 4 + 84 = 168.
Bytes twoTrackImage() {
    return join(header(68, 68, 168, 41, 2), hex("01 02 FF FF"
                                               "00 01"
                                               "00 80 01 00  80 00 FF FF  00 00 00 28  00 00 00 12"
                                               "00 00 00 00  00 00 00 03  00 00 00 30  00 00 00 1C"
                                               "2F 2F"
                                               "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02"
                                               "61 62"
                                               "3C 30 30 80 FF FF FF FF"
                                               "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                               "3E 10 10 FF"));
}

TEST(VldReader, ReadsAFileWithoutCommonStreamOrTracks) {
    VldFile vld = readVld(emptyImage());
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(vld.trackCount, 0);
    EXPECT_TRUE(vld.tracks.empty());
    EXPECT_TRUE(vld.common.empty());
    EXPECT_EQ(vld.commentOffset, -1);
    EXPECT_EQ(vld.timeBase, 192);
    EXPECT_EQ(vld.tempo, 120);
}

TEST(VldReader, ReadsOneTrackWithAnOddComment) {
    VldFile vld = readVld(oneTrackImage());
    ASSERT_TRUE(vld.ok()) << vld.error;
    ASSERT_EQ(vld.tracks.size(), 1u);
    const VldTrack& t = vld.tracks[0];
    EXPECT_FALSE(t.kindRhythm);
    EXPECT_EQ(t.interfaceByte, 0);
    EXPECT_EQ(t.device, 1);
    EXPECT_EQ(t.channel, 9);
    EXPECT_EQ(textOf(t.comment), "abc");
    EXPECT_EQ(toHex(t.events), "3C 30 30 FF");
}

TEST(VldReader, ReadsCommonStreamCommentAndTwoTracks) {
    VldFile vld = readVld(twoTrackImage());
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(toHex(vld.common), "01 02 FF FF");
    EXPECT_EQ(vld.commentOffset, 1);
    ASSERT_EQ(vld.tracks.size(), 2u);
    EXPECT_TRUE(vld.tracks[0].kindRhythm);
    EXPECT_EQ(vld.tracks[0].interfaceByte, 1);
    EXPECT_EQ(vld.tracks[0].device, 0x8000);
    EXPECT_EQ(vld.tracks[0].channel, 0xFFFF);
    EXPECT_EQ(textOf(vld.tracks[0].comment), "ab");
    EXPECT_EQ(toHex(vld.tracks[0].events), "3C 30 30 80 FF FF FF FF");
    EXPECT_FALSE(vld.tracks[1].kindRhythm);
    EXPECT_TRUE(vld.tracks[1].comment.empty());
    EXPECT_EQ(toHex(vld.tracks[1].events), "3E 10 10 FF");
}

struct Corruption {
    const char* what;
    std::function<Bytes()> image;
    const char* error;
};

Bytes with(Bytes b, size_t at, unsigned char value) {
    b.at(at) = value;
    return b;
}
Bytes cut(Bytes b, size_t size) {
    b.resize(size);
    return b;
}
Bytes with32(Bytes b, size_t at, uint32_t value) {
    put32(b, at, value);
    return b;
}

TEST(VldReader, NamesWhatIsWrongWithABrokenFile) {
    const Corruption cases[] = {
        {"empty", [] { return Bytes{}; }, "file too short: 0 bytes, the header alone needs 80"},
        {"truncated header", [] { return cut(emptyImage(), 79); }, "file too short: 79 bytes, the header alone needs 80"},
        {"first byte", [] { return with(emptyImage(), 0, 0x1B); }, "byte 0 is 0x1B, not 0x1A"},
        {"magic", [] { return with(emptyImage(), 7, '1'); }, "bytes 1..7 are not the magic \"VeLtRa0\""},
        {"reserved byte", [] { return with(emptyImage(), 45, 1); }, "header byte 45 is 0x01, not 0"},
        {"table past end", [] { return with32(emptyImage(), 12, 1000); },
         "track table pointer (offset 12) lands at 1016, past the end of the file (82 bytes)"},
        {"table in header", [] { return with32(emptyImage(), 12, 10); },
         "track table pointer (offset 12) lands at 26, inside the header"},
        {"no table count", [] { return cut(emptyImage(), 81); },
         "track table pointer (offset 12) lands at 80, past the end of the file (81 bytes)"},
        {"common pointer without common", [] { return with32(emptyImage(), 8, 68); },
         "common pointer (offset 8) is 68 but the common stream is empty"},
        {"common stream without pointer", [] { return with32(twoTrackImage(), 8, 0); },
         "common pointer (offset 8) is 0, expected 68 for a common stream of 4 bytes"},
        {"comment pointer past common", [] { return with32(twoTrackImage(), 36, 44); },
         "comment pointer (offset 36) lands at 84, outside the common stream [80, 84)"},
        {"count byte", [] { return with(oneTrackImage(), 74, 2); },
         "the header counts 2 tracks (offset 74), the track table 1"},
        {"trailing bytes", [] { return join(emptyImage(), hex("2F 2F")); },
         "2 bytes follow the empty track table at 82"},
        {"separator", [] { return with(oneTrackImage(), 99, 0x2E); },
         "the separator behind the track table is 0x2F 0x2E, not 0x2F 0x2F"},
        {"kind byte", [] { return with(oneTrackImage(), 83, 0x40); },
         "track table entry 0: kind byte is 0x40, neither 0 nor 0x80"},
        {"head pointer", [] { return with32(oneTrackImage(), 94, 4); },
         "track table entry 0: block head lands at 102, expected 100 right behind the separator"},
        {"event pointer", [] { return with32(oneTrackImage(), 90, 24); },
         "track table entry 0: event pointer lands at 118, expected 120 behind a comment of 3 bytes"},
        {"comment past end", [] { return with32(oneTrackImage(), 112, 1000); },
         "track table entry 0: comment of 1000 bytes runs past the end of the file"},
        {"pad byte", [] { return with(oneTrackImage(), 119, 0x20); },
         "track table entry 0: the pad byte behind the odd comment is not 0"},
        {"second head overlaps first", [] { return with32(twoTrackImage(), 114, 16); },
         "track table entry 1: block head lands at 134, inside the previous block (its events start at 138)"},
        {"truncated block head", [] { return cut(oneTrackImage(), 110); },
         "track table entry 0: block head at 100 runs past the end of the file"},
        {"truncated stream", [] { return cut(oneTrackImage(), 123); },
         "track 0: event stream of 3 bytes is not a positive multiple of 4"},
        {"stream end", [] { return with(oneTrackImage(), 123, 0x00); }, "track 0: event stream does not end with 0xFF"},
        {"estimate", [] { return with32(twoTrackImage(), 20, 166); },
         "size estimate (offset 20) is 166, expected 168"},
    };
    for (const Corruption& c : cases) {
        VldFile vld = readVld(c.image());
        EXPECT_EQ(vld.error, c.error) << c.what;
    }
}

TEST(Hex, ReadsAndWritesSpacedPairs) {
    EXPECT_EQ(hex("3C 30 30 80 ff"), (Bytes{0x3C, 0x30, 0x30, 0x80, 0xFF}));
    EXPECT_EQ(hex("3C30\n\t30"), (Bytes{0x3C, 0x30, 0x30}));
    EXPECT_EQ(hex(""), Bytes{});
    EXPECT_EQ(toHex(Bytes{0x00, 0x0A, 0xFF}), "00 0A FF");
    EXPECT_EQ(toHex(hex("1a 2B")), "1A 2B");
    EXPECT_THROW(hex("3C 3"), std::invalid_argument);
    EXPECT_THROW(hex("3 C"), std::invalid_argument);
    EXPECT_THROW(hex("3G"), std::invalid_argument);
}

}  // namespace
