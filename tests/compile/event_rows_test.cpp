// The writer and the reader of the event table agree: every event the
// compiler begins is read back by the decoder as the same row, and a write
// that strays from its row's operand layout stops the run. The rows are
// recorded by the checked builds the tests run in.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "compile/compile.h"
#include "format/event_buffer.h"
#include "format/event_table.h"
#include "dump/event_decoder.h"
#include "scan/scan_fixture.h"

namespace {

using vld::kEventTable;

#ifdef VLC3_CHECK_EVENTS

// Track lines from the stream tables of the command tests, each compiled on
// a MIDI track.
const char* const kTrackLines[] = {
    "@c1,,3",
    "@C1,2,3",
    "@z",
    "@z,",
    "u120 @z+10",
    "u10 @z-20,+5,,100,-200",
    "@z1,2,3,4,5,6,7,8",
    "@n10",
    "@n9",
    "@n34",
    "@n3 @n26 @n50",
    "@m",
    "@m100",
    "@m10,+5,,-3",
    "@h,5",
    "@H1,2",
    "@s3 @s,2",
    "@f7 @o @o5",
    "@l96 c",
    "@u100",
    "@q4 c",
    "@5",
    "@1:2,10",
    "@128,1",
    "@1:,3",
    "@ 7 c",
    "[tempo 120] [Tempo 120] [TEMPO120]",
    "[TEMPO 120]c",
    "[BENDER4",
    "[VELOCITY 100] [@VELOCITY 5] [velocity.offset 10] u100",
    "[VELOCITY.REVISE 0,2] c4",
    "[ce]",
    "[VIBRATO c d]",
    "[METER 3/4] [KEY Am]",
    "[GATETIME_RESOLUTION 16] c",
    "[GM_SYSTEM_ON]",
    "[XG_SYSTEM_ON 17]",
    "i1,2",
    "i,5",
    "I",
    "[TIMBRE_BANK 3] [PROGRAM_BANK ,4]",
    "[PROGRAM 5] [TIMBRE 1:2,10]",
    "[PROGRAM_SPLIT on, 1:2,5,c,>c, 3,7,o5d] c",
    "[TIMBRE_SPLIT on,60,1,40,50]",
    "[PROGRAM_SPLIT off] [TIMBRE_SPLIT]",
    "@b100",
    "@b",
    "@b1,,3",
    "@k-1 [BEND 5]",
    "@k1,2,3,4",
    "[BEND.SWITCH on] [BEND.SWITCH 0] [BEND.SWITCH]",
    "[PITCH 300] [@PITCH -2] [PITCH]",
    "@g12 [BEND.RANGE 2]",
    "[AUTO_PORTAMENT on, 10, 20]",
    "[AUTO_PORTAMENT] [AUTO_PORTAMENT off,,5]",
    "[AUTO_PORTAMENT.SWITCH on] [AUTO_PORTAMENT.SWITCH]",
    "v16",
    "@v127 [VOLUME 100]",
    "[@VOLUME 5] @v+5",
    "v-3",
    "P3",
    "P1 P2",
    "@p+10 [@PANPOT 10] [PANPOT 64]",
    "t120",
    "t+5",
    "@t19",
    "[@TEMPO 3] [TIMER -3] [TEMPO 300]",
    "@d @d on @d5",
    "[DAMPER 64] [DAMPER on] [DAMPER off]",
    "@1 @65536",
    "@255:255,1 @16383,2",
    "[TIMBRE_SPLIT on,511:127,65536,40,50]",
    "[TIMBRE_SPLIT on,1,,40,50]",
    "@t65535 [TIMER 0]",
    "t+32767 [@TEMPO -32768] @t-32768",
    "v+127 [@VOLUME -128]",
    "@p+127 [@PANPOT -128]",
    "@g0 [BEND.RANGE 255]",
    "y7,100 [CONTROL 10, 64]",
    "y15,0",
    "y15,3",
    "y2,1000",
    "y3,7 y13,9 y14,3",
    "y48,100",
    "y48,2147483647",
    "y48,-2147483648",
    "y49,100 y20,5",
    "[NRPN 1,2,3]",
    "[NRPN 1,200]",
    "@y1,2,3,4",
    "x 16,\"AB\"",
    "@x$B0,7,100",
    "[MIDI_DATA 1 2] [ROLAND_EXCLUSIVE]",
    "[YAMAHA_EXCLUSIVE 300]",
    "x 1 c4",
    "[TRACK_FADER 100]",
    "[TRACK_FADER 1000,2,3 ]",
    "[CH_FADER midi2, 100]",
    "[CH_FADER all, ,5]",
    "[EFFECT.CHORUS 40]",
    "@e10,,30",
    "[EFFECT 1,2,3,4,5] [EFFECT  7 ]",
    "@i65,16,66 [INSTRUMENT_ID 1,2,3 ]",
    "@i1,2,3 [SC88_MODE single]",
    "z100",
    "Z100 z+10",
    "z-200",
    "z100,,",
    "z90,80 z+5",
    "z90,80,,, z, z+1",
    "z90,80 z:0",
    "q6 c4",
    "q*-10 c4 c16",
    "q*20 c4",
    "q-2 c4",
    "q6,4 c4 c4 c4",
    "z100,80 c c c",
    "z100,,50 c c c",
    "z100,80 z, c",
    "z100,80 =16 c =0 c",
    "[segno] c [d.s.]",
    "[$][$][d.s.]",
    "[tocoda] c [coda]",
    "[*] [coda]",
    "[d.c.][fine][^][end]",
    "[do] c [loop]",
    "{c [segno] d}4 [d.s.]",
    "[segno] {c d [d.s.]}4",
    "{[tocoda] c}4 [coda]",
    "w",
    "[SYNCHRONIZE 1]",
    "J3",
    "[REPLAY 70]",
    "[BAR] [MEASURE] [-] [bar 12]",
    "[DUMMY] ` [ALL_SOUND_OFF]",
    "[TIE_MODE enhanced] [TIE_MODE 2]",
    "@j @j special [TIE_MODE normal]",
    "[TRACK_MODE 5] @r rhythm",
    "@r normal @r",
    "[TRACK_DELAY 200]",
    "@w4 @w",
    "[ECHO 8,-10,0] [ECHO 16] c4",
    "[ECHO 8] c4",
    "[K.SIGN + f c] f c",
    "[K.SIGN ++f] f",
    "[K.SIGN D] f c g",
    "[KEY_SIGNATURE B-] b e a",
    "[K.SIGN D] [K.SIGN] f",
    "[K.SIGN D -c] c f",
    "[K.SIGN +f-b,e] f b e",
    "[K.SIGN B#] c b",
    "[COMMENT abc]",
    "[COMMENT a/b]",
    "[EVENT word,string,\"hi\"]",
    "[EVENT sound,adpcm,\"s\"]",
    "[EVENT 0, 1, hi]",
    "[ARCC1.level 64]",
    "[ARCC2.level on,10,,30]",
    "[ARCC1.depth 1/8, 5]",
    "[ARCC1.level 1,2]",
    "[ARCC1.level 200,-200]",
    "@a",
    "@a 20",
    "@a 1,2",
    "[ARCC2.control volume]",
    "[ARCC2.control 93]",
    "[ARCC1.origin 64]",
    "[ARCC1.reset 5]",
    "[ARCC1.phase reverse]",
    "[ARCC3.phase normal]",
    "[ARCC1.waveform 8]",
    "[ARCC1.waveform triangle]",
    "[ARCC1.switch on]",
    "[ARCC1.switch 1/8]",
    "[ARCC1.sync on,4]",
    "[ARCC1.sync 3]",
    "[ARCC4.mode normal]",
    "[ARCC4.mode special]",
    "[ARCC3.offset -10][ARCC3.level 0]",
    "[ARCC1.offset 100][ARCC1.level 100]",
    "'ceg'",
    "\"ceg\"",
    "'ceg',8",
    "'ceg', *8",
    "'ceg'96",
    "'ceg'*96",
    "'ceg'4",
    "'c4e4'",
    "'c8^8 e4'",
    "'c4,*40 e g'",
    "'ceg',-8",
    "'ce',8 'ce'",
    "'ce'^4",
    "'c,,100 e,,+5 g,,-2'",
    "'<c >c' c",
    "'ceg',25",
    "'ceg',30",
    "'c4,*30 e g',20",
    "'ceg'& 'cfa'",
    "'ceg'& 'cfa'& 'c'",
    "'ceg'& 'cfa'& c",
    "'ce'& c 'ce'",
    "'c1e1'& 'c8e8'& 'c'",
    "(c g)",
    "(c g)96,12,24",
    "(c g)96,12,24 (d a)",
    "(c g)*200",
    "(c4 g)",
    "(c g)&",
    "(c,,100 g)",
    "(c g,,+5)",
    "(c,,200 g)",
    "(c <g) c",
    "[c g]",
    "c4",
    "c4.",
    "c4..",
    "c*50",
    "c5",
    "c4^8",
    "c4 ^ 8 ^",
    "c",
    "l8 c",
    "l8. c l c",
    "c*127",
    "c*128",
    "c*300",
    "c*40000",
    "c4&",
    "c4 &",
    "c0",
    "c4,8",
    "c4,*7",
    "c4^8,16",
    "r4",
    "r4,8",
    "r4,,100",
    "R8^8",
    "c4 d4",
    "o4c",
    "o-1c",
    "o4b+",
    "o4b #",
    "c-",
    "c!",
    "C D E F G A B",
    "<c >>c",
    "c<d",
    "o9g",
    "c4,,100",
    "c4,,+5",
    "c4,,-5",
    "c4,,200",
    "u100",
    "u100 u",
    "u+10",
    "u-3",
    "u200",
    "cdef\n",
    ".ASSIGN 1 {midi1}\n(t1,1,1) c\n",
    ".ASSIGN 1 {midi1}\n(t1) c (t 1 , 1) d\n",
    "\"1 \"0 \"-3",
    "=",
    "=31",
    "=5",
    "?10,+5 ?10,-5 ?10,5",
    "H0",
    "H1,0",
    "h,7",
    "M3",
    "m3, 1",
    "M S8",
    "K-3 k127",
    "N1 n32",
    "S8",
    "S7,100",
    "\\-10",
    "\\",
    "\\200",
    "~~~",
    "~2~",
    "~2~ _",
    "~2 ~3~ ~",
    "_5_",
    "N1",
    "N16",
    "N17",
    "N25",
    "N26",
    "N32",
    "{ccc}4",
    "{cdefg}4",
    "{c'eg'}4",
    "{c d}4&",
    "{c d}4 &",
    "{cd}*400",
    "{ccc}4^4",
    "l8 {ccc}",
    "{c r d}4",
    "{(c g) d}4",
    "{c0 d}4",
    "q4 {c d}4",
    "{cd}4 e",
    "{'ceg'd}*49",
    "{c'eg',8}4",
    "{c 'ceg'&}4 'ceg'",
    "{'ceg'& 'ceg'}4",
    "{c |: d :| e}4",
    "|:2 {c | d}4 :|",
    ".ASSIGN 1 {midi1}\n.track 1 {\nc d\n}\n",
    ".ASSIGN 1 {midi1}\n.track 1 { {cd}4 }\n(t1) e\n"
};

// Whole sources for the events of the header, the FM chip and the ARCC blocks.
const char* const kSources[] = {
    ".INITIALIZE 1\n.CURRENT_MIDI_OUT 2\n(V3, 0, 1, 2)\n.WAVE_FORM 1, repeat, 0, , 2, wave = {1,2,3}\n",
    "(D1)\n.ASSIGN 1 {midi1}\n(t1) [!] [@] c4\n",
    ".ASSIGN 1 {fm1}\n(t1) y15,0 y48,100 y2,300 y3,3 y13,5 y14,1 c4\n",
    ".ASSIGN 1 {midi1}\n(t1) [ARCC1.level 64] [ARCC1.deepen on,1,2,3] [ARCC1.delay 5] [!] [@] c4\n",
};

std::set<std::string> rowNames(const EventBuffer::RowSet& rows) {
    std::set<std::string> names;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i]) names.insert(std::string(kEventTable[i].name) + " " + std::string(kEventTable[i].layout));
    return names;
}

