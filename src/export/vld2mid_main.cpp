// vld2mid: plays a compiled VLD file into a Standard MIDI File, so that any
// synthesizer, player or DAW can sound the piece.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include "base/replacing_file.h"
#include "base/whole_file.h"
#include "dump/event_decoder.h"
#include "dump/format.h"
#include "dump/vld_dump.h"
#include "export/player.h"

namespace {

constexpr int kExitWritten = 0;
constexpr int kExitMalformed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCannotWrite = 3;
constexpr int kExitCut = 4;

const char kVersion[] = "vld2mid 1.0 (vlc3 project)\n";

const char kUsage[] =
    "usage: vld2mid [options] song.VLD [-o song.mid]\n"
    "  -o FILE              the MIDI file (default: the input's name with .mid, in the\n"
    "                       current directory; - for standard output)\n"
    "  --loops N            passes of an endless [do]...[loop], 1-99 (default 2)\n"
    "  --repeats-after-jump play|skip  repeats after a D.C. or D.S.: all passes, or\n"
    "                       only the last (default play)\n"
    "  --fm auto|skip       FM tracks on free MIDI channels, or left out (default auto)\n"
    "  --fm-program N|keep  the program of FM tracks, 1-128, or their voice numbers\n"
    "                       (default 1)\n"
    "  --adpcm drums|skip|map:FILE  ADPCM tracks on channel 10, left out, or with\n"
    "                       their notes mapped by FILE's lines \"note gm-note\" (default drums)\n"
    "  --interface N        only the MIDI tracks of interface N (default all)\n"
    "  --modulation approx|off  ARCC controller modulation (default approx)\n"
    "  --lfo off|approx     the pitch LFO (default off)\n"
    "  --fades off|approx   faders (default off)\n"
    "  --velocity N         every track's starting velocity, 1-127 (default 127)\n"
    "  --lead-in CLOCKS     silence after the setup exclusives (default 0)\n"
    "  --max-minutes M      stop after M minutes of music (default 60)\n"
    "  --list               print the notes (track, position, clocks, channel, note,\n"
    "                       velocity) instead of writing a file\n"
    "  -q                   no summary; -v every skipped or approximated event\n"
    "  -h, --help           this help; --version the version\n"
    "exit code: 0 written, 1 the input cannot be read or does not hold together,\n"
    "2 usage, 3 the output cannot be written, 4 written but cut short by a guard\n";

int usage(const std::string& problem) {
    std::fprintf(stderr, "vld2mid: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

bool readInteger(const char* text, long low, long high, long& value) {
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return *text && !*end && errno == 0 && value >= low && value <= high;
}

// Writes the file under a temporary name beside `name` and renames it into
// place when complete: a failure or a signal leaves no partial file, and an
// existing file stays as it was.
bool writeMidi(int fd, const vld::ExportResult& result) {
    return vld::writeSmfFile(result.division, result.tracks,
                             [fd](std::span<const uint8_t> piece) { return writeAll(fd, piece.data(), piece.size()); });
}

bool writeFile(const std::string& name, const vld::ExportResult& result) {
    ReplacingFile file(name);
    return file.opened() && file.finish(writeMidi(file.descriptor(), result)) == ReplacingFile::Outcome::kReplaced;
}

std::string defaultOutput(const std::string& input) {
    std::string base = input.substr(input.find_last_of('/') + 1);
    size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base.erase(dot);
    return base + ".mid";
}

std::string minutesAndSeconds(double seconds) {
    char text[32];
    int whole = static_cast<int>(seconds * 10 + 0.5);
    std::snprintf(text, sizeof text, "%d:%02d.%d", whole / 600, whole / 10 % 60, whole % 10);
    return text;
}

void printTimeline(const vld::ExportResult& result) {
    vld::Timing timing = vld::Timing::of(result.time_base, result.meter);
    std::printf("track  position  start  end  length  channel  note  name  velocity\n");
    for (const vld::TimelineNote& n : vld::noteTimeline(result)) {
        std::string channel = std::to_string(n.channel + 1);
        if (result.several_ports) channel = std::to_string(n.port + 1) + ":" + channel;
        std::printf("%-6d %-9s %-6u %-4u %-7u %-8s %-5u %-5s %u\n", n.track, timing.position(n.start).c_str(), n.start,
                    n.end, n.end - n.start, channel.c_str(), n.pitch, vld::noteName(n.pitch).c_str(), n.velocity);
    }
}

bool readAdpcmMap(const char* name, vld::ExportOptions& options) {
    options.adpcm_map.fill(-1);
    std::FILE* file = std::fopen(name, "r");
    if (!file) return false;
    char line[256];
    int number = 0;
    bool ok = true;
    while (std::fgets(line, sizeof line, file)) {
        ++number;
        int from = 0, to = 0;
        char rest = 0;
        if (line[0] == '#' || std::sscanf(line, " %c", &rest) != 1) continue;
        if (std::sscanf(line, "%d %d %c", &from, &to, &rest) != 2 || from < 0 || from > 127 || to < 0 || to > 127) {
            std::fprintf(stderr, "vld2mid: %s\t%d: a line must hold two note numbers, 0-127\n", name, number);
            ok = false;
            continue;
        }
        options.adpcm_map[from] = static_cast<int16_t>(to);
    }
    std::fclose(file);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    vld::ExportOptions options;
    const char* input = nullptr;
    std::string output;
    bool list = false, quiet = false, verbose = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](const char*& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        const char* v = nullptr;
        long number = 0;
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return kExitWritten;
        } else if (arg == "--version") {
            std::fputs(kVersion, stdout);
            return kExitWritten;
        } else if (arg == "-o") {
            if (!value(v)) return usage("-o needs a file name");
            output = v;
        } else if (arg == "--loops") {
            if (!value(v) || !readInteger(v, 1, 99, number)) return usage("--loops needs a number from 1 to 99");
            options.loops = static_cast<int>(number);
        } else if (arg == "--repeats-after-jump") {
            if (!value(v) || (std::strcmp(v, "play") != 0 && std::strcmp(v, "skip") != 0)) {
                return usage("--repeats-after-jump needs play or skip");
            }
            options.repeats_after_jump = std::strcmp(v, "play") == 0;
        } else if (arg == "--fm") {
            if (!value(v) || (std::strcmp(v, "auto") != 0 && std::strcmp(v, "skip") != 0)) {
                return usage("--fm needs auto or skip");
            }
            options.fm = std::strcmp(v, "auto") == 0;
        } else if (arg == "--fm-program") {
            if (!value(v)) return usage("--fm-program needs a program from 1 to 128, or keep");
            if (std::strcmp(v, "keep") == 0) options.fm_program = 0;
            else if (readInteger(v, 1, 128, number)) options.fm_program = static_cast<int>(number);
            else return usage("--fm-program needs a program from 1 to 128, or keep");
        } else if (arg == "--adpcm") {
            if (!value(v)) return usage("--adpcm needs drums, skip or map:FILE");
            if (std::strcmp(v, "drums") == 0) {
                options.adpcm = vld::ExportOptions::Adpcm::drums;
            } else if (std::strcmp(v, "skip") == 0) {
                options.adpcm = vld::ExportOptions::Adpcm::skip;
            } else if (std::strncmp(v, "map:", 4) == 0 && v[4]) {
                options.adpcm = vld::ExportOptions::Adpcm::map;
                if (!readAdpcmMap(v + 4, options)) return usage(std::string("cannot read the ADPCM map ") + (v + 4));
            } else {
                return usage("--adpcm needs drums, skip or map:FILE");
            }
        } else if (arg == "--interface") {
            if (!value(v) || !readInteger(v, 1, 256, number)) return usage("--interface needs a number from 1");
            options.interface = static_cast<int>(number);
        } else if (arg == "--modulation" || arg == "--lfo" || arg == "--fades") {
            const char* on = arg == "--modulation" ? "approx" : "approx";
            if (!value(v) || (std::strcmp(v, on) != 0 && std::strcmp(v, "off") != 0)) {
                return usage(arg + " needs approx or off");
            }
            bool approx = std::strcmp(v, "approx") == 0;
            (arg == "--modulation" ? options.modulation : arg == "--lfo" ? options.lfo : options.fades) = approx;
        } else if (arg == "--velocity") {
            if (!value(v) || !readInteger(v, 1, 127, number)) return usage("--velocity needs a number from 1 to 127");
            options.velocity = static_cast<int>(number);
        } else if (arg == "--lead-in") {
            if (!value(v) || !readInteger(v, 0, 1 << 24, number)) return usage("--lead-in needs a count of clocks");
            options.lead_in = static_cast<uint32_t>(number);
        } else if (arg == "--max-minutes") {
            if (!value(v) || !readInteger(v, 1, 24 * 60, number)) {
                return usage("--max-minutes needs a number from 1 to 1440");
            }
            options.max_minutes = static_cast<double>(number);
        } else if (arg == "--list") {
            list = true;
        } else if (arg == "-q") {
            quiet = true;
        } else if (arg == "-v") {
            verbose = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage("unknown option " + arg);
        } else if (input) {
            return usage("give one VLD file");
        } else {
            input = argv[i];
        }
    }
    if (!input) return usage("give a VLD file");
    options.details = verbose;
    options.keep_notes = list;

    std::vector<uint8_t> bytes;
    if (!readWholeFile(input, bytes)) {
        std::fprintf(stderr, "vld2mid: %s: cannot read the file (%s)\n", input, std::strerror(errno));
        return kExitMalformed;
    }
    vld::ExportResult result = vld::exportVld(bytes, options);
    if (result.outcome == vld::ExportResult::Outcome::malformed) {
        std::fprintf(stderr, "vld2mid: %s: %s; nothing written\n", input, result.message.c_str());
        return kExitMalformed;
    }

    if (output.empty()) output = defaultOutput(input);
    if (list) {
        printTimeline(result);
        std::fflush(stdout);
    } else {
        bool written = false;
        if (output == "-") {
            std::fflush(stdout);
            written = writeMidi(STDOUT_FILENO, result);
        } else {
            written = writeFile(output, result);
        }
        if (!written) {
            std::fprintf(stderr, "vld2mid: %s: cannot write the file (%s)\n", output.c_str(), std::strerror(errno));
            return kExitCannotWrite;
        }
    }

    if (!quiet) {
        std::string to = list ? "note list" : output == "-" ? "standard output" : output;
        std::string sounding;
        if (result.sound_end_clock > result.end_clock) {
            sounding = " (sounding to " + std::to_string(result.sound_end_clock) + ")";
        }
        std::fprintf(stderr, "vld2mid: %s -> %s: %zu tracks, %zu notes, %u clocks%s, %s\n", input, to.c_str(),
                     result.tracks.empty() ? 0 : result.tracks.size() - 1, result.notes, result.end_clock,
                     sounding.c_str(), minutesAndSeconds(result.seconds).c_str());
        using Outcome = vld::ExportSummary::Outcome;
        std::string skipped = result.summary.line(Outcome::skipped);
        std::string approximated = result.summary.line(Outcome::approximated);
        if (!skipped.empty()) std::fprintf(stderr, "vld2mid: skipped: %s\n", skipped.c_str());
        if (!approximated.empty()) std::fprintf(stderr, "vld2mid: approximated: %s\n", approximated.c_str());
        for (const std::string& w : result.summary.warnings()) std::fprintf(stderr, "vld2mid: warning: %s\n", w.c_str());
        if (size_t more = result.summary.warningsLeftOut()) {
            std::fprintf(stderr, "vld2mid: warning: %zu more warnings left out\n", more);
        }
        if (verbose) {
            for (const auto& d : result.summary.details()) {
                std::fprintf(stderr, "vld2mid: track %d, stream offset %s, clock %u: %s %s (%.*s)\n", d.track,
                             vld::hexNumber(d.offset).substr(2).c_str(), d.clock,
                             d.outcome == Outcome::skipped ? "skipped" : "approximated", d.kind.c_str(),
                             static_cast<int>(d.event.size()), d.event.data());
            }
            if (size_t more = result.summary.detailsLeftOut()) {
                std::fprintf(stderr, "vld2mid: %zu more skipped or approximated events left out of this list\n", more);
            }
        }
    }
    if (result.outcome == vld::ExportResult::Outcome::cut) {
        std::fprintf(stderr, "vld2mid: %s: %s\n", input, result.message.c_str());
        return kExitCut;
    }
    return kExitWritten;
}
