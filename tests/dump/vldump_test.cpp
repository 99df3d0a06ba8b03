// vldump end to end: sources compiled by vlc3 and listed by vldump, compared
// with golden listings; the JSON form; one track; the message and exit code
// of each kind of malformed file; and damaged files that must never crash it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "dump/dump_support.h"
#include "dump/json.h"
#include "dump/vld_listing.h"
#include "format/byte_order.h"

namespace {

using dumptest::compiled;
using dumptest::readText;
using dumptest::runVldump;

// Set VLDUMP_UPDATE_GOLDEN to write the listings anew (then read them through
// before committing them).
TEST(VldumpGolden, ListsCompiledSourcesAsTheReviewedListings) {
    for (const char* name : {"header", "melody", "commands"}) {
        std::filesystem::path dir = VLDUMP_GOLDEN_DIR;
        Bytes file = compiled(readText(dir / (std::string(name) + ".vls")));
        RunResult run = runVldump(file);
        EXPECT_EQ(run.exitCode, 0) << name << "\n" << run.stderrText;
        std::string listing = textOf(run.stdoutBytes);
        std::filesystem::path golden = dir / (std::string(name) + ".txt");
        if (std::getenv("VLDUMP_UPDATE_GOLDEN")) std::ofstream(golden, std::ios::binary) << listing;
        EXPECT_EQ(listing, readText(golden)) << name;
    }
}

TEST(VldumpGolden, ListsEveryExampleSongWithEveryEventNamed) {
    int songs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VLC3_EXAMPLES_DIR)) {
        if (entry.path().extension() != ".vls") continue;
        ++songs;
        vld::Dump dump = dumptest::dumpOf(compiled(readText(entry.path())));
        EXPECT_TRUE(dump.ok()) << entry.path() << ": " << dump.allProblems().front().message;
        for (const vld::Stream& s : dump.streams) {
            for (const vld::Event& e : s.events) EXPECT_TRUE(e.known) << entry.path() << " " << e.hex;
        }
    }
    EXPECT_GT(songs, 0);
}

// One source per event family and what its listing must show ("|" between
// lines). A family whose commands the compiler does not take yet ("not
// supported yet", or a bracket name without its handler, which falls through
// to a portamento group) is left out of the run and reported.
struct FamilyCase {
    const char* source;
    const char* lines;
};

