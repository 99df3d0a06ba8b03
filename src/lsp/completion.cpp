#include "lsp/completion.h"

#include <cctype>

#include "lsp/command_names.h"
#include "lsp/workspace.h"

namespace {

bool isWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '*' || c == '@';
}

// The channels an `.ASSIGN` may name (see the assignment table of the
// reference): MIDI channels of the current and the next interface, the FM
// channels and the ADPCM channels.
std::vector<Completion> deviceNames() {
    std::vector<Completion> names;
    for (int i = 1; i <= 32; ++i)
        names.push_back({"midi" + std::to_string(i), CompletionKind::kDevice,
                         i <= 16 ? "MIDI channel " + std::to_string(i)
                                 : "MIDI channel " + std::to_string(i - 16) + " of the next interface"});
    for (int i = 1; i <= 8; ++i)
        names.push_back({"fm" + std::to_string(i), CompletionKind::kDevice, "FM channel " + std::to_string(i)});
    names.push_back({"adpcm", CompletionKind::kDevice, "the next ADPCM channel"});
    names.push_back({"adpcm1", CompletionKind::kDevice, "the first ADPCM channel"});
    return names;
}

// Whether byte `at` stands in the channel field of an assignment:
// `.ASSIGN n {` then nothing but the channel's own characters.
bool inAssignChannel(std::string_view line, size_t at, size_t wordStart) {
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || !startsWithWord(line, first, ".assign")) return false;
    size_t brace = line.find('{', first);
    if (brace == std::string_view::npos || brace >= at) return false;
    return line.substr(brace + 1, wordStart - brace - 1).find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

std::vector<Completion> completionsAt(std::string_view line, size_t at, const std::vector<MacroDefinition>& macros,
                                      size_t& wordStart) {
    if (at > line.size()) at = line.size();
    wordStart = at;
    while (wordStart > 0 && isWordChar(line[wordStart - 1]) && line[wordStart - 1] != '.') --wordStart;
    std::vector<Completion> out;

    size_t first = line.find_first_not_of(" \t");
    if (first != std::string_view::npos && line[first] == '.' && wordStart == first + 1) {
        for (int i = 0; i < dotCommandCount(); ++i)
            out.push_back({std::string(dotCommandName(i)), CompletionKind::kDotCommand, ""});
        return out;
    }
    // Bracket names may hold dots (`BEND.SWITCH`): the name runs from the `[`.
    size_t bracketStart = at;
    while (bracketStart > 0 && isWordChar(line[bracketStart - 1])) --bracketStart;
    if (bracketStart > 0 && line[bracketStart - 1] == '[') {
        wordStart = bracketStart;
        for (int i = 0; i < bracketNameCount(); ++i)
            out.push_back({std::string(bracketName(i)), CompletionKind::kBracketCommand, ""});
        return out;
    }
    if (inAssignChannel(line, at, wordStart)) return deviceNames();
    // A dot inside a line is a dotted length (`l8.`), where no name goes.
    if (wordStart == at && at > 0 && line[at - 1] == '.') return out;
    for (const MacroDefinition& macro : macros) out.push_back({macro.name, CompletionKind::kMacro, macro.text});
    return out;
}
