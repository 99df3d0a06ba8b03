// The header dispatcher: dot-commands, the parenthesised header forms and the
// small commands, up to the first line that belongs to the tracks.
#include <cstring>
#include <ctime>

#include "header/dot_commands.h"

#include "base/random.h"
#include "header/assign.h"
#include "header/dot_command_table.h"
#include "header/exclusive.h"
#include "header/meter_key.h"
#include "header/module_setup.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"

namespace {

// The two forms of a parameter block, `(@n ...)` and `(Vn ...)`.
constexpr vld::EventName kParameterBlockAt = vld::eventNamed("parameter block @", vld::kCommonStream);
constexpr vld::EventName kParameterBlockV = vld::eventNamed("parameter block V", vld::kCommonStream);

// The parameter image that `(@` and `(V` fill: zero but for bytes 46 and 47.
constexpr uint8_t kDefaultParameterBlock[55] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 15, 3, 0, 0, 0, 0, 0, 0, 0,
};

enum class Done { Scanning, EndOfText, TrackSelection, FirstMml };

struct HeaderRun {
    TrackRecords& trk;
    headdata& hd;
    int trackMode;
    Done done = Done::Scanning;
    Pos resume = nullptr;

    EventBuffer& common() { return trk[0].buf; }
};

// The common stream ends with 0xFF, and one more when that leaves its length
// odd.
void closeCommonStream(HeaderRun& run) {
    size_t before = run.common().size();
    run.common().begin(vld::eventNamed("end", vld::kCommonStream));
    if (run.common().size() % 2) run.common().pad(vld::kEndCode);
    run.hd.common_end_bytes = static_cast<uint8_t>(run.common().size() - before);
}

// A header run re-entered from the track lines appends behind the events that
// are already there, not behind the end code, which would hide them from the
// player; the end code is written again when the run ends.
void reopenCommonStream(HeaderRun& run) {
    run.common().truncate(run.common().size() - run.hd.common_end_bytes);
    run.hd.common_end_bytes = 0;
}

// A number, or "SYNTAX ERROR" where the reading stopped.
Pos numberOrSyntaxError(Pos p, int32_t& value) {
    int status = 0;
    p = getNumber(p, value, status);
    if (status != kNumberRead) sourceError("SYNTAX ERROR", p);
    return p;
}

Pos skipPastClosingParen(Pos p) { return skipToRequired(p, ")") + 1; }

Pos expectClosingParen(Pos p) {
    p = skipBlanks(p);
    if (*p != ')') sourceError("SYNTAX ERROR", p);
    return p + 1;
}

// ---- small dot-commands ---------------------------------------------------

// The header keeps the tempo and the time base in 16 bits: a value outside
// them would be stored as another.
Pos tempoCommand(Pos p, headdata& hd) {
    int32_t n = 0;
    p = numberOrSyntaxError(p, n);
    if (n < 0 || n > 0xFFFF) sourceError(".tempo parameter is out of range(0 - 65535).", p);
    hd.tempo = static_cast<int16_t>(n);
    return p;
}

Pos masterClockCommand(Pos p, headdata& hd) {
    int32_t n = 0;
    p = numberOrSyntaxError(p, n);
    if (n < 0 || n > 0xFFFF) sourceError(".master_clock parameter is out of range(0 - 65535).", p);
    hd.whole_note_clocks = n;
    return p;
}

Pos initializeCommand(Pos p, HeaderRun& run) {
    int32_t n = 0;
    int status = 0;
    p = getNumber(p, n, status);
    if (n < 0 || n > 0xFF) sourceError(".initialize parameter is out of range(0 - 255).", p);
    if (status == kNumberRead && n > 2) vlserror("V3-vls is not supported in vlc2.", p, 3, 1);
    run.common().begin(vld::eventNamed("initialize", vld::kCommonStream));
    run.common().put(static_cast<unsigned>(n));
    run.hd.flags |= kFlagInitialize;
    return p;
}

