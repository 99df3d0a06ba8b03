#include "scan/diagnostics.h"

#include <string>

#include "base/failure.h"
#include "cli/switches.h"

namespace {
// The run's settings and the position reported last, for the run in progress.
MessageSettings g_settings;
Pos g_lastPosition = nullptr;

bool endsVisibleLine(unsigned char c) { return c == '\r' || c == '\n' || c == 26 || c == 255; }

// Control bytes but the TAB. No Shift_JIS character holds one of these bytes,
// so escaping them never splits a character.
bool isShownEscaped(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }
}  // namespace

MessageSettings messageSettingsOf(const Options& options) {
    return MessageSettings{options.get('w'), options.get('l') == -2, options.source};
}

void beginMessages(const MessageSettings& settings) {
    g_settings = settings;
    g_lastPosition = nullptr;
}

void forgetLastPosition() { g_lastPosition = nullptr; }

void vlserror(const char* message, const LineTracking& where, Pos pos, int level, int showLine) {
    Pos start = where.line_start;
    Pos end = start;
    if (end)
        while (!endsVisibleLine(*end)) ++end;

    int warningLevel = g_settings.warning_level;
    if (level != kError && warningLevel != 0 && (pos == g_lastPosition || warningLevel < level)) return;
    g_lastPosition = pos;

    const char* file = where.current ? where.current->file->file_name.c_str() : g_settings.source_name.c_str();
    int line = where.current ? where.current->line_number : where.line_number;
    const char* prefix = level != kError ? "Warning: " : "Error: ";
    if (g_settings.show_column) {
        long column = (start && pos) ? static_cast<long>(pos - start) + 1 : 1;
        errPrintf("%s\tL%dC%ld: %s%s\n", file, line, column, prefix, message);
    } else {
        errPrintf("%s\t%d: %s%s\n", file, line, prefix, message);
    }
    if (showLine && start) {
        // The line as it stands, but for control bytes, which would act on
        // the terminal: each is shown as \xHH. The caret line keeps the
        // line's TABs and the width of each escape, so the caret lands under
        // the position.
        std::string shown;
        std::string caret;
        for (Pos p = start; p < end; ++p) {
            if (isShownEscaped(*p)) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                shown += {'\\', 'x', kHex[*p >> 4], kHex[*p & 0xF]};
            } else {
                shown += static_cast<char>(*p);
            }
            if (p < pos) caret.append(*p == '\t' ? "\t" : isShownEscaped(*p) ? "    " : " ");
        }
        for (Pos p = end; p < pos; ++p) caret += ' ';
        shown += '\n';
        shown += caret;
        shown += "^\n";
        std::fwrite(shown.data(), 1, shown.size(), errStream());
    }
    if (level == kError) {
        std::fflush(errStream());
        throw VlcExit{1};
    }
}

void sourceError(const char* message, Pos pos) { sourceError(message, lineTracking(), pos); }

void sourceError(const char* message, const LineTracking& line, Pos pos) {
    vlserror(message, line, pos, kError, 1);
    throw VlcExit{1};  // not reached: an error always ends the run
}
