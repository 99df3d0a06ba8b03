#include "header/dot_commands.h"
#include "header/meter_key.h"
#include "header_cases.h"
#include "scan/scan_fixture.h"
#include "scan/scanner.h"
#include "track/track_cases.h"

namespace {

struct CommonCase {
    const char* source;
    const char* common;  // the common stream, end code and pad included
};

TEST(HeaderCommands, WriteTheCommonStream) {
    const CommonCase cases[] = {
        {".TEMPO 150\n", ""},
        {".INITIALIZE 1\n", "00 01 FF FF"},
        {"(I2)\n", "00 02 FF FF"},
        {".CURRENT_MIDI_OUT 2\n", "30 01 FF FF"},
        {".COMMENT hello\n", "40 68 65 6C 6C 6F 0A 00 FF FF"},
        {".COMMENT hi\r\n", "40 68 69 0D 0A 00 FF FF"},
        {".COMMENT {a\nb}\n", "40 61 0A 62 00 FF"},
        {".COMMENT { x{y} }\n", "40 20 78 7B 79 7D 20 00 FF FF"},
        {"(X $41 $10)\n", "34 FF 00 00 00 00 02 41 10 FF"},
        {".WAVE_FORM 1, repeat, 0, , 2, wave = {1,2,3}\n",
         "1C 00 01 00 00 00 06 01 00 00 00 00 00 00 00 06 00 00 00 02 00 00 00 00 05 77 61 76 65 20 "
         "00 01 00 02 00 03 FF FF"},
        {".WAVE_FORM 2, 1shot, 1, 2 {5}\n",
         "1C 00 02 00 00 00 02 00 00 00 00 02 00 00 00 06 00 00 00 00 00 00 00 00 00 00 00 05 FF FF"},
        {".WAVE_FORM 3, 2, 0, 0 = = {\n 7,\n 8 }\n",
         "1C 00 03 00 00 00 04 02 00 00 00 00 00 00 00 02 00 00 00 00 00 00 00 00 00 00 00 07 00 08 FF FF"},
        {".DEFINE x { a {b} c }\n.MIDI_DUMP\n", ""},
        {".LENGTH_MODE whatever 123\n", ""},
        {".tempo 150 .initialize 1 .Initialize 2\n", "00 01 00 02 FF FF"},
        {".CDE\n", ""},
    };
    for (const auto& c : cases) {
        VldFile vld = compileHeaderOf(c.source);
        EXPECT_EQ(toHex(vld.common), c.common) << c.source;
    }
}

// The piece's comment ends at its 0 byte: one inside the source's text is
// left out, so that the rest of the text is not read as events.
TEST(HeaderCommands, CommentLeavesOutZeroBytes) {
    using namespace std::string_literals;
    EXPECT_EQ(toHex(compileHeaderOf(".COMMENT {a\0b}\n"s).common), "40 61 62 00 FF FF");
    EXPECT_EQ(toHex(compileHeaderOf(".COMMENT \0x\0\n"s).common), "40 78 0A 00 FF FF");
}

// `(@` and `(V` append the whole 55-byte parameter image: the numbers given
// from its first byte, bytes 46 and 47 at 15 and 3.
TEST(HeaderCommands, ParenthesisedParameterFormsAppendTheWholeImage) {
    auto image = [](std::string head, std::string values) {
        Bytes block(55, 0);
        Bytes given = hex(values);
        std::copy(given.begin(), given.end(), block.begin());
        block[46] = 15;
        block[47] = 3;
        Bytes out = hex(head);
        out.insert(out.end(), block.begin(), block.end());
        out.push_back(0xFF);
        if (out.size() % 2) out.push_back(0xFF);
        return toHex(out);
    };
    EXPECT_EQ(toHex(compileHeaderOf("(@3, 1, 2)\n").common), image("1B 03", "01 02"));
    EXPECT_EQ(toHex(compileHeaderOf("(V3, 0, 7 8\t9)\n").common), image("04 03", "07 08 09"));
    std::string full = "(@1";
    for (int i = 0; i < 55; ++i) full += "," + std::to_string(i);
    EXPECT_EQ(compileHeaderOf(full + ")\n").common.size(), 2u + 55u + 1u);
    expectError(full + ",55)\n", "song.vls\t1: Error: SYNTAX ERROR");
}

TEST(HeaderCommands, SetTheHeaderFields) {
    VldFile vld = compileHeaderOf(".TEMPO 150\n.MASTER_CLOCK 480\n.METER 6/8\n.KEY B-\n.COMMENT x\n.INITIALIZE\n.CURRENT_MIDI_OUT 1\n");
    EXPECT_EQ(vld.tempo, 150);
    EXPECT_EQ(vld.timeBase, 480);
    EXPECT_EQ(vld.meter, 0x0608);
    EXPECT_EQ(vld.key[0], 0xFE);
    EXPECT_EQ(vld.key[1], 0);
    EXPECT_EQ(vld.flags, 0x3001u);
    EXPECT_EQ(vld.commentOffset, 1);
    EXPECT_EQ(vld.commentPointer, 41u);

    const std::pair<const char*, int> tempos[] = {{".tempo 150", 150}, {".TEMPO150", 150}, {"(O140)", 140}, {"( o 90 )", 90}};
    for (const auto& [source, tempo] : tempos) EXPECT_EQ(compileHeaderOf(source).tempo, tempo) << source;
    EXPECT_EQ(compileHeaderOf("(Z96)").timeBase, 96);
    EXPECT_EQ(compileHeaderOf(".TEMPO 65535").tempo, 65535);
    // (65532, not 65535: the export's MIDI division holds a quarter of at
    // most 32767 ticks.)
    EXPECT_EQ(compileHeaderOf(".MASTER_CLOCK 65532").timeBase, 65532);
    EXPECT_EQ(toHex(compileHeaderOf(".INITIALIZE 255").common), "00 FF FF FF");
    EXPECT_EQ(compileHeaderOf(".METER 255/255").meter, 0xFFFF);
    EXPECT_EQ(compileHeaderOf(".WAVE_FORM 1,0 {1}").flags, 0x80u);
    EXPECT_EQ(compileHeaderOf("(X 1)").flags, 0x2000u);
}

TEST(HeaderCommands, ReportErrorsWithTheirLine) {
    const std::pair<const char*, const char*> cases[] = {
        {".TEMPO x", "song.vls\t1: Error: SYNTAX ERROR"},
        {"\n.MASTER_CLOCK", "song.vls\t2: Error: SYNTAX ERROR"},
        {".CURRENT_MIDI_OUT", "song.vls\t1: Error: no IF number is specified."},
        {".CURRENT_MIDI_OUT 5", "song.vls\t1: Error: IF number must be within the range 1-4."},
        {"(K1)", "song.vls\t1: Error: UNKNOWN MML"},
        {"(B2)", "song.vls\t1: Error: SYNTAX ERROR"},
        {"(V3, 1)", "song.vls\t1: Error: SYNTAX ERROR"},
        {"(I1x)", "song.vls\t1: Error: SYNTAX ERROR"},
        {"(M99, 1)", "song.vls\t1: Error: illegal track number is specified."},
        {"(Q never closed\n", "song.vls\t1: Error: unexpected EOF."},
        {".COMMENT {never\nclosed\n", "song.vls\t1: Error: `}' is not closed."},
        {".WAVE_FORM", "song.vls\t1: Error: wave# is not specified."},
        {".WAVE_FORM 1", "song.vls\t1: Error: looptype is not specified."},
        {".WAVE_FORM 1, 0, 0, 0, 1 x", "song.vls\t1: Error: SYNTAX ERROR"},
        {".WAVE_FORM 1, 0 = x", "song.vls\t1: Error: SYNTAX ERROR"},
        {".WAVE_FORM 1, 0 = = x", "song.vls\t1: Error: wave definition error."},
        {".WAVE_FORM 1, 0 {1;2}", "song.vls\t1: Error: wave definition error."},
        {".WAVE_FORM 1, 0 {1,\n2\n", "song.vls\t3: Error: unexpected EOF."},
        // Values the header or the common stream would keep as others.
        {".TEMPO -5", "song.vls\t1: Error: .tempo parameter is out of range(0 - 65535)."},
        {"(O65536)", "song.vls\t1: Error: .tempo parameter is out of range(0 - 65535)."},
        {".MASTER_CLOCK 65536", "song.vls\t1: Error: .master_clock parameter is out of range(0 - 65535)."},
        {"(Z-1)", "song.vls\t1: Error: .master_clock parameter is out of range(0 - 65535)."},
        {".INITIALIZE 256", "song.vls\t1: Error: .initialize parameter is out of range(0 - 255)."},
        {"(I-1)", "song.vls\t1: Error: .initialize parameter is out of range(0 - 255)."},
        {".METER 3/256", "song.vls\t1: Error: METER: parameter is out of range(0 - 255)."},
        {".METER -3/4", "song.vls\t1: Error: METER: parameter is out of range(0 - 255)."},
    };
    for (const auto& [source, message] : cases) expectError(source, message);
}

TEST(HeaderCommands, PrintNoticesAndWarningsAtTheirLevels) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {".INITIALIZE 3", "-w3", "song.vls\t1: Warning: V3-vls is not supported in vlc2."},
        {".RANDOMIZE_SEED 5", "-w4", "song.vls\t1: Warning: .randomize_seed can use only for vlc2."},
        {".LEGACY_*1_TIE", "-w4", "song.vls\t1: Warning: .legacy_*1_tie can use only for vlc2."},
        {".RANDOMIZE_SEED 5", "-w3", ""},
    };
    for (const auto& [source, level, message] : cases) {
        RunResult result = compileSource(source, {level});
        EXPECT_EQ(result.exitCode, 0) << source;
        EXPECT_EQ(firstMessage(result), message) << source;
    }
}

