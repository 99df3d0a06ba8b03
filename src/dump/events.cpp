#include "dump/events.h"

namespace vld {

const Operand* Event::operand(std::string_view label) const {
    for (const Operand& op : operands) {
        if (op.label == label) return &op;
    }
    return nullptr;
}

int64_t Event::number(std::string_view label, int64_t otherwise) const {
    const Operand* op = operand(label);
    return op ? op->value : otherwise;
}

}  // namespace vld
