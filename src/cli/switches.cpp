#include "cli/switches.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "base/failure.h"

namespace {

int letterIndex(char letter) {
    int c = std::tolower(static_cast<unsigned char>(letter));
    return (c >= 'a' && c <= 'z') ? c - 'a' : -1;
}

constexpr const char* kUsageLines[] = {
    "usage: vlc3 [-switches] source[.VLS] [-o destination[.VLD]] [-e errfile]",
    "switch: -Wnum        warning level(1=none, 2=as V2(traditional),",
    "                                   3=as V3(default), 4=most strict)",
    "        -Znum        compatible level(1=normal(default),",
    "                                      3=VELTRA.X -c)",
    "        -            use standard input (you must use it w/ -c or -o)",
    "        -c           use standard output",
    "        -e errfile   redirect stderr to specified file",
    "        -l           change warning/error message pattern",
    "        -o destname  specify VLD filename",
    "        -h           show this help messages",
    "",
    "Some FM/ADPCM MMLs will be ignored. (however to be supported)",
};

constexpr const char* kTipsLines[] = {
    "vlc3 tips",
    "  When warning level is 1 or 2, vlc2-extended-MML will be warned.",
    "e.g. YAMAHA-exclusive, portament MML at begining of line",
    "",
    "Newer versions are published with the project's source; see its README.",
};

// An argument that begins with '/' is a switch group on the old systems. Here
// '/' also begins an absolute path, so such an argument is taken as a name
// when it holds a second '/' or names something that exists.
bool slashArgumentIsPath(const std::string& arg) {
    if (arg == "/") return false;  // standard input, as `-`
    if (arg.find('/', 1) != std::string::npos) return true;
    struct stat info;
    return stat(arg.c_str(), &info) == 0;
}

void setSource(Options& options, const std::string& name) {
    if (!options.source.empty()) fatalExit(8, "Error: too many sources are specified.\n");
    options.source = name;
}

// -e: every message from here on, the banner included, goes to the file.
void redirectMessages(Options& options, const std::string& name) {
    FILE* file = std::fopen(name.c_str(), "w");
    if (!file) fatalExit(7, "Error: -e: failed to redirect.\n");
    if (options.messages) std::fclose(options.messages);
    options.messages = file;
}

}  // namespace

Options::Options() {
    for (auto& value : letters) value = -1;
    set('l', 1);
    set('v', 3);
    set('w', 3);
    set('z', 1);
}

int Options::get(char letter) const {
    int i = letterIndex(letter);
    return i < 0 ? -1 : letters[i];
}

void Options::set(char letter, int value) {
    int i = letterIndex(letter);
    if (i >= 0) letters[i] = static_cast<int16_t>(static_cast<int8_t>(value));
}

void printBanner(const Options& options) {
    std::fputs("VLS to VLD(V3) compiler version 0.78, written anew for today's systems.\n", options.messageStream());
    std::fputs("for the VELTRA playback system version 3.01A\n", options.messageStream());
}

void usage(const Options& options, int code, int tips) {
    FILE* out = options.messageStream();
    if (tips == 1) {
        for (const char* line : kTipsLines) std::fprintf(out, "%s\n", line);
    } else {
        for (const char* line : kUsageLines) std::fprintf(out, "%s\n", line);
    }
    std::fflush(out);
    throw VlcExit{code, {}};
}

Options parseOptions(int argc, const char* const* argv) {
    Options options;
    parseOptions(argc, argv, options);
    return options;
}

void parseOptions(int argc, const char* const* argv, Options& options) {
    options.no_arguments = argc <= 1;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() > kMaxNameLength) {
            // No name the program holds may be longer: the argument is dropped.
            std::fputs("Warning: too long switches.\n", options.messageStream());
            continue;
        }
        // The long options every command-line tool answers: to standard
        // output, since the text is what was asked for.
        if (arg == "--help") {
            for (const char* line : kUsageLines) std::printf("%s\n", line);
            std::fflush(stdout);
            throw VlcExit{0, {}};
        }
        if (arg == "--version") {
            std::printf("vlc3 0.78 (VLS to VLD version 3 compiler)\n");
            std::fflush(stdout);
            throw VlcExit{0, {}};
        }
        if (arg.empty() || (arg[0] != '-' && arg[0] != '/') || (arg[0] == '/' && slashArgumentIsPath(arg))) {
            setSource(options, arg);
            continue;
        }
        for (char& c : arg) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (arg.size() == 1) {
            setSource(options, "-");
            continue;
        }
        for (size_t k = 1; k < arg.size(); ++k) {
            char c = arg[k];
            if (c == '?') usage(options, 0, 0);
            if (c < 'a' || c > 'z') fatalExit(7, "Error: %c: it's a invalid switch.\n", c);
            if (c == 'o' || c == 'e') {
                std::string name = arg.substr(k + 1);
                if (name.empty() && i + 1 < argc) name = argv[++i];
                if (name.empty()) {
                    if (c == 'o') fatalExit(7, "Error: -o: no VLD file specified.\n");
                    fatalExit(7, "Error: -e: no output file specified.\n");
                }
                if (c == 'o') {
                    options.destination = name.substr(0, kMaxNameLength);
                } else {
                    redirectMessages(options, name);
                }
                break;
            }
            if (k + 1 < arg.size() && std::isdigit(static_cast<unsigned char>(arg[k + 1]))) {
                int64_t number = 0;
                while (k + 1 < arg.size() && std::isdigit(static_cast<unsigned char>(arg[k + 1]))) {
                    number = number * 10 + (arg[++k] - '0');
                    if (number > INT32_MAX) {
                        std::fputs("invalid number.\n", options.messageStream());
                        usage(options, 1, 0);
                    }
                }
                options.set(c, static_cast<int>(number));
            } else {
                options.set(c, -2);
            }
        }
    }
}
