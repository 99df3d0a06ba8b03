// The file writer's frame, driven in-process with hand-filled track records
// and read back through the checking reader: pointer arithmetic, pads, the
// size estimate and which tracks make it into the file.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "compile/vld_writer.h"
#include "records/records.h"
#include "support/harness.h"

namespace {

struct Piece {
    TrackRecords trk = TrackRecords(kTrackCount);
    headdata hd;
    int listed = 0;

    void common(const char* events, int32_t commentOffset = 0) {
        for (unsigned char b : hex(events)) trk[0].buf.put(b);
        trk[0].length = static_cast<int32_t>(trk[0].buf.size());
        hd.comment_offset = commentOffset;
    }

    // Lists track t with its stream, as the track assignment and the track
    // compile would leave it.
    trkdata& track(int t, const char* events, const char* comment = nullptr) {
        trkdata& r = trk[t];
        for (unsigned char b : hex(events)) r.buf.put(b);
        r.length = static_cast<int32_t>(r.buf.size());
        r.partition_mark = 1;
        r.interface_no = 1;
        if (comment) {
            r.has_comment = true;
            r.comment = comment;
        }
        hd.track_list[listed++] = static_cast<uint8_t>(t);
        hd.track_list[listed] = kNoTrack;
        return r;
    }

    Bytes image(int32_t longest = 0) const { return buildVld(trk, hd, longest); }
};

TEST(VldWriter, FileWithoutTracksIsHeaderCommonStreamAndAnEmptyTable) {
    Piece p;
    Bytes bare = p.image();
    EXPECT_EQ(toHex(bare), kEmptyVldHex);

    p.common("F0 41 FF FF", 1);
    VldFile vld = readVld(p.image());
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(vld.commonPointer, 68u);
    EXPECT_EQ(vld.tablePointer, 68u);
    EXPECT_EQ(vld.sizeEstimate, 88u);
    EXPECT_EQ(vld.commentPointer, 41u);
    EXPECT_EQ(toHex(vld.common), "F0 41 FF FF");
    EXPECT_EQ(p.image().size(), 86u);
}

TEST(VldWriter, CarriesTheHeaderFieldsOfThePiece) {
    Piece p;
    p.hd.whole_note_clocks = 0x101E0;  // only the low 16 bits are kept
    p.hd.tempo = 150;
    p.hd.meter = 0x0604;
    p.hd.key[0] = 0x02;
    p.hd.key[1] = 0x81;
    p.hd.flags = kFlagInitialize | kFlagModuleText;
    VldFile vld = readVld(p.image(1536));
    ASSERT_TRUE(vld.ok()) << vld.error;
    EXPECT_EQ(vld.timeBase, 0x01E0);
    EXPECT_EQ(vld.tempo, 150);
    EXPECT_EQ(vld.meter, 0x0604);
    EXPECT_EQ(vld.key[0], 0x02);
    EXPECT_EQ(vld.key[1], 0x81);
    EXPECT_EQ(vld.flags, 0x2001u);
    EXPECT_EQ(vld.longestClocks, 1536u);
}

TEST(VldWriter, PadsAnOddCommentAndPointsPastIt) {
    Piece p;
    p.track(1, "3C 30 30 FF", "abc").assigned_channel = 9;
    Bytes image = p.image();
    VldFile vld = readVld(image);
    ASSERT_TRUE(vld.ok()) << vld.error;
    // Head at 100, comment at 116, pad at 119, events at 120.
    EXPECT_EQ(toHex(Bytes(image.begin() + 80, image.begin() + 116)),
              "00 00 00 00 00 00 00 00 00 09 00 00 00 1A 00 00 00 02 2F 2F "
              "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 03");
    EXPECT_EQ(toHex(Bytes(image.begin() + 116, image.end())), "61 62 63 00 3C 30 30 FF");
    EXPECT_EQ(vld.sizeEstimate, 124u);
}

TEST(VldWriter, WritesTracksInAssignmentOrderWithTheirTableFields) {
    Piece p;
    p.common("90 FF");
    trkdata& drums = p.track(10, "3C 30 30 80 FF FF FF FF", "ab");
    drums.kind = 1;
    drums.interface_no = 3;
    drums.device = 0x8000;
    drums.assigned_channel = 200;  // a signed byte: widened to FFC8
    p.track(2, "3E 10 10 FF", "xyz").interface_no = 0;  // the interface byte wraps to FF
    p.track(5, "40 08 08 FF");

    VldFile vld = readVld(p.image());
    ASSERT_TRUE(vld.ok()) << vld.error;
    ASSERT_EQ(vld.tracks.size(), 3u);
    const VldTrack& t0 = vld.tracks[0];
    EXPECT_TRUE(t0.kindRhythm);
    EXPECT_EQ(t0.interfaceByte, 2);
    EXPECT_EQ(t0.device, 0x8000);
    EXPECT_EQ(t0.channel, 0xFFC8);
    EXPECT_EQ(textOf(t0.comment), "ab");
    EXPECT_EQ(toHex(t0.events), "3C 30 30 80 FF FF FF FF");
    EXPECT_EQ(vld.tracks[1].interfaceByte, 0xFF);
    EXPECT_EQ(vld.tracks[1].channel, 0xFFFF);
    EXPECT_EQ(textOf(vld.tracks[1].comment), "xyz");
    EXPECT_EQ(toHex(vld.tracks[1].events), "3E 10 10 FF");
    EXPECT_TRUE(vld.tracks[2].comment.empty());
    EXPECT_EQ(toHex(vld.tracks[2].events), "40 08 08 FF");
}

TEST(VldWriter, LeavesOutTracksWithoutEventsUnlessCompatibilityLevelIsThree) {
    for (int level : {1, 2, 3, 4}) {
        Piece p;
        p.hd.keep_every_track = level >= 3;  // what the run sets from -Z
        p.track(1, "FF FF FF FF", "silent");
        p.track(2, "3C 30 30 FF");
        p.track(3, "3D 30 30 FF").partition_mark = 0;
        VldFile vld = readVld(p.image());
        ASSERT_TRUE(vld.ok()) << "level " << level << ": " << vld.error;
        if (level < 3) {
            ASSERT_EQ(vld.tracks.size(), 1u) << level;
            EXPECT_EQ(toHex(vld.tracks[0].events), "3C 30 30 FF");
        } else {
            ASSERT_EQ(vld.tracks.size(), 3u) << level;
            EXPECT_EQ(textOf(vld.tracks[0].comment), "silent");
            EXPECT_EQ(toHex(vld.tracks[2].events), "3D 30 30 FF");
        }
    }
}

}  // namespace
