#include "lsp/source_outline.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "lsp/text_positions.h"

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// A macro definition on a line, as the preprocessor reads it: `.define`, blanks,
// then the name up to the next blank.
bool readDefinition(std::string_view line, int index, const std::string& path, MacroDefinition& out) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || !startsWithWord(line, at, ".define")) return false;
    at += 7;
    while (at < line.size() && isBlank(line[at])) ++at;
    size_t start = at;
    while (at < line.size() && !isBlank(line[at])) ++at;
    if (at == start) return false;
    out = MacroDefinition{std::string(line.substr(start, at - start)), path, index, start, at,
                          trimBlanks(line.substr(line.find_first_not_of(" \t")))};
    return true;
}

void collectMacros(const std::string& path, const std::string& folder, const OpenDocuments& open,
                   std::set<std::string>& seen, std::vector<MacroDefinition>& out) {
    if (!seen.insert(path).second) return;
    std::optional<std::string> text = readSource(path, open);
    if (!text) return;
    std::vector<MacroDefinition> own = macrosIn(*text, path);
    out.insert(out.end(), own.begin(), own.end());
    for (std::string_view line : splitLines(*text)) {
        std::optional<IncludeLine> include = includeOnLine(line);
        if (!include) continue;
        // Names in included files are taken from the first document's folder,
        // as the compiler takes them from the current directory.
        std::optional<std::string> found = findInclude(folder, include->name, open);
        if (found) collectMacros(*found, folder, open, seen, out);
    }
}

}  // namespace

std::vector<int> trackSelectionAt(std::string_view line, size_t at, size_t& end) {
    end = at;
    std::vector<int> tracks;
    if (line[at] != '(') return tracks;
    size_t i = at + 1;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size() || (line[i] != 't' && line[i] != 'T')) return tracks;
    size_t close = line.find(')', i);
    end = close == std::string_view::npos ? line.size() : close + 1;
    int number = -1;
    for (size_t j = i + 1; j < end; ++j) {
        if (std::isdigit(static_cast<unsigned char>(line[j]))) {
            number = (number < 0 ? 0 : number) * 10 + (line[j] - '0');
            if (number > 1000000) number = 1000000;
        } else if (number >= 0) {
            tracks.push_back(number);
            number = -1;
        }
    }
    if (number >= 0) tracks.push_back(number);
    return tracks;
}

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string selectionName(const std::vector<int>& tracks) {
    std::string name = "(t";
    for (size_t i = 0; i < tracks.size(); ++i) {
        if (i) name += ',';
        name += std::to_string(tracks[i]);
    }
    return name + ")";
}

}  // namespace

std::vector<MacroDefinition> macrosIn(std::string_view text, const std::string& path) {
    std::vector<MacroDefinition> macros;
    std::vector<std::string_view> lines = splitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        MacroDefinition macro;
        if (readDefinition(lines[i], static_cast<int>(i), path, macro)) macros.push_back(std::move(macro));
    }
    return macros;
}

std::vector<MacroDefinition> macrosWithIncludes(const std::string& path, const OpenDocuments& open) {
    std::vector<MacroDefinition> macros;
    std::set<std::string> seen;
    collectMacros(path, folderOf(path), open, seen, macros);
    return macros;
}

const MacroDefinition* macroAt(std::string_view line, size_t at, const std::vector<MacroDefinition>& macros) {
    const MacroDefinition* best = nullptr;
    for (const MacroDefinition& macro : macros) {
        size_t size = macro.name.size();
        if (best && best->name.size() >= size) continue;
        size_t from = at + 1 >= size ? at + 1 - size : 0;
        for (size_t start = from; start <= at && start + size <= line.size(); ++start) {
            if (startsWithWord(line, start, macro.name)) {
                best = &macro;
                break;
            }
        }
    }
    return best;
}

bool trackBlockSelection(std::string_view code, std::vector<int>& tracks) {
    size_t first = code.find_first_not_of(" \t");
    if (first == std::string_view::npos || !startsWithWord(code, first, ".track")) return false;
    // The numbers up to `{` read as those of a selection `(t...)`.
    size_t brace = std::min(code.find('{', first), code.size());
    std::string asSelection = "(t" + std::string(code.substr(first + 6, brace - first - 6)) + ")";
    size_t end = 0;
    tracks = trackSelectionAt(asSelection, 0, end);
    return true;
}

std::string_view codeOf(std::string_view line) {
    int depth = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '[') ++depth;
        if (line[i] == ']' && depth > 0) --depth;
        if (line[i] == '/' && depth == 0) return line.substr(0, i);
    }
    return line;
}

std::vector<OutlineSymbol> outlineOf(std::string_view text) {
    static constexpr std::string_view kMarks[] = {"[segno]", "[$]", "[coda]", "[do]"};
    std::vector<OutlineSymbol> symbols;
    std::set<int> tracksSeen;
    std::string selection;
    std::vector<std::string_view> lines = splitLines(text);
    for (size_t l = 0; l < lines.size(); ++l) {
        int index = static_cast<int>(l);
        MacroDefinition macro;
        if (readDefinition(lines[l], index, "", macro)) {
            symbols.push_back({macro.name, macro.text, SymbolKind::kMacro, index, macro.start, macro.end});
            continue;
        }
        std::string_view code = codeOf(lines[l]);
        size_t first = code.find_first_not_of(" \t");
        std::vector<int> tracks;
        if (trackBlockSelection(code, tracks)) {
            size_t end = std::min(code.find('{', first), code.size());
            selection = selectionName(tracks);
            for (int track : tracks)
                if (tracksSeen.insert(track).second)
                    symbols.push_back({"Track " + std::to_string(track), selection, SymbolKind::kTrack, index, first,
                                       end});
            continue;
        }
        for (size_t at = 0; at < code.size(); ++at) {
            size_t end = at;
            tracks = trackSelectionAt(code, at, end);
            if (!tracks.empty()) {
                selection = selectionName(tracks);
                for (int track : tracks)
                    if (tracksSeen.insert(track).second)
                        symbols.push_back({"Track " + std::to_string(track), selection, SymbolKind::kTrack, index, at,
                                           end});
                at = end - 1;
                continue;
            }
            if (code[at] != '[') continue;
            for (std::string_view mark : kMarks) {
                if (!startsWithWord(code, at, mark)) continue;
                std::string name = lower(mark.substr(1, mark.size() - 2));
                if (name == "$") name = "segno";
                symbols.push_back({name, selection, SymbolKind::kMark, index, at, at + mark.size()});
            }
        }
    }
    return symbols;
}
