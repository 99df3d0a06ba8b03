// Fuzz target: arbitrary bytes compiled as a source, in-process, through the
// same entry point as the command line.
//
// Input layout: when the first byte is '-', the first line holds switches
// separated by blanks (letters and digits only; -o and -e get fixed names);
// the rest of the input is the source. Otherwise the whole input is the
// source. The run happens in a private directory that also holds a small
// file to include, so `.include inc` works.
//
// Checked after every run: a failed compile leaves no file behind (the
// message file of -e and the dump of -d aside), and a successful one leaves
// a compiled file that vldump reads to the end of every stream. Inputs with
// a `;` are left out of that second check: `;` writes the user's raw bytes
// into a stream, and what they hold is the user's doing.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/failure.h"
#include "cli/run.h"
#include "dump/vld_dump.h"

namespace {

std::vector<unsigned char> slurp(const char* name) {
    std::vector<unsigned char> bytes;
    FILE* file = std::fopen(name, "rb");
    if (!file) return bytes;
    unsigned char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    return bytes;
}

// The private directory the runs happen in, and the one to come back to
// (libFuzzer reads and writes its corpus by relative names).
std::string g_workDir;
std::string g_homeDir;

void cleanUp() {
    for (const char* name : {"song.vls", "inc.vls"}) ::unlink((g_workDir + "/" + name).c_str());
    ::rmdir(g_workDir.c_str());
}

void setUp() {
    char pattern[] = "/tmp/vlc3-fuzz-XXXXXX";
    char home[4096];
    if (!::mkdtemp(pattern) || !::getcwd(home, sizeof home)) std::abort();
    g_workDir = pattern;
    g_homeDir = home;
    if (::chdir(pattern) != 0) std::abort();
    FILE* inc = std::fopen("inc.vls", "wb");
    std::fputs(".define inc_m {cde}\r\n(t1) o4 l8 inc_m\r\n", inc);
    std::fclose(inc);
    if (::chdir(home) != 0) std::abort();
    std::atexit(cleanUp);
    // The compiled file under -c goes nowhere.
    int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 1);
    ::close(null);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    static bool ready = (setUp(), true);
    (void)ready;

    const bool checkDump = size == 0 || std::memchr(data, ';', size) == nullptr;
    std::vector<std::string> args{"vlc3"};
    size_t body = 0;
    if (size > 0 && data[0] == '-') {
        size_t eol = 0;
        while (eol < size && data[eol] != '\n' && eol < 64) ++eol;
        std::string line(reinterpret_cast<const char*>(data), eol);
        body = eol < size ? eol + 1 : eol;
        size_t at = 0;
        while (at < line.size() && args.size() < 8) {
            size_t end = line.find(' ', at);
            if (end == std::string::npos) end = line.size();
            std::string word = line.substr(at, end - at);
            at = end + 1;
            if (word.size() < 2 || word[0] != '-') continue;
            bool plain = true;
            for (size_t k = 1; k < word.size(); ++k)
                plain = plain && (std::isalnum(static_cast<unsigned char>(word[k])) || word[k] == '?');
            if (!plain) continue;
            // -o and -e take the rest of the word as a name: give them fixed ones.
            for (size_t k = 1; k < word.size(); ++k) {
                char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(word[k])));
                if (letter == 'o' || letter == 'e') {
                    word = word.substr(0, k + 1) + (letter == 'o' ? "out" : "err.txt");
                    break;
                }
            }
            args.push_back(word);
        }
    }
    if (::chdir(g_workDir.c_str()) != 0) std::abort();
    FILE* source = std::fopen("song.vls", "wb");
    if (size > body) std::fwrite(data + body, 1, size - body, source);
    std::fclose(source);
    args.push_back("song.vls");

    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    static FILE* const discard = std::fopen("/dev/null", "w");
    int code = runVlc3(static_cast<int>(argv.size()), argv.data(), discard);

    // Every file the run left besides the include and the source: a failed
    // run may leave none of them, and none may stay for the next run.
    std::vector<std::string> left;
    if (DIR* dir = ::opendir(".")) {
        while (dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != ".." && name != "inc.vls" && name != "song.vls") left.push_back(name);
        }
        ::closedir(dir);
    }
    for (const std::string& name : left) {
        bool compiled = name.size() > 4 && name.compare(name.size() - 4, 4, ".VLD") == 0;
        bool message = name == "err.txt" || name == "debug.vls";
        if (code != 0 && !message) {
            std::fprintf(stderr, "exit code %d but %s was left behind\n", code, name.c_str());
            std::abort();
        }
        if (compiled && checkDump) {
            std::vector<unsigned char> vld = slurp(name.c_str());
            vld::Dump dump = vld::dumpVld(vld.data(), vld.size(), vld::DumpOptions{}, name);
            if (!dump.ok()) {
                for (const auto& p : dump.allProblems())
                    std::fprintf(stderr, "compiled file fault at %u: %s\n", p.file_offset, p.message.c_str());
                std::abort();
            }
        }
        ::unlink(name.c_str());
    }
    if (::chdir(g_homeDir.c_str()) != 0) std::abort();
    return 0;
}
