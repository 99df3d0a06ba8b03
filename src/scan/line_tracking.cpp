#include "scan/line_tracking.h"

void resetLineTracking() { g_lineTracking = LineTracking{}; }

void beginLineTracking(const LineBuffer& buffer) {
    g_lineTracking.line_start = buffer.text.data();
    g_lineTracking.line_number = 1;
    g_lineTracking.current = buffer.lines.empty() ? nullptr : &buffer.lines.front();
    g_lineTracking.last = buffer.lines.empty() ? nullptr : &buffer.lines.back();
}

void lineStep(Pos next) {
    g_lineTracking.line_start = next;
    ++g_lineTracking.line_number;
    if (g_lineTracking.current && g_lineTracking.current != g_lineTracking.last) ++g_lineTracking.current;
}
