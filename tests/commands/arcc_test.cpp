#include "track/track_cases.h"

namespace {

TEST(Arcc, WritesOneEventPerKeyword) {
    expectStreams({
        {"[ARCC1.level 64]", "E5 00 01 01 40 FF FF FF"},
        {"[ARCC2.level on,10,,30]", "E5 02 02 05 0A 1E FF FF"},
        {"[ARCC1.depth 1/8, 5]", "E5 00 FF 01 05 FF FF FF"},
        {"[ARCC1.level 1,2]", "E5 00 02 03 01 02 FF FF"},
        {"[ARCC1.level 200,-200]", "E5 00 02 03 7F 80 FF FF"},
        {"@a", "E5 00 00 00 FF FF FF FF"},
        {"@a 20", "E5 00 01 01 14 FF FF FF"},
        {"@a 1,2", "E5 00 FF 03 01 02 FF FF"},
        {"[ARCC2.control volume]", "F7 02 80 07 FF FF FF FF"},
        {"[ARCC2.control 93]", "F7 02 80 5D FF FF FF FF"},
        {"[ARCC1.origin 64]", "F7 00 20 40 FF FF FF FF"},
        {"[ARCC1.reset 5]", "F7 00 40 05 FF FF FF FF"},
        {"[ARCC1.phase reverse]", "F7 00 10 FF FF FF FF FF"},
        {"[ARCC3.phase normal]", "F7 04 10 00 FF FF FF FF"},
        {"[ARCC1.waveform 8]", "C9 00 80 00 FF FF FF FF"},
        {"[ARCC1.waveform triangle]", "C9 00 00 02 FF FF FF FF"},
        {"[ARCC1.switch on]", "B3 00 02 FF"},
        {"[ARCC1.switch 1/8]", "B3 00 FF FF"},
        {"[ARCC1.sync on,4]", "B5 00 80 00 04 FF FF FF"},
        {"[ARCC1.sync 3]", "B5 00 C0 00 00 FF FF FF"},
        {"[ARCC4.mode normal]", "B4 06 FF FF"},
        {"[ARCC4.mode special]", "B4 06 00 FF"},
        {"[ARCC3.offset -10][ARCC3.level 0]", "E5 04 01 01 F6 FF FF FF"},
        {"[ARCC1.offset 100][ARCC1.level 100]", "E5 00 01 01 7F FF FF FF"},
        {"[ARCC1.unknown]", "exit 1: song.vls\t2: Error: [ARCC] is not closed."},
    });
}

TEST(Arcc, WritesToEveryTrackOfTheSet) {
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1,2) [ARCC2.control volume]\n"),
              "F7 02 80 07 FF FF FF FF | F7 02 80 07 FF FF FF FF");
}

TEST(Arcc, ReportsEveryMistake) {
    expectStreams({
        {"[ARCC5.level 1]", "exit 1: song.vls\t2: Error: ARCC target number is out of range."},
        {"[ARCC.level 1]", "exit 1: song.vls\t2: Error: [ARCC] command must contain the ARCC target number."},
        {"[ARCC1 level 1]", "exit 1: song.vls\t2: Error: [ARCC] format error."},
        {"[ARCC1.mode normal", "exit 1: song.vls\t2: Error: [ARCC] is not closed."},
        {"[ARCC1.level 1 2]", "exit 1: song.vls\t2: Error: [ARCC1.LEVEL] format error."},
        {"[ARCC1.level x]", "exit 1: song.vls\t2: Error: [ARCC1.LEVEL] format error."},
        {"[ARCC2.origin]", "exit 1: song.vls\t2: Error: [ARCC2.ORIGIN]: parameter can't omit."},
        {"[ARCC2.origin 128]", "exit 1: song.vls\t2: Error: [ARCC2.ORIGIN]: parameter is out of range."},
        {"[ARCC1.reset -1]", "exit 1: song.vls\t2: Error: [ARCC1.RESET]: parameter is out of range."},
        {"[ARCC1.waveform x]", "exit 1: song.vls\t2: Error: [ARCC1.WAVEFORM] format error."},
        {"[ARCC1.switch]", "exit 1: song.vls\t2: Error: [ARCC1.SWITCH] format error."},
        {"[ARCC1.sync on,$]", "exit 1: song.vls\t2: Error: [ARCC1.SYNC] format error."},
        {"[ARCC1.mode x]", "exit 1: song.vls\t2: Error: [ARCC1.MODE] format error."},
        {"[ARCC1.phase]", "exit 1: song.vls\t2: Error: [ARCC1.PHASE] format error."},
        {"[ARCC1.offset]", "exit 1: song.vls\t2: Error: [ARCC1.OFFSET] format error."},
        {"[ARCC1.deepen $]", "exit 1: song.vls\t2: Error: [ARCC1.DEEPEN] format error."},
        {"[ARCC1.speed 1,2,3,4,5,6,7,8,9]", "exit 1: song.vls\t2: Error: [ARCC1.speed]: too many parameters."},
        {"[ARCC1.delay +1]", "exit 1: song.vls\t2: Error: [ARCC1.delay] can't use relatinal parameters."},
    });
}

}  // namespace
