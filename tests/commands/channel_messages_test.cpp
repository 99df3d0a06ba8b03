#include <string>

#include "support/harness.h"
#include "track/track_cases.h"

namespace {

std::string error(const std::string& message) { return "exit 1: song.vls\t2: Error: " + message; }

std::string onDevice(const std::string& device, const std::string& mml) {
    return streamsOf(".ASSIGN 1 {" + device + "}\n(t1) " + mml + "\n");
}

TEST(ChannelMessages, ProgramAndBank) {
    expectStreams({
        {"i1,2", "C6 01 02 FF"},
        {"i,5", "C6 00 05 FF"},
        {"I", "C6 00 00 FF"},
        {"[TIMBRE_BANK 3] [PROGRAM_BANK ,4]", "C6 03 00 C6 00 04 FF FF"},
        {"[PROGRAM 5] [TIMBRE 1:2,10]", "C7 00 04 C6 01 02 C7 00 09 FF FF FF"},
        {"i1,2,3", error("i: too many parameters.")},
        {"i+1", error("i: can't use relational parameters.")},
        // on: 128 + two entries; the second entry reads its notes an octave
        // lower after the first entry's `>`, and the track's octave comes back.
        {"[PROGRAM_SPLIT on, 1:2,5,c,>c, 3,7,o5d] c",
         "DE 82 3C 30 00 82 00 04 4A 48 00 03 00 06 3C 30 30 80 FF FF"},
        {"[TIMBRE_SPLIT on,60,1,40,50]", "DE 81 28 32 00 3C 00 00 FF FF FF FF"},
        {"[PROGRAM_SPLIT off] [TIMBRE_SPLIT]", "DE 00 DE 80 FF FF FF FF"},
        {"[PROGRAM_SPLIT on, x]", error("[timbre_split] parameter error.")},
        {"[PROGRAM_SPLIT on, 1:x]", error("[timbre_split] parameter error.")},
    });
}

TEST(ChannelMessages, BendDetunePitchAndPortamento) {
    expectStreams({
        {"@b100", "B8 00 64 FF"},
        {"@b", "98 00 FF FF"},
        {"@b1,,3", "E0 A0 00 01 00 03 FF FF"},
        {"@k-1 [BEND 5]", "B9 FF FF B8 00 05 FF FF"},
        {"@k1,2,3,4", "E1 F0 00 01 00 02 00 03 00 04 FF FF"},
        {"@b1,2,3,4,5", error("@b/@k: too many parameters.")},
        {"@b1,$", error("@b/@k can't omit delay parameter when you want to set.")},
        {"[BEND.SWITCH on] [BEND.SWITCH 0] [BEND.SWITCH]", "98 01 98 00 FF FF FF FF"},
        {"[PITCH 300] [@PITCH -2] [PITCH]", "B8 01 2C BA FF FE FF FF"},
        {"@g12 [BEND.RANGE 2]", "A5 0C A5 02 FF FF FF FF"},
        {"@g", error("@g can't omit its parameter.")},
        {"[AUTO_PORTAMENT on, 10, 20]", "F6 01 C0 00 0A 00 14 FF"},
        {"[AUTO_PORTAMENT] [AUTO_PORTAMENT off,,5]", "F6 FF 00 F6 00 40 00 05 FF FF FF FF"},
        {"[AUTO_PORTAMENT.SWITCH on] [AUTO_PORTAMENT.SWITCH]", "F6 01 00 FF"},
    });
}

TEST(ChannelMessages, VolumePanpotTempoDamper) {
    expectStreams({
        {"v16", "90 90 FF FF"},
        {"@v127 [VOLUME 100]", "90 7F 90 64 FF FF FF FF"},
        {"[@VOLUME 5] @v+5", "91 05 91 05 FF FF FF FF"},
        {"v-3", "91 FD FF FF"},
        {"v17", error("v/@v parameter is out of range.")},
        {"@v128", error("v/@v parameter is out of range.")},
        {"v", error("v/@v must be followed to its parameter.")},
        {"P3", "A0 40 FF FF"},
        {"P1 P2", "A0 00 A0 7F FF FF FF FF"},
        {"P0", error("panpot parameter is out of range(0-127).")},
        {"P4", error("panpot parameter is out of range(0-127).")},
        {"p+10", error("P (panpot) must be followed to its absolute parameter.")},
        {"@p+10 [@PANPOT 10] [PANPOT 64]", "A1 0A A1 0A A0 40 FF FF"},
        {"@p128", error("panpot parameter is out of range(0-127).")},
        {"@p", error("@p must be followed to its parameter.")},
        {"t120", "C3 00 78 FF"},
        {"t+5", "C4 00 05 FF"},
        {"t19", error("tempo parameter is out of range(20 - 300).")},
        {"t301", error("tempo parameter is out of range(20 - 300).")},
        {"@t19", "C1 00 13 FF"},
        {"[@TEMPO 3] [TIMER -3] [TEMPO 300]", "C4 00 03 C2 FF FD C3 01 2C FF FF FF"},
        {"t", error("tempo must be followed to its parameter.")},
        {"@d @d on @d5", "A3 00 A3 7F A3 7F FF FF"},
        {"[DAMPER 64] [DAMPER on] [DAMPER off]", "A3 40 A3 7F A3 00 FF FF"},
    });
}

// A value is refused, naming the range, where the field it is written to
// would keep it as another value; the ends of each range are written.
TEST(ChannelMessages, ValuesTheirFieldCannotHoldAreRefused) {
    const std::string program = "program number is out of range(1 - 65536).";
    const std::string bankByte = "bank number is out of range(0 - 255).";
    expectStreams({
        {"@1 @65536", "C7 00 00 C7 FF FF FF FF"},
        {"@0", error(program)},
        {"[PROGRAM 65537]", error(program)},
        {"@-1", error(program)},
        {"@255:255,1 @16383,2", "C6 FF FF C7 00 00 C6 7F 7F C7 00 01 FF FF FF FF"},
        {"@256:1,1", error(bankByte)},
        {"@1:-1,1", error(bankByte)},
        {"@16384,1", error("bank number is out of range(0 - 16383).")},
        {"@1:2,0", error(program)},
        {"[TIMBRE_SPLIT on,511:127,65536,40,50]", "DE 81 28 32 FF FF FF FF FF FF FF FF"},
        {"[TIMBRE_SPLIT on,512:0,1,40,50]", error("bank number is out of range(0 - 65535).")},
        {"[TIMBRE_SPLIT on,1,0,40,50]", error(program)},
        {"[TIMBRE_SPLIT on,1,,40,50]", "DE 81 28 32 00 01 FF FF FF FF FF FF"},  // no program: as before
        {"@t65535 [TIMER 0]", "C1 FF FF C1 00 00 FF FF"},
        {"@t65536", error("timer parameter is out of range(0 - 65535).")},
        {"t+32767 [@TEMPO -32768] @t-32768", "C4 7F FF C4 80 00 C2 80 00 FF FF FF"},
        {"t+32768", error("tempo parameter is out of range(-32768 - 32767).")},
        {"@t-32769", error("tempo parameter is out of range(-32768 - 32767).")},
        {"v+127 [@VOLUME -128]", "91 7F 91 80 FF FF FF FF"},
        {"v+128", error("v/@v parameter is out of range(-128 - 127).")},
        {"[@VOLUME -129]", error("v/@v parameter is out of range(-128 - 127).")},
        {"@p+127 [@PANPOT -128]", "A1 7F A1 80 FF FF FF FF"},
        {"@p-129", error("panpot parameter is out of range(-128 - 127).")},
        {"@g0 [BEND.RANGE 255]", "A5 00 A5 FF FF FF FF FF"},
        {"@g256", error("@g parameter is out of range(0 - 255).")},
        {"[BEND.RANGE -1]", error("@g parameter is out of range(0 - 255).")},
    });
}

// On an FM track the volume also sets the velocity that relative values start from.
TEST(ChannelMessages, FmVolumeSetsTheVelocity) {
    EXPECT_EQ(onDevice("fm1", "@v100 @z+1"), "90 64 E3 65 FF FF FF FF FF FF FF FF");
    EXPECT_EQ(onDevice("fm1", "v-10 @z+0"), "91 F6 E3 75 FF FF FF FF FF FF FF FF");
    EXPECT_EQ(onDevice("midi1", "@v100 @z+0"), "90 64 E3 7F FF FF FF FF FF FF FF FF");
}

TEST(ChannelMessages, ControlChange) {
    expectStreams({
        {"y7,100 [CONTROL 10, 64]", "BC 07 64 BC 0A 40 FF FF"},
        {"y128,0", error("control change parameter is out of range(0-127).")},
        {"y7", error("control change must have 2 parameters.")},
        {"y", error("'y'(control change) must be followed to its parameter.")},
        {"y7,", error("'y'(control change) must be followed to its parameter.")},
    });
    const std::pair<const char*, const char*> fm[] = {
        {"y15,0", "82 FF FF FF"},
        {"y15,3", "A5 03 FF FF"},
        {"y2,1000", "9B 01 E8 FF"},
        {"y3,7 y13,9 y14,3", "B7 03 A2 01 B8 01 FF FF"},
        {"y48,100", "D1 00 19 01 0A FF FF FF"},
        // The largest values keep the low 16 bits of each word, without overflow.
        {"y48,2147483647", "D1 FF FF FF F5 FF FF FF"},
        {"y48,-2147483648", "D1 00 00 00 00 FF FF FF"},
        {"y49,100 y20,5", "BC 31 64 BC 14 05 FF FF"},
        {"y7", "exit 1: song.vls\t2: Error: control change must have 2 parameters."},
    };
    for (const auto& [mml, stream] : fm) EXPECT_EQ(onDevice("fm1", mml), stream) << mml;
    EXPECT_EQ(onDevice("adpcm", "y15,0"), "82 FF FF FF");
}

TEST(ChannelMessages, NrpnAndMidiData) {
    expectStreams({
        {"[NRPN 1,2,3]", "CF 01 02 03 FF FF FF FF"},
        {"[NRPN 1,200]", "CF 01 48 01 FF FF FF FF"},
        {"@y1,2,3,4", "CF 01 02 03 04 FF FF FF"},
        {"@y1,2", error("NRPN must have address(2 bytes) and data(1 or 2 bytes.)")},
        {"@y1,2,3,4,5", error("NRPN must have address(2 bytes) and data(1 or 2 bytes.)")},
        {"@y200,200,1", error("NRPN must have address(2 bytes) and data(1 or 2 bytes.)")},
        {"x 16,\"AB\"", "F3 41 00 00 00 00 03 10 41 42 FF FF"},
        {"@x$B0,7,100", "F4 00 00 00 00 03 B0 07 64 FF FF FF"},
        {"[MIDI_DATA 1 2] [ROLAND_EXCLUSIVE]", "F4 00 00 00 00 02 01 02 F3 41 00 00 00 00 00 FF"},
        {"[YAMAHA_EXCLUSIVE 300]", "F3 43 00 00 00 00 02 2C 02 FF FF FF"},
        {"x 1 c4", "F3 41 00 00 00 00 01 01 3C 30 30 80 FF FF FF FF"},
    });
}

TEST(ChannelMessages, FadersEffectsAndInstrument) {
    expectStreams({
        {"[TRACK_FADER 100]", "D6 7F FE 00 00 01 00 64 FF FF FF FF"},
        {"[TRACK_FADER 1000,2,3 ]", "D6 7F FE 00 00 07 03 E8 02 03 FF FF"},
        {"[TRACK_FADER 1,2,3,4]", error("[CH_FADER]: too many parameters.")},
        {"[TRACK_FADER +1]", error("[CH_FADER] can't use relational parameters.")},
        {"[CH_FADER midi2, 100]", "D6 FF FF 00 01 01 00 64 FF FF FF FF"},
        {"[CH_FADER all, ,5]", "D6 FF FF FF FF 02 05 FF"},
        {"[EFFECT.CHORUS 40]", "F0 02 28 FF"},
        {"@e10,,30", "F0 05 0A 1E FF FF FF FF"},
        {"[EFFECT 1,2,3,4,5] [EFFECT  7 ]", "F0 1F 01 02 03 04 05 F0 01 07 FF FF"},
        {"[EFFECT.REVERB 256]", error("[EFFECT] parameter is out of range(0-255).")},
        {"[EFFECT.DELAY]", error("[EFFECT] must be followed to its parameter.")},
        {"@e1,2,3,4,5,6", error("@e: too many parameters.")},
        {"@e-1", error("@e can't use relational parameters.")},
        {"@i65,16,66 [INSTRUMENT_ID 1,2,3 ]", "CA 41 10 42 CA 01 02 03 FF FF FF FF"},
        {"@i1,2", error("@i must have 3 parameters(maker id,device id,model id).")},
        {"@i1,,3", error("@i can't omit 3 parameters(maker id,device id,model id).")},
        {"@i1,+2,3", error("@i can't use relational parameters.")},
        // The instrument ID goes first, once per track, unless @i gave one.
        {"[SC88_MODE double] [SC88_MODE_SET 1]",
         "CA 41 10 42 F3 41 09 53 43 38 38 5F 4D 4F 44 45 00 00 00 04 00 00 7F 01 "
         "F3 41 09 53 43 38 38 5F 4D 4F 44 45 00 00 00 04 00 00 7F 00 FF FF FF FF"},
        {"@i1,2,3 [SC88_MODE single]",
         "CA 01 02 03 F3 41 09 53 43 38 38 5F 4D 4F 44 45 00 00 00 04 00 00 7F 00 FF FF FF FF"},
    });
}

}  // namespace
