// Every file the compiler can write reads back through the dumper, stream by
// stream, to its end code: the seeds of the compiler's fuzz corpus (inputs
// gathered from every test and example, and the ones fuzzing found) are
// compiled and the harness reads back each file that compiles. Sources with
// `;`, which writes raw bytes into a stream, are left out by the harness.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dump/dump_support.h"

namespace {

constexpr int kShards = 8;

std::vector<std::filesystem::path> seeds() {
    std::vector<std::filesystem::path> paths;
    for (const char* folder : {VLC3_FUZZ_CORPUS_DIR, VLC3_EXAMPLES_DIR}) {
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.is_regular_file()) paths.push_back(entry.path());
        }
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

// A seed whose first byte is `-` carries switches on its first line, as the
// fuzz target reads them; the ones that name files or send the compiled file
// elsewhere are left out, so that the file is song.VLD.
std::vector<std::string> switchesOf(std::string& seed) {
    std::vector<std::string> args;
    if (seed.empty() || seed[0] != '-') return args;
    size_t eol = seed.find('\n');
    std::string line = seed.substr(0, std::min<size_t>(eol, 64));
    seed.erase(0, eol == std::string::npos ? seed.size() : eol + 1);
    size_t at = 0;
    while (at < line.size() && args.size() < 7) {
        size_t end = std::min(line.find(' ', at), line.size());
        std::string word = line.substr(at, end - at);
        at = end + 1;
        if (word.size() < 2 || word[0] != '-') continue;
        bool plain = std::all_of(word.begin() + 1, word.end(), [](unsigned char c) {
            return (std::isalnum(c) || c == '?') && !std::strchr("oOeEcC", c);
        });
        if (plain) args.push_back(word);
    }
    return args;
}

class CompiledSeeds : public testing::TestWithParam<int> {};

TEST_P(CompiledSeeds, ReadBackToTheEndOfEveryStream) {
    std::vector<std::filesystem::path> paths = seeds();
    int compiledFiles = 0;
    for (size_t i = GetParam(); i < paths.size(); i += kShards) {
        std::string seed = dumptest::readText(paths[i]);
        std::vector<std::string> args = switchesOf(seed);
        TempDir dir;
        dir.write("song.vls", seed);
        dir.write("inc.vls", ".define inc_m {cde}\r\n(t1) o4 l8 inc_m\r\n");
        args.push_back("song.vls");
        SCOPED_TRACE(paths[i].string());
        RunResult run = runVlc3In(dir, args);  // the harness reads back what compiles
        compiledFiles += run.exitCode == 0 && run.vldExists;
    }
    // Most seeds compile; a change that made none compile would test nothing.
    EXPECT_GT(compiledFiles * kShards, static_cast<int>(paths.size()) / 4);
}

INSTANTIATE_TEST_SUITE_P(Shards, CompiledSeeds, testing::Range(0, kShards));

}  // namespace
