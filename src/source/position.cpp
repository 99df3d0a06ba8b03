#include "source/position.h"

#include <algorithm>

namespace {
// The bytes 255 behind the last line of a line buffer.
constexpr size_t kEndMarks = 6;
}  // namespace

Reading::Reading(const LineBuffer& buffer, MessageSettings messageSettings)
    : text(buffer.text.data()),
      line_starts(buffer.line_starts),
      lines(buffer.lines),
      text_size(buffer.text.size() >= kEndMarks ? buffer.text.size() - kEndMarks : 0),
      settings(std::move(messageSettings)) {}

Reading::Reading(const unsigned char* lineText, const LINEDATA& where, MessageSettings messageSettings)
    : text(lineText), line_starts(&kFirstLine, 1), settings(std::move(messageSettings)), only_line_(where) {
    lines = std::span<const LINEDATA>(&only_line_, 1);
}

Reading::Line Reading::lineOf(const unsigned char* at) const {
    if (line_starts.empty() || at < text) return Line{text, lines.empty() ? nullptr : &lines.front()};
    size_t offset = static_cast<size_t>(at - text);
    if (offset >= text_size) return Line{text + text_size, lines.empty() ? nullptr : &lines.back()};
    // The last line that starts at or before the position; the end marks
    // behind the last line belong to it.
    auto after = std::upper_bound(line_starts.begin(), line_starts.end(), offset);
    size_t index = static_cast<size_t>(after - line_starts.begin()) - 1;
    return Line{text + line_starts[index], index < lines.size() ? &lines[index] : nullptr};
}
