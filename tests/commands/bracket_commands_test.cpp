#include <string>
#include <string_view>

#include "commands/bracket_table.h"
#include "support/harness.h"
#include "track/track_cases.h"

namespace {

std::string error(const std::string& message) { return "exit 1: song.vls\t2: Error: " + message; }

// Names that a name earlier in the table begins: they can never match.
TEST(BracketTable, OnlyTheThreeKnownNamesAreHiddenByAnEarlierOne) {
    std::vector<std::string> hidden;
    for (int i = 0; i < kBracketNameCount; ++i)
        for (int j = 0; j < i; ++j)
            if (std::string_view(kBracketNames[i].name).starts_with(kBracketNames[j].name))
                hidden.push_back(kBracketNames[i].name);
    EXPECT_EQ(hidden, (std::vector<std::string>{"TIMBRE_SPLIT.SWITCH", "PROGRAM_SPLIT.SWITCH", "VELOCITY.REVISE"}));
    EXPECT_STREQ(kBracketNames[kBarDash].name, "-");
    EXPECT_STREQ(kBracketNames[kGm2SystemOn].name, "GM2_SYSTEM_ON");
}

TEST(BracketCommands, NamesMatchByPrefixInAnyCase) {
    expectStreams({
        {"[tempo 120] [Tempo 120] [TEMPO120]", "C3 00 78 C3 00 78 C3 00 78 FF FF FF"},
        {"[TEMPO 120]c", "C3 00 78 3C 30 30 80 FF"},
        {"[ TEMPO 120]", error("SYNTAX ERROR.")},
        // BEND matches and leaves the rest to the track: a note E and a rest.
        {"[BENDER4", "98 00 40 30 30 80 80 30 30 FF FF FF"},
        {"[BENDER 5]", error("']' nest error.")},
        {"[VELOCITY 100] [@VELOCITY 5] [velocity.offset 10] u100", "93 64 94 05 93 6E FF FF"},
        {"[VELOCITY.REVISE 0,2] c4", "3C 30 30 BC FF FF FF FF"},
        {"[VELOCITY.REVISE 0,2]]", error("']' nest error.")},
        {"[EVENT 0,0,x]]", error("']' nest error.")},
    });
}

// A bracket that is no command, or a name without a handler, is a
// portamento group.
TEST(BracketCommands, OtherBracketsArePortamentoGroups) {
    expectStreams({
        {"[ce]", "85 3C 40 30 30 80 FF FF"},
        {"[VIBRATO c d]", "85 3C 3E 30 30 80 FF FF"},
        {"[GS_RESET]", error("portament requires 2 tones.")},
    });
}

TEST(BracketCommands, HeaderBuildersWriteToTheTracks) {
    expectStreams({
        {"[METER 3/4] [KEY Am]", "C5 05 02 03 04 C5 04 02 00 01 FF FF"},
        {"[GATETIME_RESOLUTION 16] c", "3C 30 18 80 FF FF FF FF"},
        {"[GM_SYSTEM_ON]", "F4 0C 47 4D 5F 53 59 53 54 45 4D 5F 4F 4E 00 00 00 06 F0 7E 7F 09 01 F7 FF FF FF FF"},
        {"[XG_SYSTEM_ON 17]",
         "F4 0C 58 47 5F 53 59 53 54 45 4D 5F 4F 4E 00 00 00 09 F0 43 11 4C 00 00 7E 00 F7 FF"},
    });
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1,2) [TEMPO 90]\n"), "C3 00 5A FF | C3 00 5A FF");
}

}  // namespace
