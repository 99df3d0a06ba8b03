// End-to-end harness: runs the real vlc3 binary in a fresh directory with the
// files, arguments and standard input a case gives, and collects everything a
// user would see: exit code, standard output, standard error and the compiled
// file.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "support/vld_reader.h"

// The whole compiled file of a source with nothing but blanks and comments:
// the header (time base 192, tempo 120, no common stream) and an empty
// track table.
inline constexpr const char* kEmptyVldHex =
    "1A 56 65 4C 74 52 61 30 00 00 00 00 00 00 00 40 00 00 00 00 00 00 00 54 "
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 00 00 C0 00 78 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "00 00 00 00 00 00 00 00 FF FF";

// A fresh directory under the system's temporary directory, removed with all
// its contents when the object goes (kept when VLC3_KEEP_TEMP is set in the
// environment, for looking at a failing case by hand).
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The directory the compiler runs in.
    const std::string& path() const { return work_; }
    std::string pathOf(std::string_view name) const;

    // Writes the bytes exactly as given (no line end is added), creating the
    // directories in the name as needed.
    void write(std::string_view name, std::string_view bytes) const;
    void makeDir(std::string_view name) const;
    bool exists(std::string_view name) const;
    Bytes read(std::string_view name) const;  // empty unless a regular file
    // Names of everything in the directory (not recursive), sorted.
    std::vector<std::string> list() const;

    // Where the harness keeps the captured streams: beside, not inside, the
    // directory the compiler sees.
    std::string ioPath(std::string_view name) const;

private:
    std::string root_;
    std::string work_;
};

struct RunResult {
    int exitCode = -1;  // 128 + the signal number when the process was killed
    Bytes stdoutBytes;
    std::string stderrText;
    Bytes vldBytes;     // the compiled file, empty when none was written
    bool vldExists = false;  // a regular file of that name is there
};

// One extra file of a case, such as an included source.
struct SourceFile {
    std::string name;
    std::string bytes;
};

// Runs `vlc3 args...` with `dir` as the current directory and `stdinBytes` on
// standard input. `vldName` names the compiled file collected afterwards. A
// run that takes longer than a minute is killed (exit code 128 + SIGALRM).
RunResult runVlc3In(const TempDir& dir, const std::vector<std::string>& args, std::string_view stdinBytes = {},
                    std::string_view vldName = "song.VLD");

// Runs any program of the build (`binary args...`) the same way, with `dir`
// as the current directory; the compiled-file fields stay empty.
RunResult runProgramIn(const TempDir& dir, const std::string& binary, const std::vector<std::string>& args,
                       std::string_view stdinBytes = {});

// Writes `source` to song.vls (and the extra files beside it) in a fresh
// directory and runs `vlc3 song.vls extraArgs...`.
RunResult compileSource(std::string_view source, const std::vector<std::string>& extraArgs = {},
                        const std::vector<SourceFile>& extraFiles = {});

// True when standard error begins with the two banner lines.
bool hasBanner(const std::string& stderrText);
// Standard error without the two banner lines (unchanged when it does not
// begin with the banner).
std::string stderrWithoutBanner(const RunResult& result);
std::string withoutBanner(const std::string& stderrText);
// The first line of standard error behind the banner: the first message.
std::string firstMessage(const RunResult& result);