struct Compiled {
    bool ok = false;
    TrackRecords trk{kTrackCount};
    headdata hd;
};

// Compiles in process, as the program does, with the messages kept aside.
void compileInProcess(const std::string& text, Compiled& out) {
    FILE* messages = std::tmpfile();
    MessageSettings settings;
    settings.source_name = "song.vls";
    settings.stream = messages;
    SourceText source(text.begin(), text.end());
    source.insert(source.end(), {'\r', '\n', 255, 255, 255, 255});
    try {
        CompiledSong song = makevld(std::move(source), settings);
        out.trk = std::move(song.tracks);
        out.hd = song.header;
        out.ok = true;
    } catch (const VlcExit&) {
        out.ok = false;
    }
    std::fclose(messages);
}

// Each stream's rows as written and as the decoder reads them; the rows
// every stream wrote are added to `written`.
void expectReaderAgrees(const std::string& name, const Compiled& c, EventBuffer::RowSet& written) {
    int tracks = 0;
    forEachListedTrack(c.hd, [&](int) { ++tracks; });
    auto compare = [&](const EventBuffer& buf, int order, uint16_t device) {
        if (buf.empty() || buf.rawBytesWritten()) return;
        vld::StreamInput input;
        input.bytes = buf.data();
        input.length = static_cast<uint32_t>(buf.size());
        input.order = order;
        input.track_count = tracks;
        input.device = device;
        vld::StreamReadings readings = vld::chooseReadings(input);
        EventBuffer::RowSet read;
        for (uint8_t r : readings.row_at)
            if (r) read.set(r - 1);
        EXPECT_TRUE(readings.complete) << name << " stream " << order;
        EXPECT_EQ(rowNames(buf.rowsBegun()), rowNames(read)) << name << " stream " << order;
        written |= buf.rowsBegun();
    };
    compare(c.trk[0].buf, 0, 0xFFFF);
    forEachListedTrack(c.hd, [&](int t) { compare(c.trk[t].buf, t, c.trk[t].device); });
}