Pos currentMidiOutCommand(Pos p, HeaderRun& run) {
    int32_t n = 0;
    int status = 0;
    p = getNumber(p, n, status);
    if (status != kNumberRead) sourceError("no IF number is specified.", p);
    if (n < 1 || n > 4) sourceError("IF number must be within the range 1-4.", p);
    run.common().begin(vld::eventNamed("midi out", vld::kCommonStream));
    run.common().put(static_cast<unsigned>(n - 1));
    run.hd.current_midi_out = static_cast<uint8_t>(n);
    run.hd.flags |= kFlagCurrentMidiOut;
    return p;
}

Pos randomizeSeedCommand(Pos p, headdata& hd) {
    vlserror(".randomize_seed can use only for vlc2.", p, 4, 1);
    int32_t n = 0;
    int status = 0;
    p = getNumber(p, n, status);
    hd.random.seed(status == kNumberRead ? static_cast<uint32_t>(n) : static_cast<uint32_t>(std::time(nullptr)));
    return p;
}

Pos legacyTieCommand(Pos p, headdata& hd) {
    vlserror(".legacy_*1_tie can use only for vlc2.", p, 4, 1);
    int32_t n = 0;
    int status = 0;
    p = getNumber(p, n, status);
    hd.legacy_tie = status == kNumberRead ? static_cast<uint8_t>(n) : 1;
    return p;
}

// The comment of the piece: code 0x40, the text, a zero byte. The header's
// comment pointer points at the text.
// The piece's comment ends at its 0 byte, so a 0 byte in the source's text
// is left out: kept, it would end the comment early and leave the rest of the
// text to be read as events.
void putCommentText(EventBuffer& out, Pos text, Pos end) {
    for (Pos q = text; q < end; ++q) {
        if (*q != 0) out.put(*q);
    }
}

Pos commentCommand(Pos p, HeaderRun& run) {
    run.hd.flags |= kFlagModuleText;
    run.common().begin(vld::eventNamed("comment", vld::kCommonStream));
    run.hd.comment_offset = static_cast<int32_t>(run.common().size());
    p = skipBlanks(p);
    if (*p == '{') {
        Pos open = p;
        Pos text = p + 1;
        int depth = 1;
        for (p = text;; ++p) {
            if (atEndMark(p)) {
                // Name the line of the opening brace, not the end of the text.
                sourceError("`}' is not closed.", open);
            }
            if (*p == '{') ++depth;
            if (*p == '}' && --depth == 0) break;
        }
        putCommentText(run.common(), text, p);
        ++p;
    } else {
        Pos text = p;
        while (*p != '\n' && !atEndMark(p)) ++p;
        if (*p == '\n') ++p;
        putCommentText(run.common(), text, p);
    }
    run.common().put(0);
    return p;
}

// A definition was expanded before compiling: skip it to the `}` that closes it.
Pos skipDefinition(Pos p) {
    int depth = 0;
    while (!atEndMark(p)) {
        if (*p == '\r' || *p == '\n') {
            p = skipLine(p);  // steps over the line end with the line count
            continue;
        }
        unsigned char c = *p++;
        if (c == '{') ++depth;
        if (c == '}' && --depth <= 0) break;
    }
    return p;
}

// The file was spliced in before compiling: skip its name.
Pos skipIncludeName(Pos p) {
    p = skipWhite(p);
    while (*p > 0x20 && *p != 0x7F && *p != '/' && *p != 255) ++p;
    return p;
}

