#include "format/event_buffer.h"

#include <algorithm>
#include <cstring>
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
    }
    return *this;
}

EventBuffer::~EventBuffer() { release(); }

void EventBuffer::allocate(size_t capacity, const char* tag) {
    release();
    block_ = static_cast<unsigned char*>(allocTagged(capacity, tag));
    capacity_ = capacity;
    size_ = 0;
}

void EventBuffer::release() {
    freeTagged(block_, "vldbuf");
    block_ = nullptr;
    size_ = capacity_ = 0;
}

void EventBuffer::reserve(size_t needed) {
    if (needed <= capacity_) return;
    size_t grown = capacity_ + 8192;
    while (grown < needed) grown += grown / 2 + 8192;
    block_ = static_cast<unsigned char*>(reallocOrAlloc(block_, grown, "vldbuf"));
    capacity_ = grown;
}

void EventBuffer::putBE32(uint32_t value) {
    reserve(size_ + 4);
    ::putBE32(block_ + size_, value);
    size_ += 4;
}

void EventBuffer::putBytes(const void* bytes, size_t count) {
    if (count == 0) return;
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
    if (offset > size_) offset = size_;
    if (count == 0) return;
    reserve(size_ + count);
    std::memmove(block_ + offset + count, block_ + offset, size_ - offset);
    std::memcpy(block_ + offset, bytes, count);
    size_ += count;
}

void EventBuffer::eraseBytes(size_t offset, size_t count) {
    if (offset >= size_) return;
    if (count > size_ - offset) count = size_ - offset;
    std::memmove(block_ + offset, block_ + offset + count, size_ - offset - count);
    size_ -= count;
}

void EventBuffer::truncate(size_t size) {
    if (size < size_) size_ = size;
}

void EventBuffer::growBetweenCommands(const char* tag) {
    if (size_ + 1024 > capacity_) {
        // At least 8192 more, and half again as much once the block is
        // large, so a long track is not copied over and over as it grows.
        size_t grown = capacity_ + std::max<size_t>(8192, capacity_ / 2);
        block_ = static_cast<unsigned char*>(reallocOrAlloc(block_, grown, tag));
        capacity_ = grown;
    }
}
