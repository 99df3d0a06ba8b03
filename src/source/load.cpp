#include "source/load.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "base/failure.h"

namespace {

// A source saved by an editor that marks UTF-8 begins with EF BB BF. No
// Shift_JIS text begins with those bytes (EF BB is no assigned character), so
// they are dropped and line 1 compiles as written.
void dropByteOrderMark(SourceText& text) {
    static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
    if (text.size() >= 3 && std::equal(kMark, kMark + 3, text.begin())) text.erase(text.begin(), text.begin() + 3);
}

// CR, LF and four bytes 255 end every text read.
constexpr size_t kEndBytes = 6;

void finishText(SourceText& text) {
    dropByteOrderMark(text);
    text.insert(text.end(), {'\r', '\n', 255, 255, 255, 255});
}

bool readStandardInput(SourceText& text) {
    text.clear();
    unsigned char chunk[16384];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) text.insert(text.end(), chunk, chunk + n);
    // A closed standard input, or a directory in its place, is a failed read,
    // not an empty source.
    bool failed = std::ferror(stdin) != 0;
    std::clearerr(stdin);
    if (failed) fatalExit(4, "-\tError: read error.\n");
    // Every byte is kept; only a final end-of-file mark (0x1A) is dropped.
    if (!text.empty() && text.back() == 0x1A) text.pop_back();
    finishText(text);
    return true;
}

// One name tried for openSource: through the host's reader when there is one.
bool readCandidate(std::string& name, SourceText& text, const SourceReader* reader) {
    if (!reader || !*reader) return readfile(name.c_str(), text);
    std::optional<std::string> bytes = (*reader)(name);
    if (!bytes) return false;
    text.reserve(bytes->size() + kEndBytes);
    text.assign(bytes->begin(), bytes->end());
    finishText(text);
    return true;
}

}  // namespace

bool readfile(const char* name, SourceText& text) {
    if (name[0] == '-' && name[1] == '\0') return readStandardInput(text);
    struct stat info;
    if (::stat(name, &info) != 0 || S_ISDIR(info.st_mode)) return false;
    FILE* file = std::fopen(name, "rb");
    if (!file) return false;
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::rewind(file);
    text.clear();
    if (size < 0) {
        std::fclose(file);
        fatalExit(4, "%s\tError: read error.\n", name);
    }
    // Room for the end bytes too, so that adding them copies nothing.
    text.reserve(static_cast<size_t>(size) + kEndBytes);
    text.resize(static_cast<size_t>(size));
    size_t got = size ? std::fread(text.data(), 1, text.size(), file) : 0;
    std::fclose(file);
    if (got < text.size()) fatalExit(4, "%s\tError: read error.\n", name);
    finishText(text);
    return true;
}

SourceText openSource(std::string& name, const char* const* extensions, const SourceReader* reader) {
    const std::string asTyped = name;
    SourceText text;
    bool found = readCandidate(name, text, reader);
    for (int i = 0; !found && extensions[i]; ++i) {
        name = asTyped + extensions[i];
        found = readCandidate(name, text, reader);
    }
    // On a system whose file names keep their case, song.vls is also found.
    for (int i = 0; !found && extensions[i]; ++i) {
        std::string lowered = extensions[i];
        for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        name = asTyped + lowered;
        found = readCandidate(name, text, reader);
    }
    if (!found) fatalExit(1, "%s\tError: file not found.\n", asTyped.c_str());
    return text;
}
