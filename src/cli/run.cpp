#include "cli/run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <new>

#include "base/failure.h"
#include "base/memory.h"
#include "base/random.h"
#include "cli/switches.h"
#include "compile/compile.h"
#include "compile/vld_writer.h"
#include "scan/diagnostics.h"
#include "scan/line_tracking.h"
#include "source/load.h"

namespace {

constexpr const char* kSourceExtensions[] = {".VLS", ".VL3", ".OPM", nullptr};

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

void resetRunState() {
    resetLineTracking();
    beginMessages(MessageSettings{});
    seedRandom(static_cast<uint32_t>(std::time(nullptr)));
}

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
