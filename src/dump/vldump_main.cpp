// vldump: lists a compiled VLD file and checks that it holds together.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/whole_file.h"
#include "dump/format.h"
#include "dump/json.h"
#include "dump/vld_dump.h"
#include "dump/vld_listing.h"

namespace {

constexpr int kExitValid = 0;
constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: vldump [-t N] [--json] file.VLD\n"
    "  -t N     list track N only (its place in the track table; 0 the common stream)\n"
    "  --json   print the listing as JSON\n"
    "  --help   this help (also -h); --version the version\n"
    "exit code: 0 the file holds together, 1 it does not (or cannot be read), 2 usage\n";

int usage(const char* problem) {
    if (problem) std::fprintf(stderr, "vldump: %s\n", problem);
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

bool readTrackNumber(const char* text, int& number) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (!*text || *end || value < 0 || value > 255) return false;
    number = static_cast<int>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    vld::DumpOptions options;
    bool json = false;
    const char* name = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "--json") == 0) {
            json = true;
        } else if (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0) {
            std::fputs(kUsage, stdout);
            return kExitValid;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::fputs("vldump 1.0 (vlc3 project)\n", stdout);
            return kExitValid;
        } else if (std::strncmp(arg, "-t", 2) == 0) {
            const char* number = arg[2] ? arg + 2 : (i + 1 < argc ? argv[++i] : "");
            if (!readTrackNumber(number, options.only_stream)) return usage("-t needs a track number from 0");
        } else if (arg[0] == '-' && arg[1]) {
            return usage((std::string("unknown switch ") + arg).c_str());
        } else if (name) {
            return usage("give one file");
        } else {
            name = arg;
        }
    }
    if (!name) return usage(nullptr);

    std::vector<unsigned char> bytes;
    if (!readWholeFile(name, bytes)) {
        std::fprintf(stderr, "vldump: %s: cannot read the file\n", name);
        return kExitMalformed;
    }
    vld::Dump dump = vld::dumpVld(bytes.data(), bytes.size(), options, name);
    if (dump.track_missing) {
        std::fprintf(stderr, "vldump: %s: there is no track %d; the file has %zu track(s)\n", name,
                     options.only_stream, dump.tracks.size());
        return kExitUsage;
    }
    std::string listing = json ? vld::listingJson(dump, options) : vld::listingText(dump, options);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    std::fflush(stdout);
    std::vector<vld::Problem> problems = dump.allProblems();
    for (const vld::Problem& p : problems) {
        std::fprintf(stderr, "vldump: %s: offset %s: %s\n", name, vld::hexNumber(p.file_offset).c_str(),
                     p.message.c_str());
    }
    return problems.empty() ? kExitValid : kExitMalformed;
}