TEST(VldumpRoundTrip, NamesEveryEventFamilyTheCompilerWrites) {
    const FamilyCase cases[] = {
        {"(@1, 1 2 3)\n(V2, 0, 5)\n.INITIALIZE 2\n.CURRENT_MIDI_OUT 3\n",
         "parameter block @ number=1|parameter block V number=2|initialize level=2|midi out interface=3"},
        {".GS_DRUM_SETUP 0, 36 {1,2,3,4,5,6,7,8}\n.GS_PRINT \"HI\"\n.DX_BULK_DUMP 16 1 {1,2}\n",
         "Roland right, Roland right, Roland right, Roland right, Roland right, Roland right, Roland right, "
         "Roland right|message=F0 41 10 45 12 10 00 00 48 49 5F F7 checksum=Roland right|checksum=Yamaha right"},
        {"(t1) c4,,+3 r8 c0 c4^8& d", "note note=C4 step=48 gate=48 velocity=+3|rest step=24 gate=24|"
                                      "zero-length note note=C4 velocity=none|note note=C4 step=72 gate=tie"},
        {"(t1) =31 ?10,-5 H0 M3,2 N1 S8,9 K-2 ~~ \\-10 \"1",
         "switch bit 3 value=2|work area subtract address=10 value=5|lfo sync sync=128 count=1|"
         "arcc mode arcc=1 mode=1|channel change device=MIDI IF 1 channel=-9|arcc waveform arcc=1 waveform=9|"
         "key transpose semitones=-2|relative volume amount=2|fader target=track channel=0|tie mode mode=1"},
        {"(t1) 'ceg',8 (c g)96,12,24 [c g]", "note note=G4 step=32 gate=32 velocity=none|"
                                            "portamento from=C4 to=G4 delay=12 time=24 step=96|bracket portamento"},
        {"(t1) |:3 a |1 b :| |2 c :| |3 d :| |: c | d :| {ccc}4",
         "repeat ending pass=3|repeat skip|note note=C4 step=16 gate=16"},
        {"(t1) [segno] c [d.s.] [tocoda] d [coda] [do] e [loop] [d.c.] [fine] [end] c",
         "segno link=|d.s. reserved=0 link=|to coda reserved=0 link=|coda link=|do kind=1|loop link=0|d.c. kind=0|fine|end"},
        {"(t1) [ARCC1.level 64] [ARCC2.control volume] [ARCC1.deepen on,1,2,3] [ARCC1.speed 1,2] [ARCC1.delay 5]",
         "arcc level arcc=1 mode=1 values=1:64|arcc control arcc=2 values=controller:7|"
         "arcc deepen arcc=1 values=switch:on 1:1 2:2 3:3|arcc speed arcc=1 values=1:2 2:4|arcc delay arcc=1 values=1:5"},
        {"(t1) [ARCC1.sync on,4] [ARCC4.mode normal] [ARCC1.waveform 8] [ARCC1.switch on] [ARCC1.phase reverse] @a 20",
         "arcc sync arcc=1 sync=128 count=4|arcc mode arcc=4 mode=255|arcc waveform arcc=1 waveform=8|"
         "arcc switch arcc=1 switch=2|arcc control arcc=1 values=phase:255|arcc level arcc=1 mode=1 values=1:20"},
        {"(t1) t120 @t19 v16 [@VOLUME 5] P3 [@PANPOT 10] u100 u+10",
         "tempo tempo=120|timer value=19|volume volume=16/16|relative volume amount=5|panpot pan=64|"
         "relative panpot amount=10|velocity velocity=100|relative velocity amount=10"},
        {"(t1) @b100 @b1,,3 @k50 [PITCH 10] [@PITCH -10] @g12 @o @o5 @f3",
         "bend value=100|bend with delay values=1:1 3:3|detune value=50|bend value=10|relative pitch amount=-10|"
         "bend range range=12|noise off|bend range range=133|f value value=3"},
        {"(t1) @h5,6 @s1,2 @m1,2,3 @z100,,90 @z @c1,,3",
         "lfo delay values=1:5|arcc delay arcc=1 values=1:6|lfo speed values=1:2|arcc speed arcc=1 values=1:4|"
         "lfo level mode=255 values=1:1 2:2 3:3|velocity pattern velocities=100 - 90|velocity pattern off|"
         "arcc control arcc=1 values=controller:1 origin:3"},
        {"(t1) @n10 @i65,16,66 i1,2 @1:2,10 y7,100 [NRPN 1,200] x 16,\"AB\" @x 1,2 @e10 [DAMPER 64] @d on",
         "channel change device=MIDI IF 1 channel=0|instrument id maker=65 device=16 model=66|bank select msb=1 lsb=2|"
         "program program=10|control change control=7 value=100|nrpn data=01 48 01 FF|"
         "maker exclusive maker=65 label=\"\" length=3 data=10 41 42|exclusive label=\"\" length=2 message=01 02|"
         "effect sends=reverb:10|damper value=64|damper value=127"},
        {"(t1) w J3 [BAR] [DUMMY] ` @j1 @r rhythm [TRACK_DELAY 200] [COMMENT abc] [EVENT word,string,\"hi\"]",
         "wait|replay track=3|bar|dummy|all sound off|tie mode mode=1|track mode mode=128|track delay length=200|"
         "comment reserved=0 length=3 text=\"abc\"|event text length=7 category=0 class=0 reserved=0 text=\"hi\""},
        {"(t1) [METER 6/8] [KEY G] [GM_SYSTEM_ON]",
         "meter kind=5 length=2 meter=6/8|key kind=4 length=2 key=G major|exclusive label=\"GM_SYSTEM_ON\""},
        {"(t1) [SC88_MODE double]", "instrument id maker=65 device=16 model=66|"
                                    "maker exclusive maker=65 label=\"SC88_MODE\" length=4 data=00 00 7F 01"},
        {"(t1) [TIMBRE_SPLIT on, 0, 1, 60, 79]", "program split entries=on; C4-G5 bank 0 program 1"},
        {"(t1) [AUTO_PORTAMENT on, 1, 2] [AUTO_PORTAMENT.SWITCH on] [BEND.SWITCH on] [TRACK_FADER 100] [EFFECT.CHORUS 4]",
         "auto portamento switch=1 values=1:1 2:2|auto portamento switch=1 values=none|bend switch value=1|"
         "fader target=track channel=0 values=1:100|effect sends=chorus:4"},
        {".ASSIGN 1 {fm1}\n(t1) y15,0 y48,100 y2,300 y3,3 y13,5",
         "noise off|fm channel control value=25 scaled=266|fm control 2 value=300|fm control 3 value=3|"
         "fm control 13 value=5"},
        {".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) [BACK c] w2", "synchronize track-index=2|synchronize track-index=1"},
    };
    for (const FamilyCase& c : cases) {
        RunResult run = compileSource(c.source, {"-W1"});
        ASSERT_EQ(run.exitCode, 0) << c.source << "\n" << stderrWithoutBanner(run);
        vld::Dump dump = dumptest::dumpOf(run.vldBytes);
        EXPECT_TRUE(dump.ok()) << c.source << ": " << dump.allProblems().front().message;
        std::string listing;
        for (const vld::Stream& s : dump.streams) {
            for (const vld::Event& e : s.events) listing += dumptest::oneLine(e) + "\n";
        }
        std::string_view lines = c.lines;
        size_t from = 0;
        while (!lines.empty()) {
            std::string line(lines.substr(0, lines.find('|')));
            lines.remove_prefix(std::min(lines.size(), line.size() + 1));
            size_t at = listing.find(line, from);
            EXPECT_NE(at, std::string::npos) << c.source << ": no \"" << line << "\" in order in\n" << listing;
            if (at != std::string::npos) from = at + line.size();
        }
    }
}

