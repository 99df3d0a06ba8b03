// The switch table, the source and destination names, usage and tips.
#pragma once
#include <string>

// One value per letter, folded to lower case: -1 not given, -2 given without
// a number, 0 and up the number given (stored as a signed byte, so 200 reads
// back as -56).
int getSwitch(char letter);
void setSwitch(char letter, int value);
// Start values: l 1, v 3, w 3, z 1, every other letter -1; names empty.
void resetSwitches();

const std::string& sourceName();
const std::string& destinationName();
void setSourceName(const std::string& name);
void setDestinationName(const std::string& name);

// The longest name the program holds.
constexpr size_t kMaxNameLength = 2048;

// Reads the arguments into the switch table and the names; returns 1 when
// there are no arguments at all, else 0. Ends the run on a bad switch.
int parseSwitches(int argc, const char* const* argv);

// Prints the usage (tips = 0) or the tips (tips = 1) and ends the run.
[[noreturn]] void usage(int code, int tips);
void printBanner();