// `.WAVE_FORM w, looptype, start, end, ifno, comment = {values}`: a user
// wave table (event 0x1C) in the common stream.
Pos waveFormCommand(Pos p, HeaderRun& run) {
    static constexpr const char* kLoopTypes[] = {"1shot", "repeat", "alternate", nullptr};
    auto skipComma = [](Pos q) {
        q = skipBlanks(q);
        return *q == ',' ? q + 1 : q;
    };
    int32_t wave = 0;
    int status = 0;
    p = getNumber(p, wave, status);
    if (status != kNumberRead) sourceError("wave# is not specified.", p);
    int32_t loopType = 0;
    p = getKeywordOrNumber(skipComma(p), loopType, status, kLoopTypes, 0);
    if (status != kNumberRead) sourceError("looptype is not specified.", p);
    int32_t start = 0;
    p = getNumber(skipComma(p), start, status);
    if (status != kNumberRead) start = 0;
    int32_t end = 0;
    p = getNumber(skipComma(p), end, status);
    bool endGiven = status == kNumberRead;
    int ifno = 0;
    std::string comment;
    p = getIfnoAndComment(skipComma(p), "={", ifno, comment);
    if (ifno < 0) ifno = 0;
    while (*p == '=') p = skipBlanks(p + 1);
    if (*p != '{') sourceError("wave definition error.", p);
    ++p;

    EventBuffer& out = run.common();
    out.begin(vld::eventNamed("wave form", vld::kCommonStream));
    out.putBE16(static_cast<uint32_t>(wave));
    size_t countAt = out.size();
    out.putBE32(0);
    out.put(static_cast<unsigned>(loopType));
    out.putBE32(static_cast<uint32_t>(start) * 2);
    size_t endAt = out.size();
    out.putBE32(static_cast<uint32_t>(end) * 2 + 2);
    out.putBE32(static_cast<uint32_t>(ifno));
    out.putBE32(0);
    std::string_view label = std::string_view(comment).substr(0, 255);
    out.put(static_cast<unsigned>(label.size()));
    out.putText(label);
    if (out.size() % 2) out.put(0);

    uint32_t count = 0;
    for (;;) {
        p = skipSpace(p);
        if (*p == '}') break;
        int32_t value = 0;
        Pos q = getNumber(p, value, status);
        if (status != kNumberRead) sourceError(atEndMark(q) ? "unexpected EOF." : "wave definition error.", q);
        out.putBE16(static_cast<uint32_t>(value));
        ++count;
        p = skipSpace(q);
        if (*p == ',') {
            ++p;
        } else if (*p != '}') {
            sourceError(atEndMark(p) ? "unexpected EOF." : "wave definition error.", p);
        }
    }
    out.patchBE32(countAt, count * 2);
    if (!endGiven) out.patchBE32(endAt, count * 2);
    run.hd.flags |= kFlagWaveForm;
    return p + 1;
}

// ---- parenthesised forms ---------------------------------------------------

// Up to 55 numbers separated by blanks, commas or tabs, into the parameter
// image from its first byte.
Pos readParameterBlock(Pos p, headdata& hd) {
    for (int i = 0;; ++i) {
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        if (*p == ')' || i == 55) return p;
        int32_t value = 0;
        p = numberOrSyntaxError(p, value);
        hd.parameter_block[i] = static_cast<uint8_t>(value);
    }
}

Pos parameterBlockForm(Pos p, HeaderRun& run, unsigned code) {
    int32_t n = 0;
    p = numberOrSyntaxError(p, n);
    if (code == kParameterBlockAt.code) {
        std::memcpy(run.hd.parameter_block + 46, kDefaultParameterBlock + 46, 9);
    } else {
        int32_t zero = 0;
        while (*p == ' ' || *p == '\t' || *p == ',') ++p;
        p = numberOrSyntaxError(p, zero);
        if (zero != 0) sourceError("SYNTAX ERROR", p);
    }
    run.common().begin(code == kParameterBlockAt.code ? kParameterBlockAt : kParameterBlockV);
    run.common().put(static_cast<unsigned>(n));
    p = readParameterBlock(p, run.hd);
    run.common().putBytes(run.hd.parameter_block, sizeof run.hd.parameter_block);
    return expectClosingParen(p);
}