TEST(EventRows, TheDecoderReadsEveryWrittenEventAsTheRowItWasWrittenBy) {
    EventBuffer::RowSet written;
    int compiled = 0;
    for (const char* line : kTrackLines) {
        Compiled c;
        compileInProcess(".ASSIGN 1 {midi1}\n(t1) " + std::string(line) + "\n", c);
        if (!c.ok) continue;
        ++compiled;
        expectReaderAgrees(line, c, written);
    }
    for (const char* text : kSources) {
        Compiled c;
        compileInProcess(text, c);
        EXPECT_TRUE(c.ok) << text;
        expectReaderAgrees(text, c, written);
    }
    for (const auto& entry : std::filesystem::recursive_directory_iterator(VLC3_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".vls") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::filesystem::path here = std::filesystem::current_path();
        std::filesystem::current_path(entry.path().parent_path());
        Compiled c;
        compileInProcess(text, c);
        std::filesystem::current_path(here);
        EXPECT_TRUE(c.ok) << entry.path();
        expectReaderAgrees(entry.path().filename().string(), c, written);
    }
    EXPECT_GT(compiled, 200);
    // Every row is written by some source but the general meta event, which
    // the compiler never writes (its key and meter have rows of their own).
    EXPECT_EQ(rowNames(~written), (std::set<std::string>{"meta u8:kind frame8:length rest.hex:data"}));
}

