// One whole run of the compiler, and the loading of source files.
#pragma once
#include <string>
#include <vector>

// The whole source as read, then CR, LF and four bytes 255.
using SourceText = std::vector<unsigned char>;

// Runs the compiler on the arguments as main() would and returns the exit
// code. Every piece of process-wide state is reset first, so two runs in one
// process behave like two processes.
int runVlc3(int argc, const char* const* argv);

// Loads a file ("-" = standard input). Returns false when the file cannot be
// opened; a short read ends the run with exit code 4.
bool readfile(const char* name, SourceText& text);

// Tries the name, then the name with each extension appended. Ends the run
// with "file not found." when none opens. The name found is left in `name`.
SourceText openSource(std::string& name, const char* const* extensions);

struct Options;
// Loads the source, leaving the name that was opened in the options, and
// settles the destination name there.
SourceText resolveNames(Options& options, const char* const* extensions, const char* destinationExtension);