TEST(VldumpJson, CarriesTheListingForScripts) {
    Bytes file = compiled(".COMMENT {say \"hi\"}\n.TEMPO 90\n.GS_RESET\n(t1) o4 c4,,+3 c0 d\n");
    RunResult run = runVldump(file, {"--json"});
    ASSERT_EQ(run.exitCode, 0) << run.stderrText;
    std::string json = textOf(run.stdoutBytes);
    EXPECT_TRUE(dumptest::JsonSyntax::valid(json)) << json;
    for (const char* part : {
             R"("ok":true)", R"("tempo":90)", R"("comment":"say \"hi\"")",
             R"("name":"exclusive")", R"("checksum":[{"maker":"Roland","verdict":"right","expected":65)",
             R"("offset":0,"size":4,"code":60,"name":"note","known":true,"clock":0,"position":"1:1:00","bytes":"3C 30 30 C3")",
             R"("velocity":{"kind":"relative","value":3})", R"("name":"zero-length note")",
         }) {
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
    }
}

TEST(VldumpJson, StaysValidForTextWithAnyBytes) {
    Bytes file = compiled(".COMMENT {\x82\xA0\t\x01 \\ \"}\n.ASSIGN 1 {midi1, 128, 1, play, normal, \x93\xFA}\n(t1) c\n");
    std::string json = vld::listingJson(dumptest::dumpOf(file), {});
    EXPECT_TRUE(dumptest::JsonSyntax::valid(json)) << json;
    EXPECT_NE(json.find("\"comment\":\"\xC2\x82\xC2\xA0\\u0009\\u0001 \\\\ \\\"\""), std::string::npos) << json;
}

