// The track loop: track lines, command by command, over the current track set.
#include "compile/track_lines.h"

#include <algorithm>

#include "cli/switches.h"
#include "commands/command_reading.h"
#include "commands/at_commands.h"
#include "commands/bracket_commands.h"
#include "commands/sequences.h"
#include "header/assign.h"
#include "header/dot_commands.h"
#include "scan/diagnostics.h"
#include "scan/scanner.h"
#include "track/chords.h"
#include "track/notes.h"
#include "track/repeats.h"
#include "track/simple_commands.h"
#include "track/track_compile.h"
#include "track/tuplets.h"
#include "track/velocity.h"

namespace {

// The track that receives a track's events: the end of its redirect chain.
int redirectedTrack(const TrackRecords& trk, int t) {
    for (int steps = 0; steps < kTrackCount && trk[t].redirect >= 0 && trk[t].redirect < kTrackCount; ++steps)
        t = trk[t].redirect;
    return t;
}

bool inTarget(const TrackCompile& tc, int t) {
    return std::find(tc.target.begin(), tc.target.end() - 1, static_cast<uint8_t>(t)) != tc.target.end() - 1;
}

// Adds a track to the set once: a track named again (directly or through a
// redirect) would receive every event twice.
void addToTarget(TrackCompile& tc, int t) {
    if (inTarget(tc, t)) return;
    tc.target.back() = static_cast<uint8_t>(t);
    tc.target.push_back(255);
}

Pos expectSeparator(Pos p, std::string_view separators) {
    p = skipBlanks(p);
    if (atEndMark(p)) sourceError("unexpected EOF.", p);
    if (separators.find(static_cast<char>(*p)) == std::string_view::npos)
        sourceError("illegal partition character.", p);
    return p;
}

// `(t1,2)` (form 1) or `.track 1,2 {` (form 0): the tracks the following
// lines write to. Tracks 1 to 15 that are not assigned yet are assigned to
// the MIDI channel of their number.
Pos selectTracks(Pos p, TrackCompile& tc, int form) {
    if (tc.hd.block_open) sourceError("'}' is not closed.", p);
    tc.hd.block_open = form == 0 ? 1 : 0;
    char closing = form == 0 ? '{' : ')';
    std::string_view separators = form == 0 ? ",{" : ",)";
    tc.target.assign(1, 255);
    for (bool first = true;; first = false) {
        int32_t n = 0;
        int status = 0;
        p = getNumber(p, n, status);
        if (status == kNumberRead) {
            if (n <= 0) sourceError("illegal track number is specified.", p);
            if (!trackIsListed(tc.hd, n)) {
                if (n > 15) {
                    std::string message = "track " + std::to_string(n) + " is not assigned.";
                    sourceError(message.c_str(), p);
                }
                allocateTrack(tc.trk, tc.hd, n, n - 1, 0x8000);
                std::string message = "track " + std::to_string(n) + " is not assigned; (AMIDI" + std::to_string(n) +
                                      "," + std::to_string(n) + ") is made up.";
                vlserror(message.c_str(), p, 3, 1);
            }
            addToTarget(tc, redirectedTrack(tc.trk, n));
        } else if (first && *skipBlanks(p) == closing) {
            sourceError("no track number is assigned.", p);
        } else if (status == kNumberMalformed) {
            sourceError("illegal partition character.", p);
        }
        p = expectSeparator(p, separators);
        if (*p++ == closing) {
            // `(t,)` names no track at all: the commands behind it would have
            // no track to be compiled for.
            if (tc.target[0] & 0x80) sourceError("no track number is assigned.", p - 1);
            return p;
        }
    }
}

// `(p n, ...)`: the tracks that keep their events when sub-tracks were made.
Pos partitionList(Pos p, TrackCompile& tc, bool& seen) {
    if (tc.hd.block_open) sourceError("'}' is not closed.", p);
    seen = true;
    for (bool first = true;; first = false) {
        int32_t n = 0;
        int status = 0;
        p = getNumber(p, n, status);
        if (first) {
            if (status != kNumberRead && *skipBlanks(p) == ')') return skipBlanks(p) + 1;
            forEachListedTrack(tc.hd, [&](int t) { tc.trk[t].partition_mark = 0; });
            if (status != kNumberRead) n = tc.hd.track_list[0];
        }
        if (status == kNumberRead || first) {
            if (!trackIsListed(tc.hd, n)) {
                std::string message = "trk " + std::to_string(n) + " is not assigned.";
                sourceError(message.c_str(), p);
            }
            int t = n;
            tc.trk[t].partition_mark = 1;
            for (int steps = 0; steps < kTrackCount && tc.trk[t].redirect >= 0 && tc.trk[t].redirect < kTrackCount; ++steps) {
                t = tc.trk[t].redirect;
                tc.trk[t].partition_mark = 1;
            }
        }
        p = expectSeparator(p, ",)");
        if (*p++ == ')') break;
    }
    if (tc.hd.subtracks_made) {
        tc.hd.keep_every_track = true;
        forEachListedTrack(tc.hd, [&](int t) {
            if (!tc.trk[t].partition_mark) {
                tc.trk[t].buf.truncate(0);
                tc.trk[t].buf.begin(vld::eventNamed("end"));
                // Nothing kept for later patching may point into the cut events.
                trkinf& info = tc.inf[t];
                info.pending_ties.clear();
                info.repeat_stack.clear();
                info.segno_offset = 0;
                info.tocoda_offset = 0;
            }
        });
    }
    return p;
}

// Whether the text at p (behind a `(`) continues with the letter.
bool formLetterIs(Pos p, char upper) {
    unsigned char c = *skipBlanks(p);
    return c == static_cast<unsigned char>(upper) || c == static_cast<unsigned char>(upper + ('a' - 'A'));
}

bool quoteIsSwitch(Pos p) {
    int32_t value = 0;
    int status = 0;
    getNumber(p, value, status);
    return status == kNumberRead;
}

// Hands a command that the track lines do not handle to the header commands,
// which run until the next track selection.
Pos headerInTrackMode(Pos p, TrackCompile& tc) {
    Pos rest = nullptr;
    compileHeader(tc.trk, p, rest, tc.hd, 1);
    return rest;
}

void reportOpenConstruct(const char* format, int track, Pos end, int level) {
    char message[128];
    std::snprintf(message, sizeof message, format, track);
    vlserror(message, end, level, 0);
    forgetLastPosition(end);
}

// Every listed track: length, padding to a multiple of 4 with 0xFF, the
// longest played length, and what was left open.
void finishTracks(TrackCompile& tc, Pos end, int32_t& longestClocks) {
    forEachListedTrack(tc.hd, [&](int t) {
        trkdata& track = tc.trk[t];
        trkinf& info = tc.inf[t];
        longestClocks = std::max(longestClocks, info.total_clocks);
        while (track.buf.size() % 4) track.buf.pad(vld::kEndCode);
        track.length = static_cast<int32_t>(track.buf.size());
        info.pending_ties.clear();
        if (info.tuplet_depth != 0) reportOpenConstruct("`}' is not closed in track %d.", t, end, kError);
        if (!info.repeat_stack.empty()) {
            if (info.repeat_stack.back().ending >= 0) reportOpenConstruct(":| is not closed in track %d.", t, end, 3);
            info.repeat_stack.clear();
        }
        if (!info.do_stack.empty() && info.do_stack.back().words[5])
            reportOpenConstruct("[do]\x81\x60[loop] is not closed in track %d.", t, end, 3);
        if (!info.length_groups.empty()) {
            reportOpenConstruct("`}}' is not closed in track %d.", t, end, 4);
            info.length_groups.clear();
        }
        releaseTrkInf(info, t);
    });
}

// One command, from its first character c.
Pos compileCommand(Pos c, TrackCompile& tc, bool& partitionSeen) {
    Pos p = c + 1;
    switch (*c) {
        case '"': {
            if (quoteIsSwitch(p)) return switchCommand(p, tc);
            Pos end = chordCommand(p, tc, '"');
            vlserror("\"..\" can use only for vlc2.", end, 4, 1);
            markNoteWritten(tc);
            return end;
        }
        case '\'': {
            Pos end = chordCommand(p, tc, '\'');
            markNoteWritten(tc);
            return end;
        }
        case '(':
            switch (*skipBlanks(p)) {
                case '<': case '>': case 'A': case 'B': case 'C': case 'D': case 'E': case 'F': case 'G':
                case 'a': case 'b': case 'c': case 'd': case 'e': case 'f': case 'g': case 'O': case 'o': {
                    Pos end = portamentoCommand(p, tc, vld::eventNamed("portamento").code, ')');
                    markNoteWritten(tc);
                    return end;
                }
            }
            if (formLetterIs(p, 'P')) return partitionList(skipBlanks(p) + 1, tc, partitionSeen);
            if (formLetterIs(p, 'T')) return selectTracks(skipBlanks(p) + 1, tc, 1);
            return headerInTrackMode(c, tc);
        case '.':
            if (matchKeyword(p, "track") == 0) return selectTracks(p + 5, tc, 0);
            return headerInTrackMode(c, tc);
        case ':': case '|': return repeatCommand(c, tc);
        case ';': return insertBytesCommand(p, tc);
        case '<': case '>': case 'O': case 'o': return octaveCommand(tc, c);
        case '=': return switchMaskCommand(p, tc);
        case '?': return workAreaCommand(p, tc);
        case '@': return atCommand(p, tc);
        case 'A': case 'B': case 'C': case 'D': case 'E': case 'F': case 'G':
        case 'a': case 'b': case 'c': case 'd': case 'e': case 'f': case 'g':
            return noteCommand(tc, c);
        case 'H': case 'h': return hCommand(p, tc);
        case 'K': case 'k': return keyTransposeCommand(p, tc);
        case 'L': case 'l': return lengthCommand(p, tc);
        case 'M': case 'm': return mCommand(p, tc);
        case 'N': case 'n': return channelChangeCommand(p, tc);
        case 'Q': case 'q': return quantizeListCommand(p, tc, tc.hd.quantize_mode);
        case 'R': case 'r': return restCommand(p, tc);
        case 'S': case 's': return sCommand(p, tc);
        case 'U': case 'u': return uCommand(p, tc);
        case 'Z': case 'z': return velocityListCommand(p, tc);
        case 'I': case 'i': case 'J': case 'j': case 'P': case 'p': case 'T': case 't': case 'V': case 'v':
        case 'W': case 'w': case 'X': case 'x': case 'Y': case 'y': case '`':
            return sharedLetterCommand(c, tc);
        case '[': return bracketCommand(p, tc);
        case '\\': return fadeCommand(p, tc);
        case ']': return parentTrackCommand(p, tc);
        case '_': case '~': return velocityStepCommand(p, tc, static_cast<char>(*c));
        case '{': return openTuplet(p, tc);
        case '}': return closeTuplet(p, tc);
        default:
            return headerInTrackMode(c, tc);
    }
}

}  // namespace