// Writes that stray from the layout stop the run with a message naming the
// event; the same writes in the layout's order pass.
TEST(EventRowsDeathTest, AWriteThatStraysFromTheLayoutStopsTheRun) {
    struct Case {
        const char* what;
        void (*write)(EventBuffer&);
        const char* message;
    };
    const Case cases[] = {
        {"a word for a byte", [](EventBuffer& b) { b.begin(vld::eventNamed("volume")); b.putBE16(100); },
         "an operand of the wrong width \\(volume"},
        {"an operand too many", [](EventBuffer& b) { b.begin(vld::eventNamed("panpot")); b.put(64); b.put(1); },
         "an operand beyond the event's layout \\(panpot"},
        {"an event cut short",
         [](EventBuffer& b) {
             b.begin(vld::eventNamed("control change"));
             b.put(7);
             b.begin(vld::eventNamed("bar"));
         },
         "an event ended before its operands \\(control change"},
        {"a byte for a long word", [](EventBuffer& b) { b.begin(vld::eventNamed("loop")); b.put(0); },
         "an operand of the wrong width \\(loop"},
        {"padding inside an event", [](EventBuffer& b) { b.begin(vld::eventNamed("rest")); b.pad(vld::kEndCode); },
         "padding inside an event \\(rest"},
        {"a note number above 127", [](EventBuffer& b) { b.beginNote(0x90); }, "a code outside its row"},
        {"a portamento delay its note does not announce",
         [](EventBuffer& b) {
             b.begin(vld::eventNamed("portamento"));
             b.put(60);
             b.put(62);
             b.putDuration(48);
             b.putDuration(48);
             b.put(0x80);
             b.put(0x80);
         },
         "an operand beyond the event's layout \\(portamento"},
    };
    for (const Case& c : cases) {
        EXPECT_DEATH(
            {
                EventBuffer buf;
                c.write(buf);
                buf.begin(vld::eventNamed("end"));
            },
            c.message)
            << c.what;
    }
}

