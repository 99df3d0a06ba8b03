// The command line of a run read into an options value, usage and tips.
#pragma once
#include <cstdio>
#include <cstdint>
#include <string>

// The command line of one run, read once and handed to whoever needs it.
struct Options {
    // One value per switch letter, folded to lower case: -1 not given, -2
    // given without a number, 0 and up the number given (stored as a signed
    // byte, so 200 reads back as -56). Start values: l 1, v 3, w 3, z 1,
    // every other letter -1.
    int16_t letters[26];
    std::string source;       // as given; "-" is standard input
    std::string destination;  // -o as given, then the name the file is written to
    bool no_arguments = false;
    // The file of -e, which the run closes at its end; without it messages
    // go to the console, standard error unless the caller says otherwise.
    FILE* messages = nullptr;
    FILE* console = stderr;
    FILE* messageStream() const { return messages ? messages : console; }

    Options();
    int get(char letter) const;
    void set(char letter, int value);

    bool toStandardOutput() const { return get('c') != -1; }  // -c
    bool debugDump() const { return get('d') != -1; }         // -d: the line buffer to debug.vls
    bool keepsEveryTrack() const { return get('z') >= 3; }    // -Z3 and up
};

// The longest name the program holds.
constexpr size_t kMaxNameLength = 2048;

// Reads the arguments into `options`; `no_arguments` is set when there are
// none at all. Ends the run on a bad switch; -e opens the message file at
// once, and every message from there on goes to it.
void parseOptions(int argc, const char* const* argv, Options& options);
Options parseOptions(int argc, const char* const* argv);

// Prints the usage (tips = 0) or the tips (tips = 1) and ends the run.
[[noreturn]] void usage(const Options& options, int code, int tips);
void printBanner(const Options& options);
