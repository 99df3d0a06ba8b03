#include "support/harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <gtest/gtest.h>

#include "dump/vld_dump.h"
#include "export/player.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kRunTimeoutSeconds = 60;
constexpr std::string_view kBannerStart = "VLS to VLD(V3) compiler version 0.78,";

Bytes readWhole(const std::string& path) {
    std::error_code ignored;
    if (!fs::is_regular_file(path, ignored)) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWhole(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("harness: cannot write " + path);
}

// Whether any source the run could read (its standard input and every file
// in its directory but the compiled one) holds a `;`, which writes raw bytes
// into a stream: then the stream holds whatever the user wrote.
bool mayHoldRawBytes(const TempDir& dir, std::string_view stdinBytes, std::string_view vldName) {
    if (stdinBytes.find(';') != std::string_view::npos) return true;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path(), ignored)) {
        if (!entry.is_regular_file(ignored) || entry.path().filename() == vldName) continue;
        Bytes bytes = readWhole(entry.path().string());
        if (std::find(bytes.begin(), bytes.end(), ';') != bytes.end()) return true;
    }
    return false;
}

// Whether the track streams play straight through: no jump, loop, wait,
// replay or end code before the last event. Then the played length is the
// longest track's length that the header keeps.
bool playsStraightThrough(const vld::Dump& dump) {
    for (const vld::Stream& stream : dump.streams) {
        if (stream.order == 0) continue;
        for (size_t i = 0; i < stream.events.size(); ++i) {
            const vld::Event& e = stream.events[i];
            bool last = i + 1 == stream.events.size();
            switch (e.code) {
            case 0xC5:
                if (e.number("kind") <= 1) return false;  // D.C., do
                break;
            case 0xD3:
            case 0xD4:
            case 0xFC:
            case 0xF5:
            case 0xBD:
            case 0xFB: return false;
            case 0xBE:
                if (e.name == "synchronize") return false;
                break;
            case 0xFF:
                if (!last) return false;
                break;
            default: break;
            }
        }
    }
    return true;
}

// Whether a source of the run holds a tuplet: a repeat inside one plays some
// of the tuplet's notes twice, while the track counts the tuplet's length.
bool mayHoldTuplets(const TempDir& dir, std::string_view stdinBytes) {
    if (stdinBytes.find('{') != std::string_view::npos) return true;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path(), ignored)) {
        if (!entry.is_regular_file(ignored) || entry.path().extension() == ".VLD") continue;
        Bytes bytes = readWhole(entry.path().string());
        if (std::find(bytes.begin(), bytes.end(), '{') != bytes.end()) return true;
    }
    return false;
}

// Every file the compiler writes plays: the export never refuses it, and a
// piece that plays straight through ends at the header's longest track.
// Left out of that second check: steps above 32767 clocks, which the file
// cannot tell from shorter ones, and tuplets (see mayHoldTuplets).
void expectPlayable(const RunResult& run, const vld::Dump& dump, const TempDir& dir, std::string_view stdinBytes,
                    std::string_view vldName) {
    vld::ExportOptions options;
    options.event_budget = 5'000'000;  // a test's pieces are short; a runaway repeat ends soon
    vld::ExportResult result = vld::exportVld(run.vldBytes, options);
    if (result.outcome == vld::ExportResult::Outcome::malformed) {
        ADD_FAILURE() << "vld2mid refuses the compiled file " << vldName << " of " << dir.path() << ": "
                      << result.message;
        return;
    }
    if (result.outcome == vld::ExportResult::Outcome::written && playsStraightThrough(dump) &&
        dump.header.longest_clocks <= 32767 && result.end_clock != dump.header.longest_clocks &&
        !mayHoldTuplets(dir, stdinBytes)) {
        ADD_FAILURE() << "the export of " << vldName << " of " << dir.path() << " ends at clock " << result.end_clock
                      << ", the header's longest track at " << dump.header.longest_clocks;
    }
}

// Every file the compiler writes must read back, stream by stream, to its
// end: the listing and the player depend on it. Checked on every successful
// run of the tests.
void expectReadableByDumper(const RunResult& run, const TempDir& dir, std::string_view stdinBytes,
                            std::string_view vldName) {
    if (run.exitCode != 0 || run.vldBytes.empty() || mayHoldRawBytes(dir, stdinBytes, vldName)) return;
    vld::Dump dump = vld::dumpVld(run.vldBytes.data(), run.vldBytes.size(), vld::DumpOptions{});
    for (const vld::Problem& problem : dump.allProblems()) {
        ADD_FAILURE() << "vldump cannot read the compiled file " << vldName << " of " << dir.path() << ": offset "
                      << problem.file_offset << ": " << problem.message;
    }
    for (const vld::Stream& stream : dump.streams) {
        if (dump.ok() && !stream.read_as_written) {
            ADD_FAILURE() << "vldump reads stream " << stream.order << " of the compiled file " << vldName << " of "
                          << dir.path() << " only more loosely than the compiler writes";
        }
    }
    if (dump.ok()) expectPlayable(run, dump, dir, stdinBytes, vldName);
}

}  // namespace

