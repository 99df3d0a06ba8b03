#include "format/event_table.h"

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

// A `firstOperand` row is a requirement, so every code a row names needs,
// for each stream it stands in, a row without one: then every such code has
// a reading.
constexpr bool everyCodeHasAnUnconditionalRow() {
    for (const EventRow& row : kEventTable) {
        for (uint8_t stream : {kTrackStream, kCommonStream}) {
            if (!(row.streams & stream)) continue;
            bool found = false;
            for (const EventRow& other : kEventTable) {
                bool same = other.code == row.code && other.last_code == row.last_code && (other.streams & stream);
                if (same && other.pick != Pick::firstOperand) found = true;
            }
            if (!found) return false;
        }
    }
    return true;
}

static_assert(rowsInCodeOrder(), "event rows must stand in code order");
static_assert(everyCodeHasAnUnconditionalRow(), "every code needs a row that does not require its first operand");

}  // namespace

std::span<const EventRow> eventTable() { return kEventTable; }

}  // namespace vld
