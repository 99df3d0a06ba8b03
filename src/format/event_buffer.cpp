#include "format/event_buffer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <utility>

#include "base/memory.h"
#include "format/byte_order.h"

EventBuffer::EventBuffer(EventBuffer&& other) noexcept
    : block_(std::exchange(other.block_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

EventBuffer& EventBuffer::operator=(EventBuffer&& other) noexcept {
    if (this != &other) {
        release();
        block_ = std::exchange(other.block_, nullptr);
        size_ = std::exchange(other.size_, 0);
        capacity_ = std::exchange(other.capacity_, 0);
        pauseChecks();
    }
    return *this;
}

EventBuffer::~EventBuffer() { release(); }

void EventBuffer::allocate(size_t capacity, const char* tag) {
    release();
    block_ = static_cast<unsigned char*>(allocTagged(capacity, tag));
    capacity_ = capacity;
    size_ = 0;
    pauseChecks();
}

void EventBuffer::release() {
    freeTagged(block_, "vldbuf");
    block_ = nullptr;
    size_ = capacity_ = 0;
    pauseChecks();
}

void EventBuffer::reserve(size_t needed) {
    if (needed <= capacity_) return;
    // At least 8192 more, and half again as much once the block is large, so
    // a long track is not copied over and over as it grows.
    size_t grown = capacity_;
    do grown += std::max<size_t>(8192, grown / 2);
    while (grown < needed);
    block_ = static_cast<unsigned char*>(reallocOrAlloc(block_, grown, "vldbuf"));
    capacity_ = grown;
}

void EventBuffer::putBE32(uint32_t value) {
    checkOperand(Width::longWord);
    reserve(size_ + 4);
    ::putBE32(block_ + size_, value);
    size_ += 4;
}

void EventBuffer::putBytes(const void* bytes, size_t count) {
    if (count == 0) {
        checkEmptyRun();
        return;
    }
    checkOperand(Width::run);
    reserve(size_ + count);
    std::memcpy(block_ + size_, bytes, count);
    size_ += count;
}

uint32_t EventBuffer::readBE16(size_t offset) const { return (uint32_t{at(offset)} << 8) | at(offset + 1); }

uint32_t EventBuffer::readBE32(size_t offset) const { return (readBE16(offset) << 16) | readBE16(offset + 2); }

void EventBuffer::patch(size_t offset, unsigned value) {
    if (offset < size_) block_[offset] = static_cast<unsigned char>(value);
}

void EventBuffer::patchBE16(size_t offset, uint32_t value) {
    patch(offset, value >> 8);
    patch(offset + 1, value);
}

void EventBuffer::patchBE32(size_t offset, uint32_t value) {
    patchBE16(offset, value >> 16);
    patchBE16(offset + 2, value);
}

void EventBuffer::insertBytes(size_t offset, const void* bytes, size_t count) {
    pauseChecks();
    if (offset > size_) offset = size_;
    if (count == 0) return;
    reserve(size_ + count);
    std::memmove(block_ + offset + count, block_ + offset, size_ - offset);
    std::memcpy(block_ + offset, bytes, count);
    size_ += count;
}

void EventBuffer::eraseBytes(size_t offset, size_t count) {
    pauseChecks();
    if (offset >= size_) return;
    if (count > size_ - offset) count = size_ - offset;
    std::memmove(block_ + offset, block_ + offset + count, size_ - offset - count);
    size_ -= count;
}

void EventBuffer::truncate(size_t size) {
    pauseChecks();
    if (size < size_) size_ = size;
}

#ifdef VLC3_CHECK_EVENTS

// The checks follow the operand tokens of the open event's layout (see
// event_table.h). Fixed-width tokens take a write of their width; `fdur` and
// `even` may be absent; a run of bytes, a label, a frame's rest or a flagged
// group has a shape the layout does not fix, so once one is reached the rest
// of the event goes unchecked.
namespace {

using vld::kEventTable;

std::string_view tokenAt(std::string_view layout, size_t at) {
    if (at >= layout.size()) return {};
    std::string_view token = layout.substr(at);
    token = token.substr(0, token.find(' '));
    return token.substr(0, token.find(':'));
}

size_t nextToken(std::string_view layout, size_t at) {
    size_t blank = layout.find(' ', at);
    return blank == std::string_view::npos ? layout.size() : blank + 1;
}

bool isOneOf(std::string_view kind, std::initializer_list<std::string_view> kinds) {
    for (std::string_view k : kinds)
        if (k == kind) return true;
    return false;
}

bool takesByte(std::string_view kind) {
    return isOneOf(kind, {"u8", "s8", "u8m1", "ifb", "mod", "note", "fnote", "vel", "vol", "frame8"});
}
bool takesWord(std::string_view kind) { return isOneOf(kind, {"u16", "s16", "u16m1", "wave", "device"}); }
bool takesLongWord(std::string_view kind) {
    return isOneOf(kind, {"u32", "fwdend", "fwdstart", "backend", "backstart2", "frame32", "count32"});
}
// A duration is written in its encoding, or as the word a tuplet rewrites.
bool takesDuration(std::string_view kind) { return isOneOf(kind, {"step", "gate", "dur"}); }

}  // namespace

void EventBuffer::failCheck(const char* what) const {
    std::string_view name = checked_row_ >= 0 ? kEventTable[checked_row_].name : "no event";
    std::fprintf(stderr, "event check: %s (%.*s, stream offset %zu)\n", what, static_cast<int>(name.size()),
                 name.data(), size_);
    std::abort();
}

bool EventBuffer::restIsOptional() const {
    std::string_view layout = kEventTable[checked_row_].layout;
    for (size_t at = layout_at_; at < layout.size(); at = nextToken(layout, at))
        if (!isOneOf(tokenAt(layout, at), {"fdur", "even"})) return false;
    return true;
}

void EventBuffer::checkBegin(uint8_t row, unsigned code) {
    if (checked_row_ >= 0 && !restIsOptional()) failCheck("an event ended before its operands");
    const vld::EventRow& r = kEventTable[row];
    if (code < r.code || code > r.last_code) failCheck("a code outside its row");
    checked_row_ = row;
    rows_begun_.set(row);
    layout_at_ = 0;
    fnotes_ = fnote_bits_ = fdurs_ = 0;
    if (tokenAt(r.layout, 0) == "codenote") layout_at_ = nextToken(r.layout, 0);
}

void EventBuffer::checkOperand(Width width, unsigned value) {
    if (checked_row_ == kUnchecked || checked_row_ == kFree) return;
    std::string_view layout = kEventTable[checked_row_].layout;
    for (;;) {
        std::string_view kind = tokenAt(layout, layout_at_);
        if (kind.empty()) failCheck("an operand beyond the event's layout");
        bool fits = false;
        if (kind == "fdur") {
            bool present = (fnote_bits_ >> fdurs_++) & 1;
            if (!present) {
                layout_at_ = nextToken(layout, layout_at_);
                continue;
            }
            fits = width == Width::duration || width == Width::word;
        } else if (kind == "fnote" && width == Width::byte) {
            fnote_bits_ |= ((value >> 7) & 1) << fnotes_++;
            fits = true;
        } else if (takesByte(kind)) fits = width == Width::byte;
        else if (takesWord(kind)) fits = width == Width::word;
        else if (takesLongWord(kind)) fits = width == Width::longWord;
        else if (takesDuration(kind)) fits = width == Width::duration || width == Width::word;
        else if (kind == "even") fits = width == Width::byte && size_ % 2 == 1;
        else {
            checked_row_ = kFree;
            return;
        }
        if (fits) {
            layout_at_ = nextToken(layout, layout_at_);
            return;
        }
        if (kind != "even") failCheck("an operand of the wrong width");
        layout_at_ = nextToken(layout, layout_at_);
    }
}

// No bytes for a run of the layout (an empty text) still stand for it: the
// rest of the event is then unchecked, as behind any run.
void EventBuffer::checkEmptyRun() {
    if (checked_row_ < 0) return;
    std::string_view kind = tokenAt(kEventTable[checked_row_].layout, layout_at_);
    if (kind.empty() || takesByte(kind) || takesWord(kind) || takesLongWord(kind) || takesDuration(kind) ||
        isOneOf(kind, {"fnote", "fdur", "even"}))
        return;
    checked_row_ = kFree;
}

void EventBuffer::checkPadding() {
    if (checked_row_ < 0) return;
    if (kEventTable[checked_row_].code != vld::kEndCode) failCheck("padding inside an event");
}

#endif