Pos getNumberInRange(Pos p, int32_t& value, int minimum, int maximum, const char* rangeMessage,
                     const char* missingMessage) {
    // Point at the command, not at whatever the search for a number reached.
    Pos end = requiredNumber(p, value, missingMessage);
    Pos start = skipSpace(p);
    if (minimum != maximum && (value < minimum || value > maximum)) sourceError(rangeMessage, start);
    return end;
}

void compileTracks(TrackRecords& trk, Pos text, Pos& end, headdata& hd, int32_t& longestClocks) {
    TrackInfos inf(kTrackCount);
    for (int t = 1; t < kTrackCount; ++t) {
        initTrkInf(inf[t], hd);
        clearStructureStacks(inf[t], t);
    }
    TrackCompile tc{trk, hd, inf, {255}};

    Pos p = skipSpace(text);
    bool startsWithSelection = matchKeyword(p, ".track") == 0 || (*p == '(' && formLetterIs(p + 1, 'T'));
    if (!startsWithSelection) {
        tc.target = {1, 255};
        hd.block_open = 0;
    }

    bool partitionSeen = false;
    for (;;) {
        p = skipSpace(p);
        if (atEndMark(p)) break;
        // Notes are most of the commands: they skip the dispatch below.
        Pos next = isNoteLetter(*p) ? noteCommand(tc, p) : compileCommand(p, tc, partitionSeen);
        // A command always moves on; one that did not would be read again forever.
        if (next <= p) sourceError("SYNTAX ERROR", p);
        p = next;
    }

    forEachListedTrack(hd, [&](int t) { trk[t].buf.begin(vld::eventNamed("end")); });
    end = p;
    if (!partitionSeen && hd.subtracks_made) hd.keep_every_track = true;
    finishTracks(tc, p, longestClocks);
}
