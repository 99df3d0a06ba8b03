// Loading source files: the main source and the files it includes.
#pragma once
#include <functional>
#include <optional>
#include <string>

#include "source/lines.h"

// Loads a file ("-" = standard input). Returns false when the file cannot be
// opened; a short read ends the run with exit code 4.
bool readfile(const char* name, SourceText& text);

// A host that keeps texts of its own (an editor's unsaved documents) stands in
// for the file system while a source and its includes load. The reader gets
// each name that openSource tries; it may rewrite the name to the one the
// file is known by (messages then show that name) and returns the file's
// bytes as written, or nothing when there is no such file. Without a reader
// files are read from the current directory.
using SourceReader = std::function<std::optional<std::string>(std::string& name)>;

// Tries the name, then the name with each extension appended, through the
// reader when there is one. Ends the run with "file not found." when none
// opens. The name found is left in `name`.
SourceText openSource(std::string& name, const char* const* extensions, const SourceReader* reader = nullptr);
