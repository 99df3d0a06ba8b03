#include "lsp/hover.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>

#include "lsp/command_docs.h"
#include "lsp/command_names.h"
#include "lsp/text_positions.h"
#include "lsp/workspace.h"

namespace {

bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char lowerOf(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::optional<std::string> docFor(const std::string& key) {
    const CommandDocs& docs = commandDocs();
    auto entry = docs.find(key);
    if (entry == docs.end()) return std::nullopt;
    return entry->second;
}

// The whole-note length in clocks the document sets with `.MASTER_CLOCK`.
int wholeNoteOf(std::string_view text) {
    for (std::string_view line : splitLines(text)) {
        size_t at = line.find_first_not_of(" \t");
        if (at == std::string_view::npos || !startsWithWord(line, at, ".master_clock")) continue;
        int value = std::atoi(std::string(line.substr(at + 13, 12)).c_str());
        if (value > 0 && value <= 65535) return value;
    }
    return 192;
}

// A length as written after a note or `l`: a fraction of the whole note or
// `*clocks`, dots, and `^` with more lengths, in clocks. Where no number
// stands, the default length `standard` (with any dots) applies.
int readLength(std::string_view line, size_t& at, int whole, int standard) {
    auto number = [&](int& value) {
        size_t start = at;
        long n = 0;
        while (at < line.size() && isDigit(line[at])) n = std::min(n * 10 + (line[at++] - '0'), 1000000L);
        value = static_cast<int>(n);
        return at > start;
    };
    // Clamped, so that a line of ties no editor would hold cannot overflow.
    long long total = 0;
    for (bool first = true;; first = false) {
        int length = standard;
        int value = 0;
        if (at < line.size() && line[at] == '*') {
            ++at;
            if (number(value)) length = value;
        } else if (number(value)) {
            length = value > 0 ? whole / value : standard;
        } else if (!first) {
            length = standard;
        }
        int added = length;
        while (at < line.size() && line[at] == '.') {
            added /= 2;
            length += added;
            ++at;
        }
        total = std::min(total + length, 100000000LL);
        if (at >= line.size() || line[at] != '^') break;
        ++at;
    }
    return static_cast<int>(total);
}

void skipNumberChars(std::string_view line, size_t& at) {
    static constexpr std::string_view kNumberSigns = "$%+-,:.*^";
    while (at < line.size() && (isDigit(line[at]) || kNumberSigns.find(line[at]) != std::string_view::npos)) ++at;
}

std::string noteName(int midi) {
    static constexpr const char* kNames[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
    int octave = (midi >= 0 ? midi / 12 : (midi - 11) / 12) - 1;
    int pitchClass = ((midi % 12) + 12) % 12;
    return std::string(kNames[pitchClass]) + std::to_string(octave);
}

std::string noteHover(const NoteInfo& note) {
    std::string text = "**" + note.name + "**";
    if (note.midi < 0 || note.midi > 127)
        text += ": out of the MIDI range (note number " + std::to_string(note.midi) + ")";
    else
        text += ": MIDI note " + std::to_string(note.midi);
    text += ", " + std::to_string(note.clocks) + " clocks";
    text += "\n\nOctave and default length as the track's `o`, `<`, `>` and `l` leave them "
            "(octave 4 and a quarter note at first); macros, the key signature and `k` are not followed.";
    return text;
}

// The bracket that byte `at` stands in: where its `[` is, or npos.
size_t openBracketBefore(std::string_view code, size_t at) {
    for (size_t i = std::min(at, code.size() - 1) + 1; i-- > 0;) {
        if (code[i] == '[') return i;
        if (code[i] == ']' && i != at) return std::string_view::npos;
    }
    return std::string_view::npos;
}

std::optional<std::string> bracketHover(std::string_view code, size_t open) {
    int id = bracketNameAt(code.substr(open + 1));
    if (id < 0) return std::nullopt;
    std::string name(bracketName(id));
    std::optional<std::string> doc = docFor("[" + name);
    if (isArccBracket(id)) {
        // [ARCCn.keyword ...]: the keyword's row as well.
        size_t dot = code.find('.', open);
        if (dot != std::string_view::npos) {
            size_t end = dot + 1;
            while (end < code.size() && isLetter(code[end])) ++end;
            std::string keyword(code.substr(dot + 1, end - dot - 1));
            for (char& c : keyword) c = lowerOf(c);
            if (std::optional<std::string> row = docFor("ARCC." + keyword))
                doc = doc ? *doc + "\n\n---\n\n" + *row : *row;
        }
    }
    return doc ? doc : std::optional<std::string>("`[" + name + "]`: a bracket command with no entry in the reference");
}

// What a track line leaves behind for the notes after it.
struct TrackState {
    int octave = 4;
    int standard = 0;  // the default length in clocks
};

}  // namespace

std::optional<NoteInfo> noteAt(std::string_view text, int lineIndex, size_t at) {
    static constexpr int kPitchClass[] = {9, 11, 0, 2, 4, 5, 7};  // a to g
    const int whole = wholeNoteOf(text);
    std::vector<std::string_view> lines = splitLines(text);
    if (lineIndex < 0 || static_cast<size_t>(lineIndex) >= lines.size()) return std::nullopt;
    std::map<int, TrackState> tracks;
    std::vector<int> selection = {0};  // music before any selection
    auto each = [&](auto change) {
        for (int track : selection) {
            TrackState& state = tracks[track];
            if (state.standard == 0) state.standard = whole / 4;
            change(state);
        }
    };
    for (int l = 0; l <= lineIndex; ++l) {
        std::string_view code = codeOf(lines[static_cast<size_t>(l)]);
        bool target = l == lineIndex;
        if (trackBlockSelection(code, selection)) {
            if (selection.empty()) selection = {0};
            continue;
        }
        size_t first = code.find_first_not_of(" \t");
        if (first != std::string_view::npos && code[first] == '.') continue;  // a header line
        int chordOctave = 0;
        bool inChord = false;
        std::optional<std::map<int, TrackState>> beforeSubTrack;
        for (size_t i = 0; i < code.size() && (!target || i <= at);) {
            char c = lowerOf(code[i]);
            size_t end = i;
            if (c == '(' && !trackSelectionAt(code, i, end).empty()) {
                selection = trackSelectionAt(code, i, end);
                i = end;
            } else if (c == '[' && isSubTrackBracket(bracketNameAt(code.substr(i + 1)))) {
                // A sub-track starts from the track's state; its own octave
                // marks end with it.
                beforeSubTrack = tracks;
                i += 5;
            } else if (c == ']' && beforeSubTrack) {
                tracks = *beforeSubTrack;
                beforeSubTrack.reset();
                ++i;
            } else if (c == '[' && bracketNameAt(code.substr(i + 1)) >= 0) {
                size_t close = code.find(']', i);
                i = close == std::string_view::npos ? code.size() : close + 1;
            } else if (c == '@') {
                ++i;
                if (i < code.size() && isLetter(code[i])) ++i;
                skipNumberChars(code, i);
            } else if (c == 'o') {
                ++i;
                size_t start = i;
                bool below = i < code.size() && code[i] == '-';
                if (i < code.size() && (code[i] == '-' || code[i] == '+')) ++i;
                int octave = 0;
                // Far outside -1 to 9 the compiler refuses the octave anyway.
                while (i < code.size() && isDigit(code[i])) octave = std::min(octave * 10 + (code[i++] - '0'), 1000);
                if (below) octave = -octave;
                if (i > start) each([&](TrackState& state) { state.octave = octave; });
            } else if (c == '<' || c == '>') {
                each([&](TrackState& state) { state.octave = std::clamp(state.octave + (c == '<' ? 1 : -1), -1000, 1000); });
                ++i;
            } else if (c == '\'') {
                // Octave marks inside a chord last to its closing quote.
                if (!inChord) chordOctave = tracks[selection.front()].octave;
                if (inChord) each([&](TrackState& state) { state.octave = chordOctave; });
                inChord = !inChord;
                ++i;
            } else if (c == 'l') {
                ++i;
                size_t start = i;
                TrackState& state = tracks[selection.front()];
                int length = readLength(code, i, whole, state.standard ? state.standard : whole / 4);
                if (i > start) each([&](TrackState& s) { s.standard = length; });
            } else if (c >= 'a' && c <= 'g') {
                size_t start = i++;
                TrackState state = tracks[selection.front()];
                if (state.standard == 0) state.standard = whole / 4;
                int midi = 12 * (state.octave + 1) + kPitchClass[c - 'a'];
                while (i < code.size() && std::string_view("#+-!").find(code[i]) != std::string_view::npos) {
                    if (code[i] == '#' || code[i] == '+') ++midi;
                    if (code[i] == '-') --midi;
                    ++i;
                }
                int clocks = readLength(code, i, whole, state.standard);
                if (target && at >= start && at < std::max(i, start + 1)) return NoteInfo{noteName(midi), midi, clocks};
            } else if (isLetter(c)) {
                ++i;
                skipNumberChars(code, i);
            } else {
                ++i;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> hoverAt(std::string_view text, int lineIndex, size_t at,
                                   const std::vector<MacroDefinition>& macros) {
    std::vector<std::string_view> lines = splitLines(text);
    if (lineIndex < 0 || static_cast<size_t>(lineIndex) >= lines.size()) return std::nullopt;
    std::string_view line = lines[static_cast<size_t>(lineIndex)];
    std::string_view code = codeOf(line);
    if (at >= code.size()) return std::nullopt;

    size_t first = code.find_first_not_of(" \t");
    if (first != std::string_view::npos && code[first] == '.' && at >= first) {
        int id = dotCommandAt(code.substr(first + 1));
        if (id < 0 || at > first + dotCommandName(id).size()) return std::nullopt;
        std::string name(dotCommandName(id));
        std::optional<std::string> doc = docFor("." + name);
        return doc ? doc : "`." + name + "`: read and skipped; nothing is written";
    }
    if (const MacroDefinition* macro = macroAt(code, at, macros))
        return "macro `" + macro->name + "`\n\n```vls\n" + macro->text + "\n```";

    size_t open = openBracketBefore(code, at);
    if (open != std::string_view::npos) {
        int id = bracketNameAt(code.substr(open + 1));
        if (id >= 0 && !isSubTrackBracket(id)) return bracketHover(code, open);
        if (isSubTrackBracket(id) && at <= open + 4) return bracketHover(code, open);
    }
    // On a command's parameters (`100` of `@v100`, `91,40` of `y91,40`, a
    // note's length), the command they belong to.
    static constexpr std::string_view kParameterSigns = "$%+-,:.*^#!";
    size_t command = at;
    while (command > 0 && (isDigit(code[command]) || kParameterSigns.find(code[command]) != std::string_view::npos))
        --command;
    if (command != at && (isLetter(code[command]) || code[command] == '@')) at = command;
    char c = code[at];
    if (c == '@' || (at > 0 && code[at - 1] == '@' && (isLetter(c) || isDigit(c)))) {
        size_t sign = c == '@' ? at : at - 1;
        char next = sign + 1 < code.size() ? code[sign + 1] : ' ';
        return docFor(isLetter(next) ? std::string("@") + lowerOf(next) : "@");
    }
    if (isLetter(c)) {
        char letter = lowerOf(c);
        if (letter >= 'a' && letter <= 'g') {
            std::optional<NoteInfo> note = noteAt(text, lineIndex, at);
            if (note) return noteHover(*note);
        }
        return docFor(std::string(1, letter));
    }
    if (c == '<' || c == '>') return docFor(std::string(1, c));
    return std::nullopt;
}