Pos parenthesisedForm(Pos paren, HeaderRun& run) {
    Pos p = skipBlanks(paren + 1);
    unsigned char letter = *p;
    if (letter >= 'a' && letter <= 'z') letter -= 'a' - 'A';
    ++p;
    int32_t n = 0;
    switch (letter) {
        case '@':
            return parameterBlockForm(p, run, kParameterBlockAt.code);
        case 'V':
            return parameterBlockForm(p, run, kParameterBlockV.code);
        case 'A':
            return assignCommand(p, run.trk, run.hd, true);
        case 'B':
            p = numberOrSyntaxError(p, n);
            if (n != 0 && n != 1) sourceError("SYNTAX ERROR", p);
            run.hd.sc88_mode = static_cast<uint8_t>(n);
            return skipPastClosingParen(p);
        case 'C': case 'E': case 'F': case 'P': case 'Q': case 'R': case 'S':
            return skipPastClosingParen(p);
        case 'D': {
            int status = 0;
            p = getNumber(p, n, status);
            run.hd.second_mode = static_cast<uint8_t>(n);
            return skipPastClosingParen(p);
        }
        case 'I':
            return expectClosingParen(initializeCommand(p, run));
        case 'M': {
            int32_t track = 0;
            int status = 0;
            p = getNumber(p, track, status);
            if (track < 0 || track >= kTrackCount) sourceError("illegal track number is specified.", p);
            p = skipBlanks(p);
            if (*p == ',') ++p;
            p = getNumber(p, n, status);
            run.trk[track].track_value = n;
            return skipPastClosingParen(p);
        }
        case 'O':
            return skipPastClosingParen(tempoCommand(p, run.hd));
        case 'Z':
            return skipPastClosingParen(masterClockCommand(p, run.hd));
        case 'T':
            run.done = Done::TrackSelection;
            return paren;
        case 'X': {
            ExclusiveFrame frame;
            frame.closing = ") ,\t\r\n";
            int consumed = 0;
            run.hd.flags |= kFlagModuleText;
            return exclusive(run.common(), p, frame, consumed);
        }
        default:
            sourceError("UNKNOWN MML", p);
    }
}

// ---- the table -------------------------------------------------------------

int lookUpDotCommand(Pos p) {
    for (int id = 0; id < kDotCommandCount; ++id)
        if (matchKeyword(p, kDotCommandNames[id]) == 0) return id;
    return -1;
}

Pos runDotCommand(int id, Pos dot, Pos p, HeaderRun& run) {
    TrackRecords& trk = run.trk;
    headdata& hd = run.hd;
    switch (static_cast<DotCommand>(id)) {
        case kComment: return commentCommand(p, run);
        case kMidiData: return midiDataCommand(p, trk, hd);
        case kExclusive: return exclusiveCommand(p, trk, hd);
        case kRolandExclusive: return rolandExclusiveCommand(p, trk, hd);
        case kYamahaExclusive: return yamahaExclusiveCommand(p, trk, hd);
        case kXgExclusive: return xgExclusiveCommand(p, trk, hd);
        case kDxBulkDump: return dxBulkDumpCommand(p, trk, hd);
        case kSc55Init: case kSc55Reset: case kGsInit: case kGsReset:
            return gsResetCommand(p, trk, hd, kCommonTrackSet);
        case kGmSystemOn: return gmSystemOnCommand(p, trk, hd, kCommonTrackSet);
        case kGm2SystemOn: return gm2SystemOnCommand(p, trk, hd, kCommonTrackSet);
        case kXgSystemOn: case kXgInit: return xgSystemOnCommand(p, trk, hd, kCommonTrackSet);
        case kMu100VoiceMap: return mu100VoiceMapCommand(p, trk, hd);
        case kMu100BasicMap: return mu100BasicMapCommand(p, trk, hd);
        case kMu100NativeMap: return mu100NativeMapCommand(p, trk, hd);
        case kSc88ModeSet: case kSc88Mode: return sc88ModeCommand(p, trk, hd, kCommonTrackSet);
        case kSc55VReserve: case kSc55PartialReserve: case kGsVReserve: case kGsPartialReserve:
            return voiceReserveCommand(p, trk, hd);
        case kSc55Reverb: case kGsReverb: return reverbChorusCommand(p, trk, hd, ReverbChorusKind::Sc55Reverb);
        case kSc55Chorus: case kGsChorus: return reverbChorusCommand(p, trk, hd, ReverbChorusKind::Sc55Chorus);
        case kSc88Reverb: return reverbChorusCommand(p, trk, hd, ReverbChorusKind::Sc88Reverb);
        case kSc88Chorus: return reverbChorusCommand(p, trk, hd, ReverbChorusKind::Sc88Chorus);
        case kSc88Delay: return reverbChorusCommand(p, trk, hd, ReverbChorusKind::Sc88Delay);
        case kSc88Equalizer: return sc88EqualizerCommand(p, trk, hd);
        case kSc55PartSetup: case kSc55PartParameter: case kGsPartSetup: case kGsPartParameter:
            return partSetupCommand(p, trk, hd, false);
        case kSc88PartSetup: case kSc88PartParameter: return partSetupCommand(p, trk, hd, true);
        case kSc55DrumSetup: case kGsDrumSetup: return drumSetupCommand(p, trk, hd, false);
        case kSc88DrumSetup: return drumSetupCommand(p, trk, hd, true);
        case kSc55Print: case kGsPrint: return gsPrintCommand(p, trk, hd);
        case kSc55Display: case kGsDisplay: return gsDisplayCommand(p, trk, hd);
        case kXgPrint: return xgPrintCommand(p, trk, hd);
        case kXgDisplay: return xgDisplayCommand(p, trk, hd);
        case kXgEqualizer: return xgEqualizerCommand(p, trk, hd);
        case kGatetimeResolution: return gatetimeResolutionCommand(p, trk, hd, nullptr, kCommonTrackSet);
        case kMeter: return meterCommand(p, trk, hd, kCommonTrackSet);
        case kKey: return keyCommand(p, trk, hd, kCommonTrackSet);
        case kAssign: return assignCommand(p, trk, hd, false);
        case kTempo: return tempoCommand(p, hd);
        case kMasterClock: return masterClockCommand(p, hd);
        case kWaveForm: return waveFormCommand(p, run);
        case kRandomizeSeed: return randomizeSeedCommand(p, hd);
        case kLegacyTie: return legacyTieCommand(p, hd);
        case kDefine: return skipDefinition(p);
        case kInitialize: return initializeCommand(p, run);
        case kLengthMode: return skipLine(p);
        case kCurrentMidiOut: return currentMidiOutCommand(p, run);
        case kInclude: return skipIncludeName(p);
        case kTrack: case kTrackFader: case kTrackMask:
            run.done = Done::TrackSelection;
            return dot;
        case kMidiDump: case kSc88proEfxSetup: case kSc88proEfx: case kSc55DrumName: case kGsDrumName:
        case kSc88DrumName: case kSc88UserInst: case kSc88UserDrum: case kJump: case kRelativeVelocity:
        case kPerformanceTime: case kPlay: case kCurrentMidiIn: case kCall: case kPattern: case kMasterFader:
        case kAdpcmBank: case kAdpcmBlockData: case kAdpcmList: case kErase: case kFmMasterVolume: case kFmVset:
        case kO: case kDotCommandCount:
            return p;  // ignored: only the name is consumed
    }
    return p;
}

