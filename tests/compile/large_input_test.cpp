// Sources of unusual size or shape: they must compile completely, with every
// stream whole, however long a track, a line, a tuplet or a nesting gets.
#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"

namespace {

std::string repeated(const std::string& unit, int count) {
    std::string out;
    out.reserve(unit.size() * count);
    for (int i = 0; i < count; ++i) out += unit;
    return out;
}

struct Shape {
    const char* name;
    std::string source;
    size_t firstTrackBytes;  // the first track's stream, end code and padding included; 0: not checked
};

TEST(LargeInput, CompilesEveryShapeWhole) {
    const std::string head = ".ASSIGN 1 {midi1}\n";
    std::string everyTrack;
    for (int t = 1; t <= 80; ++t) everyTrack += ".ASSIGN " + std::to_string(t) + " {midi" + std::to_string((t - 1) % 16 + 1) + "}\n";
    std::string select = "(t1";
    for (int t = 2; t <= 80; ++t) select += "," + std::to_string(t);
    select += ")";
    const Shape shapes[] = {
        // Far more events than the first block of a stream holds.
        {"long track", head + repeated("(t1) l8 c c c c c c c c\n", 5000), 4 * 40000 + 4},
        {"one long line", head + "(t1) l8 " + repeated("c ", 40000) + "\n", 4 * 40000 + 4},
        {"every track on every line", everyTrack + repeated(select + " l8 c c\n", 500), 4 * 1000 + 4},
        {"long tuplet", head + "(t1) {" + repeated("c ", 10000) + "}1\n", 0},
        {"deep repeats", head + "(t1) " + repeated("|:2 ", 100) + "c16 " + repeated(":| ", 100) + "\n", 0},
        {"long exclusive", head + ".EXCLUSIVE {" + repeated("1,2,3,4,5,6,7,8,", 8000) + "9}\n(t1) c\n", 0},
    };
    for (const Shape& shape : shapes) {
        RunResult result = compileSource(shape.source, {"-W1"});
        ASSERT_EQ(result.exitCode, 0) << shape.name << ": " << stderrWithoutBanner(result);
        VldFile vld = readVld(result.vldBytes);
        ASSERT_TRUE(vld.ok()) << shape.name << ": " << vld.error;
        ASSERT_FALSE(vld.tracks.empty()) << shape.name;
        if (shape.firstTrackBytes) {
            EXPECT_EQ(vld.tracks[0].events.size(), shape.firstTrackBytes) << shape.name;
        }
        EXPECT_EQ(vld.tracks[0].events.back(), 0xFF) << shape.name;
        EXPECT_EQ(vld.tracks[0].events.size() % 4, 0u) << shape.name;
    }
}

}  // namespace
