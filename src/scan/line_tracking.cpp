#include "scan/line_tracking.h"

namespace {
LineTracking g_tracking;
}

LineTracking& lineTracking() { return g_tracking; }

void resetLineTracking() { g_tracking = LineTracking{}; }

void beginLineTracking(const LineBuffer& buffer) {
    g_tracking.line_start = buffer.text.data();
    g_tracking.line_number = 1;
    g_tracking.current = buffer.lines.empty() ? nullptr : &buffer.lines.front();
    g_tracking.last = buffer.lines.empty() ? nullptr : &buffer.lines.back();
}

void trackLine(const LINEDATA& record, Pos start) {
    g_tracking.line_start = start;
    g_tracking.line_number = record.line_number;
    g_tracking.current = &record;
    g_tracking.last = &record;
}

void lineStep(Pos next) {
    g_tracking.line_start = next;
    ++g_tracking.line_number;
    if (g_tracking.current && g_tracking.current != g_tracking.last) ++g_tracking.current;
}