// The first character that is not a header command begins the MML of track 1,
// which is assigned without options: its interface byte reads 255.
TEST(HeaderCommands, AssignTrackOneAtTheFirstMmlCharacter) {
    const std::pair<const char*, std::string> cases[] = {
        {"cdef\n", "255 8000 0000"},
        {".TEMPO 100 cdef\n", "255 8000 0000"},
        {".CDE\n", "255 8000 0000"},  // the C behind the dot starts the MML
        {".MIDI_DUMP 5\n", "255 8000 0000"},
        {".ASSIGN 1 {midi3}\ncdef\n", "0 FFFF 0002"},  // an assigned track 1 stays as it is
        {".TEMPO 100\n", ""},
    };
    for (const auto& [source, expected] : cases) {
        VldFile vld = compileHeaderOf(source, {"-z3"});
        std::string got;
        for (const VldTrack& t : vld.tracks) {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%d %04X %04X", t.interfaceByte, t.device, t.channel);
            got += buf;
        }
        EXPECT_EQ(got, expected) << source;
    }
}

// The header ends at a track selection; a header command in the track lines
// adds its events to the common stream before the end code.
TEST(HeaderCommands, EndTheHeaderAtATrackSelection) {
    VldFile vld = compileHeaderOf(".INITIALIZE 1\n(T1) .INITIALIZE 2\n");
    EXPECT_EQ(toHex(vld.common), "00 01 00 02 FF FF");
    vld = compileHeaderOf(".INITIALIZE 1\n.TRACK 1 { c }\n.INITIALIZE 3\n");
    EXPECT_EQ(toHex(vld.common), "00 01 00 03 FF FF");
    // `.TRACK_FADER` is `.TRACK` followed by `_FADER`.
    expectError(".INITIALIZE 1 .TRACK_FADER 3", "song.vls\t1: Error: illegal partition character.");
}

