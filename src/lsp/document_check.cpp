#include "lsp/document_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "base/failure.h"
#include "compile/compile.h"
#include "lsp/text_positions.h"
#include "scan/diagnostics.h"
#include "source/load.h"

namespace {

// The range a placed message covers in its line: from the caret over the
// command that stands there. When the line the compiler read is not the
// document's line (a macro was expanded in it), the columns mean nothing
// here and the whole line is marked.
LineRange rangeInLine(std::string_view line, int lineIndex, const CompilerMessage& message) {
    size_t at = message.column > 0 ? static_cast<size_t>(message.column - 1) : 0;
    if (message.shown && !showsLine(*message.shown, line)) {
        size_t first = line.find_first_not_of(" \t");
        size_t last = line.find_last_not_of(" \t");
        if (first == std::string_view::npos) return {lineIndex, 0, 0};
        return {lineIndex, utf16Column(line, first), utf16Column(line, last + 1)};
    }
    if (at >= line.size()) {
        // A caret behind the line's end: what was read last is at fault.
        size_t last = line.find_last_not_of(" \t");
        if (last == std::string_view::npos) return {lineIndex, utf16Column(line, at), utf16Column(line, at)};
        return {lineIndex, utf16Column(line, last), utf16Column(line, last + 1)};
    }
    return {lineIndex, utf16Column(line, at), utf16Column(line, commandEnd(line, at))};
}

// The lines of the document that include other files, with what each reads.
struct IncludeSite {
    int line;
    IncludeLine include;
    std::string path;  // empty when the file is not found
};

std::vector<IncludeSite> includeSites(const std::vector<std::string_view>& lines, const std::string& folder,
                                      const OpenDocuments& open) {
    std::vector<IncludeSite> sites;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::optional<IncludeLine> include = includeOnLine(lines[i]);
        if (!include) continue;
        std::optional<std::string> found = findInclude(folder, include->name, open);
        sites.push_back({static_cast<int>(i), *include, found.value_or(std::string())});
    }
    return sites;
}

// The include line a message about another file belongs on: the one that
// reads that file or, for a file that is not found, names it; else the first
// include line (the file came in through it or through one after it).
const IncludeSite* siteFor(const std::vector<IncludeSite>& sites, const CompilerMessage& message) {
    for (const IncludeSite& site : sites)
        if (site.path == message.file || site.include.name == message.file) return &site;
    return sites.empty() ? nullptr : &sites.front();
}

std::string baseName(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::vector<Diagnostic> placeMessages(const std::vector<CompilerMessage>& messages, const std::string& path,
                                      std::string_view text, const OpenDocuments& open) {
    std::vector<std::string_view> lines = splitLines(text);
    std::vector<IncludeSite> sites;
    bool sitesRead = false;
    std::vector<Diagnostic> out;
    for (const CompilerMessage& message : messages) {
        Diagnostic diagnostic;
        diagnostic.error = message.error;
        diagnostic.message = message.text;
        if (message.file == path && message.line >= 1) {
            // The compiler counts one line more than the editor holds when the
            // text does not end in a line end: that line stands at the end.
            int index = std::min(message.line, static_cast<int>(lines.size())) - 1;
            diagnostic.range = rangeInLine(lines[static_cast<size_t>(index)], index, message);
        } else if (message.file.empty() || message.file == path) {
            diagnostic.range = {0, 0, 0};
        } else {
            if (!sitesRead) sites = includeSites(lines, folderOf(path), open);
            sitesRead = true;
            const IncludeSite* site = siteFor(sites, message);
            if (site) {
                std::string_view line = lines[static_cast<size_t>(site->line)];
                diagnostic.range = {site->line, utf16Column(line, site->include.start),
                                    utf16Column(line, site->include.end)};
            }
            if (message.line >= 1) {
                diagnostic.message = baseName(message.file) + ", line " + std::to_string(message.line) + ": " +
                                     message.text;
                diagnostic.related_path = message.file;
                std::optional<std::string> included = readSource(message.file, open);
                std::vector<std::string_view> includedLines = splitLines(included ? *included : std::string_view());
                int index = std::min(message.line, static_cast<int>(includedLines.size())) - 1;
                diagnostic.related_range = rangeInLine(includedLines[static_cast<size_t>(index)], index, message);
            }
        }
        out.push_back(std::move(diagnostic));
    }
    return out;
}

std::vector<Diagnostic> checkDocument(const std::string& path, const OpenDocuments& open, int warningLevel) {
    const std::string folder = folderOf(path);
    char* printed = nullptr;
    size_t printedSize = 0;
    FILE* messages = ::open_memstream(&printed, &printedSize);
    if (!messages) return {};

    // The compile reads the document and its includes through the open
    // documents first, and prints its messages, with their columns, to
    // `messages`; it keeps no state beyond the call.
    const MessageSettings settings{warningLevel, true, path, messages};
    const SourceReader reader = [&](std::string& name) -> std::optional<std::string> {
        name = resolveIn(folder, name);
        return readSource(name, open);
    };
    try {
        std::string opened = path;
        static constexpr const char* kNoExtensions[] = {nullptr};
        makevld(openSource(opened, kNoExtensions, &reader), settings, false, &reader);
    } catch (const VlcExit& exit) {
        // A message printed by the compile is in the stream already; one that
        // ended the loading (a file not found) comes with the exit.
        std::fputs(exit.message.c_str(), messages);
    } catch (const std::bad_alloc&) {
        std::fprintf(messages, "%s\tError: out of memory.\n", path.c_str());
    } catch (const std::exception& failure) {
        // The command line would end here; the server reports it and goes on.
        std::fprintf(messages, "%s\tError: the compile stopped: %s.\n", path.c_str(), failure.what());
    }
    std::fclose(messages);
    std::string text(printed, printedSize);
    std::free(printed);

    auto document = open.find(path);
    return placeMessages(parseCompilerMessages(text), path, document == open.end() ? "" : document->second, open);
}