TEST(EventRows, WritesInTheLayoutsOrderPass) {
    EventBuffer buf;
    buf.begin(vld::eventNamed("portamento"));
    buf.put(60 + 0x80);  // a delay follows
    buf.put(62);
    buf.putDuration(12);
    buf.putDuration(48);
    buf.putBE16(0x8000 | 48);  // a tuplet's fixed word
    buf.put(0x80);
    buf.begin(vld::eventNamed("arcc delay", vld::kTrackStream, vld::Pick::wordPresence));
    buf.put(0);
    buf.putBE16(1);
    buf.putBE16(20);
    buf.putRaw(0x93);  // the source's own bytes: not followed
    buf.put(1);
    buf.put(2);
    buf.begin(vld::eventNamed("end"));
    buf.pad(vld::kEndCode);
    EXPECT_EQ(buf.size(), 19u);
    EXPECT_TRUE(buf.rawBytesWritten());
}

#endif

// Names resolve at compile time to the row a listing shows under them.
static_assert(vld::eventNamed("note").code == 0x00);
static_assert(vld::eventNamed("initialize", vld::kCommonStream).code == 0x00);
static_assert(vld::eventNamed("comment").code == 0xD2);
static_assert(vld::eventNamed("comment", vld::kCommonStream).code == 0x40);
static_assert(vld::eventNamed("end", vld::kCommonStream).row == vld::eventNamed("end").row);

TEST(EventRows, EveryRowButTheTwinsAnswersToItsNameAlone) {
    // A name two rows of one stream share needs the pick as well: only the
    // two readings of the ARCC delay do.
    std::set<std::pair<std::string, int>> twins;
    for (const vld::EventRow& row : kEventTable)
        for (const vld::EventRow& other : kEventTable)
            for (uint8_t stream : {vld::kTrackStream, vld::kCommonStream})
                if (&row < &other && row.name == other.name && (row.streams & other.streams & stream))
                    twins.insert({std::string(row.name), stream});
    EXPECT_EQ(twins, (std::set<std::pair<std::string, int>>{{"arcc delay", vld::kTrackStream}}));
}

}  // namespace
