#include "lsp/workspace.h"

#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "base/whole_file.h"

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string resolveIn(const std::string& folder, const std::string& name) {
    std::filesystem::path whole = (name.empty() || name[0] == '/') ? std::filesystem::path(name)
                                                                   : std::filesystem::path(folder + name);
    return whole.lexically_normal().string();
}

std::optional<std::string> readSource(const std::string& path, const OpenDocuments& open) {
    auto document = open.find(path);
    if (document != open.end()) return document->second;
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return std::nullopt;
    std::vector<unsigned char> bytes;
    if (!readWholeFile(path.c_str(), bytes)) return std::nullopt;
    return std::string(bytes.begin(), bytes.end());
}

std::optional<std::string> findInclude(const std::string& folder, const std::string& name,
                                       const OpenDocuments& open) {
    if (name.empty()) return std::nullopt;
    for (const char* extension : {"", ".vlc"}) {
        std::string path = resolveIn(folder, name + extension);
        struct stat info;
        if (open.count(path) || (::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))) return path;
    }
    return std::nullopt;
}

bool includeNames(const std::string& folder, const std::string& name, const std::string& path) {
    return !name.empty() && (resolveIn(folder, name) == path || resolveIn(folder, name + ".vlc") == path);
}

bool startsWithWord(std::string_view text, size_t at, std::string_view keyword) {
    if (text.size() < at || text.size() - at < keyword.size()) return false;
    for (size_t i = 0; i < keyword.size(); ++i) {
        char c = text[at + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        char k = keyword[i];
        if (k >= 'A' && k <= 'Z') k = static_cast<char>(k - 'A' + 'a');
        if (c != k) return false;
    }
    return true;
}

std::optional<IncludeLine> includeOnLine(std::string_view line) {
    size_t at = line.find_first_not_of(" \t");
    if (at == std::string_view::npos || !startsWithWord(line, at, ".include")) return std::nullopt;
    // As the preprocessor reads it: blanks, then printable non-blank
    // characters up to `/`, which begins a comment.
    at += 8;
    while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
    size_t start = at;
    while (at < line.size()) {
        unsigned char c = static_cast<unsigned char>(line[at]);
        if (c <= 0x20 || c == 0x7F || c == '/' || c == 255) break;
        ++at;
    }
    return IncludeLine{std::string(line.substr(start, at - start)), start, at};
}
