#include "scan/diagnostics.h"

#include <string>

#include "cli/memory.h"
#include "cli/switches.h"

namespace {
Pos g_lastPosition = nullptr;

bool endsVisibleLine(unsigned char c) { return c == '\r' || c == '\n' || c == 26 || c == 255; }
}  // namespace

void forgetLastPosition() { g_lastPosition = nullptr; }

void vlserror(const char* message, Pos start, Pos pos, int level, int showLine) {
    Pos end = start;
    if (end)
        while (!endsVisibleLine(*end)) ++end;

    int warningLevel = getSwitch('w');
    if (level != kError && warningLevel != 0 && (pos == g_lastPosition || warningLevel < level)) return;
    g_lastPosition = pos;

    const LineTracking& where = lineTracking();
    const char* file = where.current ? where.current->file->file_name.c_str() : sourceName().c_str();
    int line = where.current ? where.current->line_number : where.line_number;
    const char* prefix = level != kError ? "Warning: " : "Error: ";
    if (getSwitch('l') == -2) {
        long column = (start && pos) ? static_cast<long>(pos - start) + 1 : 1;
        errPrintf("%s\tL%dC%ld: %s%s\n", file, line, column, prefix, message);
    } else {
        errPrintf("%s\t%d: %s%s\n", file, line, prefix, message);
    }
    if (showLine && start) {
        // The line as it stands (it may hold any byte), then a caret line that
        // keeps the line's TABs so the caret lands under the position.
        std::string shown(reinterpret_cast<const char*>(start), end - start);
        shown += '\n';
        for (Pos p = start; p < pos; ++p) shown += (p < end && *p == '\t') ? '\t' : ' ';
        shown += "^\n";
        std::fwrite(shown.data(), 1, shown.size(), errStream());
    }
    if (level == kError) {
        std::fflush(errStream());
        throw VlcExit{1};
    }
}

void sourceError(const char* message, Pos pos) {
    vlserror(message, lineStart(), pos, kError, 1);
    throw VlcExit{1};  // not reached: an error always ends the run
}