TEST(VldumpOptions, ListsOneTrackAndRefusesWhatItCannotDo) {
    Bytes file = compiled(".ASSIGN 1 {midi1}\n.ASSIGN 2 {midi2}\n(t1) c\n(t2) d e\n");
    RunResult one = runVldump(file, {"-t", "2"});
    EXPECT_EQ(one.exitCode, 0);
    std::string listing = textOf(one.stdoutBytes);
    EXPECT_EQ(listing.find("track 1:"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("header"), std::string::npos) << listing;
    EXPECT_NE(listing.find("track 2: 12 bytes"), std::string::npos) << listing;
    EXPECT_NE(listing.find("note=E4"), std::string::npos) << listing;

    RunResult common = runVldump(file, {"-t0", "--json"});
    EXPECT_EQ(common.exitCode, 0);
    EXPECT_NE(textOf(common.stdoutBytes).find(R"("streams":[{"stream":"common")"), std::string::npos);

    // Asking for a track the file does not have is the user's mistake, not the file's.
    RunResult missing = runVldump(file, {"-t", "3"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.stderrText, "vldump: song.VLD: there is no track 3; the file has 2 track(s)\n");
    EXPECT_TRUE(missing.stdoutBytes.empty());
    EXPECT_EQ(runVldump(file, {"-x"}).exitCode, 2);
    EXPECT_EQ(runVldump(file, {"-t", "-1"}).exitCode, 2);
    TempDir dir;
    RunResult absent = runProgramIn(dir, VLDUMP_BINARY, {"none.VLD"});
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_EQ(absent.stderrText, "vldump: none.VLD: cannot read the file\n");
}

// The usage and the version are asked for: standard output, exit code 0.
TEST(VldumpOptions, HelpAndVersion) {
    TempDir dir;
    for (const char* option : {"--help", "-h"}) {
        RunResult help = runProgramIn(dir, VLDUMP_BINARY, {option});
        EXPECT_EQ(help.exitCode, 0) << option;
        EXPECT_EQ(help.stderrText, "") << option;
        EXPECT_TRUE(textOf(help.stdoutBytes).starts_with("usage: vldump [-t N] [--json] file.VLD\n")) << option;
    }
    RunResult version = runProgramIn(dir, VLDUMP_BINARY, {"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.stderrText, "");
    EXPECT_EQ(textOf(version.stdoutBytes), "vldump 1.0 (vlc3 project)\n");
}

// A compiled file of one track holding "c d", whose stream is
// 3C 30 30 80 3E 30 30 80 FF FF FF FF; `tail` is the offset of its end code.
struct Damage {
    const char* what;
    void (*apply)(Bytes& file, size_t table, size_t tail);
    const char* message;
};

TEST(VldumpMalformed, NamesTheOffsetOfEachFaultAndExitsWith1) {
    const Bytes good = compiled(".COMMENT {x}\n(t1) c d\n");
    ASSERT_EQ(runVldump(good).exitCode, 0);
    const size_t table = 16 + getBE32(good.data() + 12);
    const size_t tail = good.size() - 4;
    const Damage cases[] = {
        {"magic", [](Bytes& f, size_t, size_t) { f[3] = 'l'; },
         "offset 0x0000: bad magic: the file does not begin with 1A \"VeLtRa0\" (it begins 1A 56 65 6C 74 52 61 30)"},
        {"short", [](Bytes& f, size_t, size_t) { f.resize(79); },
         "offset 0x0000: the file has 79 bytes, too few for the 80-byte header"},
        {"table pointer", [](Bytes& f, size_t, size_t) { putBE32(f.data() + 12, 0x1000); },
         "offset 0x000C: track table pointer 0x00001000 leads past the end of the file"},
        {"comment pointer", [](Bytes& f, size_t, size_t) { putBE32(f.data() + 36, 0x7FFFFFF0); },
         "offset 0x0024: comment pointer 0x7FFFFFF0 leads past the end of the file"},
        {"event pointer", [](Bytes& f, size_t t, size_t) { putBE32(f.data() + t + 2 + 8, 0x200); },
         "event data pointer 0x00000200 leads past the end of the file"},
        {"track count", [](Bytes& f, size_t, size_t) { f[74] = 2; },
         "the track table counts 1 track(s), the header 2"},
        {"separator", [](Bytes& f, size_t t, size_t) { f[t + 18] = 0; }, "the separator 2F 2F is missing"},
        {"no end code", [](Bytes& f, size_t, size_t at) { std::fill(f.begin() + at, f.end(), 0xFA); },
         "track 1 at stream offset 000C: the stream ends without its end code 0xFF"},
        {"truncated", [](Bytes& f, size_t, size_t at) { std::copy_n(hex("CD 00 01 00").begin(), 4, f.begin() + at); },
         "track 1 at stream offset 0008: truncated event 0xCD (repeat start): the stream ends 3 byte(s) after its code"},
        {"unknown", [](Bytes& f, size_t, size_t at) { f[at] = 0x8F; },
         "track 1 at stream offset 0008: unknown event code 0x8F; the rest of the stream is not listed"},
    };
    for (const Damage& c : cases) {
        Bytes file = good;
        c.apply(file, table, tail);
        RunResult run = runVldump(file);
        EXPECT_EQ(run.exitCode, 1) << c.what;
        EXPECT_NE(run.stderrText.find("vldump: song.VLD: offset 0x"), std::string::npos) << run.stderrText;
        EXPECT_NE(run.stderrText.find(c.message), std::string::npos) << c.what << ": " << run.stderrText;
    }
}

TEST(VldumpMalformed, WrongChecksumsAreReportedButTheFileStaysValid) {
    Bytes file = compiled(".GS_RESET\n.YAMAHA_EXCLUSIVE 16 127 1,bulk {0,0,0,1,2}\n");
    std::string listing = textOf(runVldump(file).stdoutBytes);
    EXPECT_NE(listing.find("message=F0 41 10 42 12 40 00 7F 00 41 F7 checksum=Roland right"), std::string::npos) << listing;
    EXPECT_NE(listing.find("checksum=Yamaha right"), std::string::npos) << listing;
    const Bytes tail = hex("00 41 F7");
    auto checksum = std::search(file.begin(), file.end(), tail.begin(), tail.end());
    ASSERT_NE(checksum, file.end());
    checksum[1] = 0x40;
    RunResult run = runVldump(file);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(textOf(run.stdoutBytes).find("checksum=Roland wrong (should be 0x41)"), std::string::npos);
}

// Every prefix of a compiled file and many bit-flipped copies go through the
// dumper and both listings; the sanitizer build turns any stray read into a
// failure. Whatever the damage, the JSON stays parseable and a problem-free
// dump lists every stream it was given.
TEST(VldumpFuzz, SurvivesTruncatedAndBitFlippedFiles) {
    const Bytes good = compiled(
        ".COMMENT {fuzz}\n.GS_RESET\n.WAVE_FORM 1, 1shot, 0, , 1 = {1,2,3}\n"
        ".ASSIGN 1 {midi1, 128, 1, play, normal, one}\n.ASSIGN 2 {fm1}\n"
        "(t1) o4 c d,,+3 e^8& f*300,*200,-60 u100 u+10 ?1,-2 ?1,2 H0 S8,9\n"
        "(t2) c0 r4 =31 K-2 \\-10 N1 ~~ M3,2\n");
    auto exercise = [](const Bytes& file) {
        vld::Dump dump = dumptest::dumpOf(file);
        std::string json = vld::listingJson(dump, {});
        ASSERT_TRUE(dumptest::JsonSyntax::valid(json)) << toHex(file);
        EXPECT_FALSE(vld::listingText(dump, {}).empty());
        if (dump.ok()) {
            EXPECT_EQ(dump.streams.size(), dump.tracks.size() + 1);
        }
    };
    for (size_t size = 0; size <= good.size(); ++size) exercise(Bytes(good.begin(), good.begin() + size));
    uint32_t state = 12345;
    auto next = [&state] { return (state = state * 22695477u + 1u) >> 8; };
    for (int round = 0; round < 3000; ++round) {
        Bytes file = good;
        for (int flips = 1 + next() % 3; flips > 0; --flips) file[next() % file.size()] ^= 1u << (next() % 8);
        exercise(file);
    }
}

}  // namespace
