#include "cli/run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <new>

#include "cli/memory.h"
#include "cli/switches.h"
#include "compile/compile.h"
#include "compile/vld_writer.h"
#include "scan/diagnostics.h"
#include "scan/line_tracking.h"
#include "track/random.h"

namespace {

constexpr const char* kSourceExtensions[] = {".VLS", ".VL3", ".OPM", nullptr};

// A source saved by an editor that marks UTF-8 begins with EF BB BF. No
// Shift_JIS text begins with those bytes (EF BB is no assigned character), so
// they are dropped and line 1 compiles as written.
void dropByteOrderMark(SourceText& text) {
    static constexpr unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
    if (text.size() >= 3 && std::equal(kMark, kMark + 3, text.begin())) text.erase(text.begin(), text.begin() + 3);
}

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

// Cut at the last '.' (one in the first position does not count) and put the
// destination extension in its place.
std::string withExtension(std::string name, const char* extension) {
    size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot >= 1) name.resize(dot);
    return name + extension;
}

// The compiled file of a source goes to the current directory: the source's
// name with the destination extension, without its directories.
std::string defaultDestination(const std::string& source, const char* extension) {
    std::string name = withExtension(source, extension);
    size_t cut = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        if (isLeadByte(c)) {
            ++i;
        } else if (c == '\\' || c == '/') {
            cut = i + 1;
        }
    }
    return name.substr(cut);
}

// A destination that ends in '/' or names an existing directory is where the
// compiled file goes, not its name.
bool namesDirectory(const std::string& name) {
    if (name.back() == '/') return true;
    struct stat info;
    return ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The process-wide state of a run starts afresh each time.
void resetRunState() {
    resetLineTracking();
    beginMessages(MessageSettings{});
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
}

void closeErrorFile() {
    FILE* err = errStream();
    std::fflush(err);
    if (err != stderr) std::fclose(err);
    setErrStream(nullptr);
}

int compileRun(int argc, const char* const* argv) {
    Options options = parseOptions(argc, argv);
    printBanner();
    if (options.no_arguments) usage(0, 0);
    int help = options.get('h');
    if (help == 1) usage(0, 1);
    if (help != -1) usage(0, 0);
    if (!options.destination.empty() && options.toStandardOutput()) fatalExit(8, "You cannot use both -c and -o.\n");
    if (options.get('w') == -2) fatalExit(7, "You cannot omit -w's parameter.\n");
    if (options.source.empty()) fatalExit(1, "Error: source file is not specified.\n");

    SourceText source = resolveNames(options, kSourceExtensions, ".VLD");
    beginMessages(messageSettingsOf(options));
    CompiledSong song = makevld(std::move(source), options.source, options.debugDump());
    if (options.keepsEveryTrack()) song.header.keep_every_track = true;
    writeVld(song.tracks, song.header, song.longest_clocks,
             options.toStandardOutput() ? std::string() : options.destination);
    return 0;
}

}  // namespace

int runVlc3(int argc, const char* const* argv) {
    resetRunState();
    int code;
    try {
        code = compileRun(argc, argv);
    } catch (const VlcExit& exit) {
        code = exit.code;
    } catch (const std::bad_alloc&) {
        errPrintf("malloc failed.\n");
        code = 10;
    }
    closeErrorFile();
    return code;
}

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
    text.resize(static_cast<size_t>(size));
    size_t got = size ? std::fread(text.data(), 1, text.size(), file) : 0;
    std::fclose(file);
    if (got < text.size()) fatalExit(4, "%s\tError: read error.\n", name);
    finishText(text);
    return true;
}

SourceText openSource(std::string& name, const char* const* extensions) {
    const std::string asTyped = name;
    SourceText text;
    bool found = readfile(name.c_str(), text);
    for (int i = 0; !found && extensions[i]; ++i) {
        name = asTyped + extensions[i];
        found = readfile(name.c_str(), text);
    }
    // On a system whose file names keep their case, song.vls is also found.
    for (int i = 0; !found && extensions[i]; ++i) {
        std::string lowered = extensions[i];
        for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        name = asTyped + lowered;
        found = readfile(name.c_str(), text);
    }
    if (!found) fatalExit(1, "%s\tError: file not found.\n", asTyped.c_str());
    return text;
}

SourceText resolveNames(Options& options, const char* const* extensions, const char* destinationExtension) {
    if (options.source[0] == '-' && !options.toStandardOutput() && options.destination.empty())
        fatalExit(11, "Error: destination file is not specified.\n");
    std::string work = options.source;
    SourceText text = openSource(work, extensions);
    options.source = work;
    const std::string given = options.destination;
    if (given.empty()) {
        options.destination = defaultDestination(work, destinationExtension);
    } else if (namesDirectory(given)) {
        // The file the source would give in the current directory, put there.
        if (options.source == "-") fatalExit(11, "Error: destination file is not specified.\n");
        std::string directory = given;
        if (directory.back() != '/') directory += '/';
        options.destination = directory + defaultDestination(work, destinationExtension);
    } else {
        options.destination = withExtension(given, destinationExtension);
    }
    return text;
}
