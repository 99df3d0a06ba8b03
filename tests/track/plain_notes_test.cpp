// The one-pass reader of plain notes against the full note readers: on every
// text it takes, it must give the full readers' note number, step, whether a
// length was given (which fixes a chord's step) and end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "header/header.h"
#include "records/trkinf.h"
#include "scan/scan_fixture.h"
#include "scan/scanner.h"
#include "track/notes.h"

namespace {

struct FullReading {
    bool plain = false;  // nothing behind the length continues the note
    int number = 0;
    int step = 0;
    bool lengthGiven = false;
    size_t end = 0;
};

// What the full readers make of the note at the start of the text; they may
// end the run on a bad note, which the plain reader must then have refused.
FullReading readFully(const ScanText& text, trkinf info, const headdata& hd) {
    FullReading out;
    int number = 0;
    Pos p = readNoteNumber(text.at(), info, number);
    if (isOctaveMark(*p)) return out;
    uint16_t length = 0;
    int kind = 0;
    p = getLength(p, length, info.default_length, kind, hd);
    Pos next = skipBlanks(p);
    if (isOctaveMark(*p) || *next == ',' || *next == '^' || *next == '&') return out;
    return {true, number, length, kind != kLengthDefault, text.offsetOf(next)};
}

// Every text of a letter and up to three pieces behind it.
std::vector<std::string> noteTexts() {
    const std::vector<std::string> pieces = {"+", "#",  "-", "!", " ", "\t", "8",  "16", "0",     ".",  "/ c\n",
                                             "\n", "<", "o", ",", "^", "&",  "d",  "$",  "*",     "\x81\x40"};
    std::vector<std::string> texts;
    for (const char* letter : {"c", "B"}) {
        texts.push_back(letter);
        for (const std::string& a : pieces) {
            texts.push_back(letter + a);
            for (const std::string& b : pieces) {
                texts.push_back(letter + a + b);
                for (const std::string& c : pieces) texts.push_back(letter + a + b + c);
            }
        }
    }
    return texts;
}

TEST(PlainNotes, GiveWhatTheFullReadersGive) {
    headdata hd;
    struct State {
        int octave;
        int keyShift;  // added to every pitch class by the key signature
        int defaultLength;
    };
    const State states[] = {{4, 0, 48}, {9, 0, 24}, {-1, -1, 36}, {5, 1, 0}};
    int taken = 0;
    for (const State& state : states) {
        trkinf info;
        initTrkInf(info, hd);
        info.octave = static_cast<int8_t>(state.octave);
        for (auto& shift : info.key_signature) shift = static_cast<int8_t>(state.keyShift);
        info.default_length = static_cast<uint16_t>(state.defaultLength);
        for (const std::string& mml : noteTexts()) {
            ScanText text(mml + " r");
            PlainNote plain;
            if (!readPlainNote(text.at().bytes(), info, hd, plain)) continue;
            ++taken;
            FullReading full;
            int code = exitCodeOf([&] { full = readFully(text, info, hd); });
            ASSERT_EQ(code, -1) << "the full readers refuse \"" << mml << "\"";
            ASSERT_TRUE(full.plain) << "more follows \"" << mml << "\"";
            EXPECT_EQ(plain.number, full.number) << mml;
            EXPECT_EQ(plain.step, full.step) << mml;
            EXPECT_EQ(plain.lengthGiven, full.lengthGiven) << mml;
            EXPECT_EQ(text.offsetOf(text.at() + (plain.end - text.at().bytes())), full.end) << mml;
        }
    }
    // The common shapes are taken, not only refused.
    EXPECT_GT(taken, 1000);
}

TEST(PlainNotes, TakeTheCommonShapesOnly) {
    headdata hd;
    trkinf info;
    initTrkInf(info, hd);
    struct Case {
        const char* mml;
        bool plain;
    };
    const Case cases[] = {
        {"c8 d", true},   {"c+8.d", true},  {"c\n", false},   {"c8\n", true},   {"c8,4", false},
        {"c8 ^8", false}, {"c8 &", false},  {"c8<", false},   {"c<8", false},   {"c !", false},
        {"c 8", false},   {"c$8", false},   {"c8 / x\n", false}, {"c d", true}, {"c8. . d", true},
    };
    for (const Case& c : cases) {
        ScanText text(c.mml);
        PlainNote plain;
        EXPECT_EQ(readPlainNote(text.at().bytes(), info, hd, plain), c.plain) << c.mml;
    }
}

}  // namespace
