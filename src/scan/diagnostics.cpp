#include "scan/diagnostics.h"

#include <string>

#include "base/failure.h"
#include "cli/switches.h"

namespace {

bool endsVisibleLine(unsigned char c) { return c == '\r' || c == '\n' || c == 26 || c == 255; }

// Control bytes but the TAB. No Shift_JIS character holds one of these bytes,
// so escaping them never splits a character.
bool isShownEscaped(unsigned char c) { return (c < 0x20 && c != '\t') || c == 0x7F; }
}  // namespace

MessageSettings messageSettingsOf(const Options& options) {
    return MessageSettings{options.get('w'), options.get('l') == -2, options.source, options.messages};
}

void forgetLastPosition(Pos anywhere) { anywhere.reading()->last_reported = nullptr; }

void vlserror(const char* message, Pos at, int level, int showLine) {
    Reading& reading = *at.reading();
    const MessageSettings& settings = reading.settings;
    const unsigned char* pos = at.bytes();
    int warningLevel = settings.warning_level;
    if (level != kError && warningLevel != 0 && (pos == reading.last_reported || warningLevel < level)) return;
    reading.last_reported = pos;

    Reading::Line where = reading.lineOf(pos);
    const unsigned char* start = where.start;
    const unsigned char* end = start;
    while (!endsVisibleLine(*end)) ++end;

    FILE* stream = reading.stream();
    const char* file = where.record ? where.record->file->file_name.c_str() : settings.source_name.c_str();
    int line = where.record ? where.record->line_number : 1;
    const char* prefix = level != kError ? "Warning: " : "Error: ";
    if (settings.show_column) {
        long column = static_cast<long>(pos - start) + 1;
        std::fprintf(stream, "%s\tL%dC%ld: %s%s\n", file, line, column, prefix, message);
    } else {
        std::fprintf(stream, "%s\t%d: %s%s\n", file, line, prefix, message);
    }
    if (showLine && start) {
        // The line as it stands, but for control bytes, which would act on
        // the terminal: each is shown as \xHH. The caret line keeps the
        // line's TABs and the width of each escape, so the caret lands under
        // the position.
        std::string shown;
        std::string caret;
        for (const unsigned char* p = start; p < end; ++p) {
            if (isShownEscaped(*p)) {
                static constexpr char kHex[] = "0123456789ABCDEF";
                shown += {'\\', 'x', kHex[*p >> 4], kHex[*p & 0xF]};
            } else {
                shown += static_cast<char>(*p);
            }
            if (p < pos) caret.append(*p == '\t' ? "\t" : isShownEscaped(*p) ? "    " : " ");
        }
        for (const unsigned char* p = end; p < pos; ++p) caret += ' ';
        shown += '\n';
        shown += caret;
        shown += "^\n";
        std::fwrite(shown.data(), 1, shown.size(), stream);
    }
    if (level == kError) {
        std::fflush(stream);
        throw VlcExit{1, {}};
    }
}

void sourceError(const char* message, Pos pos) {
    vlserror(message, pos, kError, 1);
    throw VlcExit{1, {}};  // not reached: an error always ends the run
}
