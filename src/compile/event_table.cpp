#include "compile/event_table.h"

#include <iterator>

namespace vld {

namespace {

constexpr bool rowsInCodeOrder() {
    for (size_t i = 1; i < std::size(kEventTable); ++i) {
        if (kEventTable[i].code < kEventTable[i - 1].code) return false;
        if (kEventTable[i].last_code < kEventTable[i].code) return false;
    }
    return true;
}

// Rows of one code and stream that need a test must be followed by a row
// that always applies, so that every code a row names has a reading.
constexpr bool everySharedCodeEndsInAlways() {
    for (size_t i = 0; i < std::size(kEventTable); ++i) {
        const EventRow& row = kEventTable[i];
        if (row.pick == Pick::always) continue;
        bool closed = false;
        for (size_t j = i + 1; j < std::size(kEventTable) && kEventTable[j].code == row.code; ++j) {
            if (kEventTable[j].pick == Pick::always && (kEventTable[j].streams & row.streams)) closed = true;
        }
        if (!closed) return false;
    }
    return true;
}

static_assert(rowsInCodeOrder(), "event rows must stand in code order");
static_assert(everySharedCodeEndsInAlways(), "a shared code needs a last row that always applies");

}  // namespace

std::span<const EventRow> eventTable() { return kEventTable; }

}  // namespace vld