TempDir::TempDir() {
    fs::path base = fs::temp_directory_path() / "vlc3-test-XXXXXX";
    std::string pattern = base.string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("harness: mkdtemp failed");
    root_ = pattern;
    work_ = root_ + "/work";
    fs::create_directory(work_);
}

TempDir::~TempDir() {
    if (std::getenv("VLC3_KEEP_TEMP")) return;
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

std::string TempDir::pathOf(std::string_view name) const { return work_ + "/" + std::string(name); }

std::string TempDir::ioPath(std::string_view name) const { return root_ + "/" + std::string(name); }

void TempDir::write(std::string_view name, std::string_view bytes) const {
    fs::path path = pathOf(name);
    if (path.has_parent_path()) fs::create_directories(path.parent_path());
    writeWhole(path.string(), bytes);
}

void TempDir::makeDir(std::string_view name) const { fs::create_directories(pathOf(name)); }

bool TempDir::exists(std::string_view name) const { return fs::exists(pathOf(name)); }

Bytes TempDir::read(std::string_view name) const { return readWhole(pathOf(name)); }

std::vector<std::string> TempDir::list() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(work_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

RunResult runProgramIn(const TempDir& dir, const std::string& binary, const std::vector<std::string>& args,
                       std::string_view stdinBytes) {
    const std::string inPath = dir.ioPath("stdin");
    const std::string outPath = dir.ioPath("stdout");
    const std::string errPath = dir.ioPath("stderr");
    writeWhole(inPath, stdinBytes);

    // Everything the child needs is prepared before fork: after it, only
    // async-signal-safe calls.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string& workDir = dir.path();

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("harness: fork failed");
    if (pid == 0) {
        int in = ::open(inPath.c_str(), O_RDONLY);
        int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(126);
        ::close(in);
        ::close(out);
        ::close(err);
        if (::chdir(workDir.c_str()) != 0) ::_exit(126);
        // A pending alarm survives exec: a compiler stuck in a loop is killed
        // instead of hanging the suite.
        ::signal(SIGALRM, SIG_DFL);
        ::alarm(kRunTimeoutSeconds);
        ::execv(binary.c_str(), argv.data());
        ::_exit(127);
    }

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("harness: waitpid failed");
    }

    RunResult result;
    if (WIFEXITED(status)) {
        result.exitCode = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.exitCode = 128 + WTERMSIG(status);
    }
    result.stdoutBytes = readWhole(outPath);
    result.stderrText = textOf(readWhole(errPath));
    return result;
}

RunResult runVlc3In(const TempDir& dir, const std::vector<std::string>& args, std::string_view stdinBytes,
                    std::string_view vldName) {
    RunResult result = runProgramIn(dir, VLC3_BINARY, args, stdinBytes);
    std::error_code ignored;
    result.vldExists = fs::is_regular_file(dir.pathOf(vldName), ignored);
    if (result.vldExists) result.vldBytes = dir.read(vldName);
    expectReadableByDumper(result, dir, stdinBytes, vldName);
    return result;
}

RunResult compileSource(std::string_view source, const std::vector<std::string>& extraArgs,
                        const std::vector<SourceFile>& extraFiles) {
    TempDir dir;
    dir.write("song.vls", source);
    for (const SourceFile& file : extraFiles) dir.write(file.name, file.bytes);
    std::vector<std::string> args{"song.vls"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    return runVlc3In(dir, args);
}

bool hasBanner(const std::string& stderrText) {
    if (stderrText.compare(0, kBannerStart.size(), kBannerStart) != 0) return false;
    size_t first = stderrText.find('\n');
    return first != std::string::npos && stderrText.find('\n', first + 1) != std::string::npos;
}

std::string withoutBanner(const std::string& stderrText) {
    if (!hasBanner(stderrText)) return stderrText;
    return stderrText.substr(stderrText.find('\n', stderrText.find('\n') + 1) + 1);
}

std::string stderrWithoutBanner(const RunResult& result) { return withoutBanner(result.stderrText); }

std::string firstMessage(const RunResult& result) {
    std::string text = stderrWithoutBanner(result);
    return text.substr(0, text.find('\n'));
}
