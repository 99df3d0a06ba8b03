// The files a compile in the server sees: the editor's open documents first,
// then the disk. Names in a source are taken from the folder of the document
// being checked, as the command line takes them from the current directory
// when it is run from the source's own folder.
#pragma once
#include <map>
#include <optional>
#include <string>
#include <string_view>

// Open documents by their normalised absolute path (or, for a document that
// has no file, by its URI), with the text the editor holds.
using OpenDocuments = std::map<std::string, std::string>;

// The folder of a path, ending in '/'; empty for a name with no folder.
std::string folderOf(const std::string& path);

// `name` taken from `folder` (an absolute name stays as it is), normalised.
std::string resolveIn(const std::string& folder, const std::string& name);

// The text of a file: the open document of that path, else the file on disk.
// Nothing when neither exists (or the name is a folder).
std::optional<std::string> readSource(const std::string& path, const OpenDocuments& open);

// The file an `.include name` line reads, found as the compiler finds it:
// the name as written, then with `.vlc` added. Nothing when neither exists.
std::optional<std::string> findInclude(const std::string& folder, const std::string& name,
                                       const OpenDocuments& open);

// Whether `.include name` read from `folder` means the file `path` (found or
// not: a document that was just closed is no longer found).
bool includeNames(const std::string& folder, const std::string& name, const std::string& path);

// The name written behind `.include` on a line that holds one (after blanks),
// with the byte range it takes; nothing on any other line.
struct IncludeLine {
    std::string name;
    size_t start = 0;
    size_t end = 0;
};
std::optional<IncludeLine> includeOnLine(std::string_view line);

// Case-blind comparison of `text` from `at` with an ASCII keyword.
bool startsWithWord(std::string_view text, size_t at, std::string_view keyword);
