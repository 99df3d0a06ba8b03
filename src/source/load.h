// Loading source files: the main source and the files it includes.
#pragma once
#include <string>

#include "source/lines.h"

// Loads a file ("-" = standard input). Returns false when the file cannot be
// opened; a short read ends the run with exit code 4.
bool readfile(const char* name, SourceText& text);

// Tries the name, then the name with each extension appended. Ends the run
// with "file not found." when none opens. The name found is left in `name`.
SourceText openSource(std::string& name, const char* const* extensions);
