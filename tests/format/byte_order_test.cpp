#include <gtest/gtest.h>

#include "format/byte_order.h"
#include "format/event_buffer.h"

namespace {

struct DurationCase {
    uint32_t clocks;
    std::vector<unsigned char> bytes;
};

TEST(DurationEncoding, WritesOneByteBelow128AndAFlaggedWordAbove) {
    const DurationCase cases[] = {
        {0, {0x00}},          {127, {0x7F}},         {128, {0x80, 0x80}},   {192, {0x80, 0xC0}},
        {32767, {0xFF, 0xFF}}, {0x8000, {0x80, 0x00}}, {0xFFFF, {0xFF, 0xFF}}, {40000, {0x9C, 0x40}},
    };
    for (const auto& c : cases) {
        EventBuffer buf;
        buf.putDuration(c.clocks);
        EXPECT_EQ(std::vector<unsigned char>(buf.data(), buf.data() + buf.size()), c.bytes) << c.clocks;
    }
}

TEST(EventBuffer, GrowsPastAnyCapacityAndKeepsContents) {
    EventBuffer buf;
    buf.allocate(8192, "test");
    for (int i = 0; i < 100000; ++i) buf.put(i & 0xFF);
    ASSERT_EQ(buf.size(), 100000u);
    for (int i = 0; i < 100000; i += 997) EXPECT_EQ(buf.at(i), i & 0xFF);
    // A large block grows by half of itself, so it never holds much more
    // than twice what was written.
    EXPECT_LT(buf.capacity(), 2 * buf.size() + 8192);
}

TEST(EventBuffer, IgnoresPatchesAndReadsOutsideTheStream) {
    EventBuffer buf;
    buf.putBE16(0x1234);
    buf.patch(5, 0xAA);
    buf.patchBE32(1, 0xDEADBEEF);
    EXPECT_EQ(buf.size(), 2u);
    EXPECT_EQ(buf.at(0), 0x12);
    EXPECT_EQ(buf.at(1), 0xDE);
    EXPECT_EQ(buf.at(7), 0);
    EXPECT_EQ(buf.readBE16(0), 0x12DEu);
}

}  // namespace
