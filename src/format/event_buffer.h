// The bytes of one track's event stream.
#pragma once
#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "format/byte_order.h"
#include "format/event_table.h"

// Owns a track's stream. Every append grows the block as needed, so no command
// can write past its end whatever the source says; reads and patches outside
// the written bytes are ignored (reads give 0). Growth failures end the run
// through the tagged memory helpers.
//
// An event starts with `begin` (or `beginNote`), which writes the code of its
// row of the event table; the operands follow through `put` (one byte),
// `putBE16`, `putBE32`, `putDuration` and, for the byte runs of texts, labels
// and messages, `putBytes`/`putText`. Bytes that belong to no event say so:
// `pad` for the filler behind an end code, `putRaw` for the bytes the source
// writes into the stream as they are. Builds with VLC3_CHECK_EVENTS (every
// build but Release, so the tests) follow each event's operand layout as it
// is written and stop the run on a write of the wrong width, an operand the
// layout does not have, an event left short of operands or an event byte
// outside any event; Release builds write the bytes and nothing else.
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

    // Starts an event of the named row: writes its code byte.
    void begin(vld::EventName event) {
        checkBegin(event.row, event.code);
        append(event.code);
    }
    // Starts a note, whose code byte is its number (0-127).
    void beginNote(unsigned note) {
        checkBegin(vld::kNoteEvent.row, note);
        append(note);
    }

    // One byte: the commonest write of all, so its room check is inline.
    void put(unsigned value) {
        checkOperand(Width::byte, value);
        append(value);
    }
    void putBE16(uint32_t value) {
        checkOperand(Width::word);
        if (size_ + 2 > capacity_) reserve(size_ + 2);
        ::putBE16(block_ + size_, value);
        size_ += 2;
    }
    void putBE32(uint32_t value);
    // A step or gate: one byte below 128 clocks, else a word with the top bit set.
    void putDuration(uint32_t clocks) {
        checkOperand(Width::duration);
        if (size_ + 2 > capacity_) reserve(size_ + 2);
        size_ += encodeDuration(block_ + size_, clocks);
    }
    void putBytes(const void* bytes, size_t count);
    void putText(std::string_view text) { putBytes(text.data(), text.size()); }

    // A filler byte behind the end code, which keeps the stream's length even
    // or a multiple of four; it belongs to no event.
    void pad(unsigned value) {
        checkPadding();
        append(value);
    }
#ifdef VLC3_CHECK_EVENTS
    // The rows of every event begun in this stream, and whether the source
    // put bytes of its own into it: for tests that compare the writer's rows
    // with the readings of the decoder.
    using RowSet = std::bitset<std::size(vld::kEventTable)>;
    const RowSet& rowsBegun() const { return rows_begun_; }
    bool rawBytesWritten() const { return raw_written_; }
#endif

    // Bytes the source puts into the stream as they are; they belong to no
    // event the compiler knows, so the checks pause until the next one starts.
    void putRaw(unsigned value) {
        pauseChecks();
        noteRawBytes();
        append(value);
    }

    // The writes of one short event (a note, a rest: at most kShortEvent
    // bytes), with its room made once. The bytes go through a cursor of the
    // writer's own, stored back into the buffer when the writer goes; the
    // buffer's own writes would check the room and store the size at every
    // byte. The checks of the event's layout are those of the buffer's writes.
    class ShortEvent;
    static constexpr size_t kShortEvent = 8;

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

private:
    enum class Width : uint8_t { byte, word, longWord, duration, run };

    void reserve(size_t needed);
    void append(unsigned value) {
        if (size_ >= capacity_) reserve(size_ + 1);
        block_[size_++] = static_cast<unsigned char>(value);
    }

#ifdef VLC3_CHECK_EVENTS
    void checkBegin(uint8_t row, unsigned code);
    void checkOperand(Width width, unsigned value = 0);
    void checkPadding();
    void checkEmptyRun();
    void pauseChecks() { checked_row_ = kUnchecked; }
    void noteRawBytes() { raw_written_ = true; }
    [[noreturn]] void failCheck(const char* what) const;
    bool restIsOptional() const;

    static constexpr int kUnchecked = -1;  // a fresh stream, or one rewritten in place
    static constexpr int kFree = -2;       // inside a run the layout does not measure
    int checked_row_ = kUnchecked;
    size_t layout_at_ = 0;  // the next operand token of the row's layout
    // Portamento notes written so far and their top bits: the bit of the
    // n-th says whether the n-th `fdur` is present.
    uint8_t fnotes_ = 0;
    uint8_t fnote_bits_ = 0;
    uint8_t fdurs_ = 0;
    RowSet rows_begun_;
    bool raw_written_ = false;
#else
    void checkBegin(uint8_t, unsigned) {}
    void checkOperand(Width, unsigned = 0) {}
    void checkPadding() {}
    void checkEmptyRun() {}
    void pauseChecks() {}
    void noteRawBytes() {}
#endif

    unsigned char* block_ = nullptr;
    size_t size_ = 0;
    size_t capacity_ = 0;
};

class EventBuffer::ShortEvent {
public:
    // Starts a note, whose code byte is its number (0-127).
    static ShortEvent note(EventBuffer& buf, unsigned note) {
        buf.checkBegin(vld::kNoteEvent.row, note);
        return ShortEvent(buf, note);
    }
    // Starts an event of the named row.
    static ShortEvent named(EventBuffer& buf, vld::EventName event) {
        buf.checkBegin(event.row, event.code);
        return ShortEvent(buf, event.code);
    }
    ShortEvent(const ShortEvent&) = delete;
    ShortEvent& operator=(const ShortEvent&) = delete;
    ~ShortEvent() { buf_.size_ = static_cast<size_t>(at_ - buf_.block_); }

    void put(unsigned value) {
        buf_.checkOperand(Width::byte, value);
        *at_++ = static_cast<unsigned char>(value);
    }
    void putDuration(uint32_t clocks) {
        buf_.checkOperand(Width::duration);
        at_ += encodeDuration(at_, clocks);
    }

private:
    ShortEvent(EventBuffer& buf, unsigned code) : buf_(buf) {
        if (buf.size_ + kShortEvent > buf.capacity_) buf.reserve(buf.size_ + kShortEvent);
        at_ = buf.block_ + buf.size_;
        *at_++ = static_cast<unsigned char>(code);
    }
    EventBuffer& buf_;
    unsigned char* at_;
};