// A header command in a track line re-enters the header dispatcher, which
// runs until the next track selection and reports anything else.
TEST(HeaderCommands, TrackModeRunsUntilTheNextSelection) {
    ScanText text(".INITIALIZE 2 cdef\ng\n(t2) a");
    TrackRecords trk(kTrackCount);
    headdata hd;
    trk[0].buf.allocate(8192, "test");
    trk[0].buf.putBytes("\x00\x01\xFF\xFF", 4);
    hd.common_end_bytes = 2;
    Pos rest = nullptr;
    compileHeader(trk, text.at(), rest, hd, 1);
    EXPECT_EQ(toHex(trk[0].buf.data(), trk[0].buf.size()), "00 01 00 02 FF FF");
    EXPECT_EQ(trk[0].length, 6);
    EXPECT_EQ(text.offsetOf(rest), 21u);
    EXPECT_EQ(text.errors(),
              "song.vls\t1: Warning: unknown MML.\n.INITIALIZE 2 cdef\n               ^\n"
              "song.vls\t2: Warning: unknown MML.\ng\n ^\n");
}

TEST(KeySignature, ReadsLettersAccidentalsAndModes) {
    const std::tuple<const char*, int, int, char> cases[] = {
        {"C", 0, 0, '\r'},      {"Am", 0, 1, '\r'},     {"Aminor", 0, 1, '\r'}, {"e-m", -6, 1, '\r'},
        {"F#", 6, 0, '\r'},     {"Cmajor", 0, 0, '\r'}, {"B-", -2, 0, '\r'},
        {"{g}", 1, 0, '\r'},    {"{ g }", 1, 0, '\r'},  {"Cx", 0, 255, 'x'},    {"Amajor", 3, 0, '\r'},
        {"d+", 9, 0, '\r'},     {"G]", 1, 0, ']'},
        // A `b` behind the key letter is a flat; the mode may be a word of
        // its own, or `maj` and `min` behind the letters.
        {"Eb", -3, 0, '\r'},    {"Bbm", -5, 1, '\r'},   {"bb", -2, 0, '\r'},    {"Cb", -7, 0, '\r'},
        {"A minor", 0, 1, '\r'}, {"Eb major", -3, 0, '\r'}, {"F# m]", 3, 1, ']'}, {"D\tMINOR", -1, 1, '\r'},
        {"{Ab minor}", -7, 1, '\r'}, {"Cmaj", 0, 0, '\r'}, {"Amin", 0, 1, '\r'}, {"G min/x", -2, 1, '/'},
        // Other words behind a blank are left in the text.
        {"C mixolydian", 0, 0, 'm'}, {"C m7", 0, 0, 'm'}, {"Cx minor", 0, 255, 'x'},
    };
    for (const auto& [source, fifths, mode, next] : cases) {
        ScanText text(source);
        int gotFifths = 99;
        int gotMode = 99;
        Pos end = readKeySignature(text.at(), gotFifths, gotMode);
        EXPECT_EQ(gotFifths, fifths) << source;
        EXPECT_EQ(gotMode, mode) << source;
        EXPECT_EQ(*skipWhite(end), next) << source;
    }
}

