// Checking a document as the editor holds it: the compiler runs in-process on
// the unsaved text, its messages are read back and placed in the document.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "lsp/compiler_messages.h"
#include "lsp/workspace.h"

// A place in one line of a document: line from 0, columns in UTF-16 units.
struct LineRange {
    int line = 0;
    int start = 0;
    int end = 0;
};

struct Diagnostic {
    LineRange range;
    bool error = true;
    std::string message;          // the compiler's own text
    // A message about a line of an included file stands on the `.include`
    // line that brought the file in, and points at the file's line here.
    std::string related_path;     // empty when the message is about this document
    LineRange related_range;
};

// Compiles the open document `path` (its text is in `open`) and returns every
// error and warning up to the -W level `warningLevel`. Nothing is written:
// the compile stops before the writer.
std::vector<Diagnostic> checkDocument(const std::string& path, const OpenDocuments& open, int warningLevel);

// Places the compiler's messages in the document `path` whose text is `text`.
std::vector<Diagnostic> placeMessages(const std::vector<CompilerMessage>& messages, const std::string& path,
                                      std::string_view text, const OpenDocuments& open);