bool isHeaderBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 26; }

}  // namespace

void compileHeader(TrackRecords& trk, Pos text, Pos& rest, headdata& hd, int trackMode) {
    HeaderRun run{trk, hd, trackMode};
    std::memcpy(hd.parameter_block, kDefaultParameterBlock, sizeof hd.parameter_block);
    hd.work_bytes[0] = 255;
    hd.work_bytes[1] = 0;
    hd.adpcm_channel_counter = 0;
    if (trackMode) reopenCommonStream(run);

    Pos p = text;
    while (run.done == Done::Scanning) {
        p = skipSpace(p);
        Pos c = p;
        if (atEndMark(c)) {
            run.done = Done::EndOfText;
            break;
        }
        if (*c == '(') {
            p = parenthesisedForm(c, run);
        } else if (*c == '.') {
            int id = lookUpDotCommand(c + 1);
            p = id < 0 ? c + 1 : runDotCommand(id, c, c + 1 + kDotCommandNames[id].size(), run);
        } else if (!trackMode) {
            if (isHeaderBlank(*c)) {
                p = c + 1;
                continue;
            }
            // The first MML character: a piece without assignments plays on
            // track 1, MIDI channel 1. A track 1 assigned already keeps its
            // assignment.
            if (!trackIsListed(hd, 1)) allocateTrack(trk, hd, 1, 0, 0x8000);
            run.done = Done::FirstMml;
            p = c;
        } else if (*c == 26) {
            p = c + 1;
        } else {
            vlserror("unknown MML.", c + 1, 2, 1);
            p = skipLine(c);
        }
    }

    // Every way out closes the common stream, so its events always end with
    // the end code the player looks for.
    closeCommonStream(run);
    trk[0].length = trk[0].buf.at(0) == 0xFF ? 0 : static_cast<int32_t>(trk[0].buf.size());
    rest = p;
}
