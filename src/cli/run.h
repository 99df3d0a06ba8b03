// One whole run of the compiler, and the names of its source and destination.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#include "source/lines.h"

// Runs the compiler on the arguments as main() would and returns the exit
// code. A run keeps all its state to itself, so two runs in one process
// behave like two processes.
// Messages without -e go to `console`.
int runVlc3(int argc, const char* const* argv, FILE* console = stderr);

struct Options;
// Loads the source, leaving the name that was opened in the options, and
// settles the destination name there.
SourceText resolveNames(Options& options, const char* const* extensions, const char* destinationExtension);
