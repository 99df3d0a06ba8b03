// The bytes of one track's event stream.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/byte_order.h"

// Owns a track's stream. Every append grows the block as needed, so no command
// can write past its end whatever the source says; reads and patches outside
// the written bytes are ignored (reads give 0). Growth failures end the run
// through the tagged memory helpers.
class EventBuffer {
public:
    EventBuffer() = default;
    EventBuffer(const EventBuffer&) = delete;
    EventBuffer& operator=(const EventBuffer&) = delete;
    EventBuffer(EventBuffer&& other) noexcept;
    EventBuffer& operator=(EventBuffer&& other) noexcept;
    ~EventBuffer();

    // A fresh block of `capacity` bytes, nothing written.
    void allocate(size_t capacity, const char* tag);
    bool allocated() const { return block_ != nullptr; }
    void release();

    size_t size() const { return size_; }
    size_t capacity() const { return capacity_; }
    const unsigned char* data() const { return block_; }
    bool empty() const { return size_ == 0; }

    // One byte: the commonest write of all, so its room check is inline.
    void put(unsigned value) {
        if (size_ >= capacity_) reserve(size_ + 1);
        block_[size_++] = static_cast<unsigned char>(value);
    }
    void putBE16(uint32_t value) {
        if (size_ + 2 > capacity_) reserve(size_ + 2);
        ::putBE16(block_ + size_, value);
        size_ += 2;
    }
    void putBE32(uint32_t value);
    // A step or gate: one byte below 128 clocks, else a word with the top bit set.
    void putDuration(uint32_t clocks) {
        if (size_ + 2 > capacity_) reserve(size_ + 2);
        size_ += encodeDuration(block_ + size_, clocks);
    }
    void putBytes(const void* bytes, size_t count);
    void putText(std::string_view text) { putBytes(text.data(), text.size()); }

    unsigned char at(size_t offset) const { return offset < size_ ? block_[offset] : 0; }
    uint32_t readBE16(size_t offset) const;
    uint32_t readBE32(size_t offset) const;
    void patch(size_t offset, unsigned value);
    void patchBE16(size_t offset, uint32_t value);
    void patchBE32(size_t offset, uint32_t value);

    // Inserts or removes bytes at an offset (used where a stream is rewritten
    // in place); out-of-range requests are clipped to the written bytes.
    void insertBytes(size_t offset, const void* bytes, size_t count);
    void eraseBytes(size_t offset, size_t count);
    // Cuts the stream back to `size` bytes (never lengthens it).
    void truncate(size_t size);

    // The rule applied between commands: a block with fewer than 1024 free
    // bytes grows by 8192.
    void growBetweenCommands(const char* tag);

private:
    void reserve(size_t needed);

    unsigned char* block_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};