TEST(MeterAndKey, ReportFormatErrorsAndResolutionRange) {
    expectError(".METER 3 4", "song.vls\t1: Error: METER: illegal format. ( METER m/n )");
    expectError(".KEY {g x}", "song.vls\t1: Error: KEY: format error.");
    expectError(".GATETIME_RESOLUTION 0", "song.vls\t1: Error: .gatetime_resolution parameter is out of range(8-128).");
    expectError(".GATETIME_RESOLUTION 32768", "song.vls\t1: Error: .gatetime_resolution parameter is out of range(8-128).");
    EXPECT_EQ(streamsOf(".ASSIGN 1 {midi1}\n(t1) [GATETIME_RESOLUTION 40000] q1 c\n"),
              "exit 1: song.vls\t2: Error: .gatetime_resolution parameter is out of range(8-128).");
    expectError(".GATETIME_RESOLUTION", "song.vls\t1: Error: .gatetime_resolution must be followed to its parameter.");
    RunResult result = compileSource(".GATETIME_RESOLUTION 48", {"-w4"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(firstMessage(result), "song.vls\t1: Warning: .gatetime_resolution parameter is out of range(8,16,32,64,128).");
    EXPECT_EQ(compileHeaderOf(".KEY {e-m}").key[0], 0xFA);
}

// The key as musicians spell it, in the header and in a track: the header's
// two key bytes, and the key signature's meta event and accidentals.
TEST(MeterAndKey, KeysSpelledWithFlatsAndModeWords) {
    const std::tuple<const char*, uint8_t, uint8_t> headers[] = {
        {".KEY Eb", 0xFD, 0}, {".KEY A minor", 0, 1}, {".KEY Bb major / the tune", 0xFE, 0},
        {".KEY Am .TEMPO 90", 0, 1}, {".KEY c# min", 4, 1},
    };
    for (const auto& [source, fifths, mode] : headers) {
        VldFile vld = compileHeaderOf(std::string(source) + "\n.ASSIGN 1 {midi1}\n(t1) c\n");
        EXPECT_EQ(vld.key[0], fifths) << source;
        EXPECT_EQ(vld.key[1], mode) << source;
    }
    EXPECT_EQ(compileHeaderOf(".KEY Am .TEMPO 90").tempo, 90);
    expectStreams({
        {"[KEY Eb minor]", "C5 04 02 FA 01 FF FF FF"},
        // e, a and b flat; f stays natural
        {"[K.SIGN Eb] e a b f", "3F 30 30 80 44 30 30 80 46 30 30 80 41 30 30 80 FF FF FF FF"},
        {"[K.SIGN D minor] b", "46 30 30 80 FF FF FF FF"},
    });
}

}  // namespace
