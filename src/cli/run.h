// One whole run of the compiler, and the names of its source and destination.
#pragma once
#include <string>
#include <vector>

#include "source/lines.h"

// Runs the compiler on the arguments as main() would and returns the exit
// code. Every piece of process-wide state is reset first, so two runs in one
// process behave like two processes.
int runVlc3(int argc, const char* const* argv);

// Starts the process-wide state of a compile afresh: the line tracking, the
// messages (their settings and the position reported last) and the random
// generator. Whoever compiles in-process calls it before each compile.
void resetRunState();

struct Options;
// Loads the source, leaving the name that was opened in the options, and
// settles the destination name there.
SourceText resolveNames(Options& options, const char* const* extensions, const char* destinationExtension);
