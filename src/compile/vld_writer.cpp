#include "compile/vld_writer.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "base/failure.h"
#include "base/replacing_file.h"
#include "format/byte_order.h"

using namespace vld;

namespace {

void appendBE16(Bytes& out, uint32_t value) {
    out.push_back(static_cast<unsigned char>(value >> 8));
    out.push_back(static_cast<unsigned char>(value));
}

void appendBE32(Bytes& out, uint32_t value) {
    appendBE16(out, value >> 16);
    appendBE16(out, value);
}

template <typename Visit>
void forEachWrittenTrack(const TrackRecords& trk, const headdata& hd, Visit visit) {
    forEachListedTrack(hd, [&](int t) {
        if (trackIsWritten(trk[t], hd.keep_every_track)) visit(t);
    });
}

int writtenTrackCount(const TrackRecords& trk, const headdata& hd) {
    int n = 0;
    forEachWrittenTrack(trk, hd, [&](int) { ++n; });
    return n;
}

uint32_t commentLength(const trkdata& track) { return track.has_comment ? static_cast<uint32_t>(track.comment.size()) : 0; }

// Passes the file to a descriptor piece by piece: small pieces are gathered,
// large ones (the track streams) are written from where they lie, so the
// image is never copied whole. Remembers the first failure.
class DescriptorSink {
public:
    explicit DescriptorSink(int fd) : fd_(fd) {}
    void operator()(const unsigned char* bytes, size_t count) {
        if (count >= kDirect) {
            flush();
            if (ok_) ok_ = writeAll(fd_, bytes, count);
        } else {
            pending_.insert(pending_.end(), bytes, bytes + count);
            if (pending_.size() >= kDirect) flush();
        }
    }
    bool finish() {
        flush();
        return ok_;
    }

private:
    static constexpr size_t kDirect = 64 * 1024;
    void flush() {
        if (ok_ && !pending_.empty()) ok_ = writeAll(fd_, pending_.data(), pending_.size());
        pending_.clear();
    }
    int fd_;
    bool ok_ = true;
    Bytes pending_;
};

[[noreturn]] void cannotOpen(const std::string& name) { fatalExit(1, "%s\tError: destination file can't open.", name.c_str()); }
[[noreturn]] void cannotWrite(const std::string& name) { fatalExit(1, "%s\tError: destination file can't write.", name.c_str()); }

template <typename Sink>
void emitVld(const TrackRecords& trk, const headdata& hd, int32_t longestClocks, Sink& sink);

void writeToStandardOutput(const TrackRecords& trk, const headdata& hd, int32_t longestClocks) {
    std::fflush(stdout);
    DescriptorSink sink(STDOUT_FILENO);
    emitVld(trk, hd, longestClocks, sink);
    if (!sink.finish()) cannotWrite("-");
}

void writeToFile(const std::string& name, const TrackRecords& trk, const headdata& hd, int32_t longestClocks) {
    // A destination that exists but may not be written is refused as before,
    // although the rename below would replace it.
    if (::access(name.c_str(), F_OK) == 0 && ::access(name.c_str(), W_OK) != 0) cannotOpen(name);
    ReplacingFile file(name);
    if (!file.opened()) cannotOpen(name);
    DescriptorSink sink(file.descriptor());
    emitVld(trk, hd, longestClocks, sink);
    switch (file.finish(sink.finish())) {
        case ReplacingFile::Outcome::kReplaced: return;
        case ReplacingFile::Outcome::kWriteFailed: cannotWrite(name);
        case ReplacingFile::Outcome::kRenameFailed: cannotOpen(name);
    }
}

}  // namespace

bool trackIsWritten(const trkdata& track, bool keepEveryTrack) {
    return (track.partition_mark && track.buf.at(0) != 0xFF && !track.buf.empty()) || keepEveryTrack;
}

Bytes buildHeader(const TrackRecords& trk, const headdata& hd, int32_t longestClocks) {
    uint32_t commonLength = static_cast<uint32_t>(trk[0].length);
    uint32_t estimate = 4;
    forEachWrittenTrack(trk, hd, [&](int t) {
        estimate += static_cast<uint32_t>(trk[t].length) + 32 + commentLength(trk[t]);
        estimate = (estimate + 3) & ~3u;
    });

    Bytes header(kHeaderSize, 0);
    unsigned char* h = header.data();
    std::copy(std::begin(kMagic), std::end(kMagic), h);
    putBE32(h + kCommonPointerField, commonLength ? kHeaderSize - pointerBase(kCommonPointerField) : 0);
    putBE32(h + kTablePointerField, kHeaderSize + commonLength - pointerBase(kTablePointerField));
    putBE32(h + kSizeEstimateField, kHeaderSize + commonLength + estimate);
    putBE32(h + kCommentPointerField,
            hd.comment_offset ? kHeaderSize + static_cast<uint32_t>(hd.comment_offset) - pointerBase(kCommentPointerField) : 0);
    putBE32(h + kLongestClocksField, static_cast<uint32_t>(longestClocks));
    putBE16(h + kMeterField, hd.meter);
    h[kKeyField] = hd.key[0];
    h[kKeyField + 1] = hd.key[1];
    putBE16(h + kTimeBaseField, static_cast<uint32_t>(hd.whole_note_clocks));
    putBE16(h + kTempoField, static_cast<uint16_t>(hd.tempo));
    putBE32(h + kFlagsField, hd.flags);
    h[kTrackCountField] = static_cast<unsigned char>(writtenTrackCount(trk, hd));
    return header;
}

Bytes buildTrackTable(const TrackRecords& trk, const headdata& hd) {
    int n = writtenTrackCount(trk, hd);
    uint32_t table = kHeaderSize + static_cast<uint32_t>(trk[0].length);
    Bytes out;
    appendBE16(out, static_cast<uint32_t>(n - 1));
    uint32_t blockHead = table + kTableCountSize + kTableEntrySize * n + kTableSeparatorSize;
    int k = 0;
    forEachWrittenTrack(trk, hd, [&](int t) {
        const trkdata& track = trk[t];
        uint32_t comment = commentLength(track);
        uint32_t events = blockHead + kBlockHeadSize + comment + (comment % 2);
        uint32_t entry = table + kTableCountSize + kTableEntrySize * k;
        out.push_back(0);
        out.push_back(track.kind == 1 ? 0x80 : 0);
        out.push_back(static_cast<unsigned char>(track.interface_no - 1));
        out.push_back(0);
        appendBE16(out, track.device);
        appendBE16(out, static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(track.assigned_channel))));
        appendBE32(out, events - pointerBase(entry + kEntryEventsPointerField));
        appendBE32(out, blockHead - pointerBase(entry + kEntryBlockPointerField));
        blockHead = events + static_cast<uint32_t>(track.length);
        ++k;
    });
    return out;
}

namespace {

// The compiled file in order, handed to `sink(bytes, count)` piece by piece:
// the header, the common stream, the track table, then for each written
// track its block head, comment and events.
template <typename Sink>
void emitVld(const TrackRecords& trk, const headdata& hd, int32_t longestClocks, Sink& sink) {
    Bytes header = buildHeader(trk, hd, longestClocks);
    sink(header.data(), header.size());
    const trkdata& common = trk[0];
    sink(common.buf.data(), static_cast<size_t>(common.length));
    Bytes table = buildTrackTable(trk, hd);
    sink(table.data(), table.size());
    bool first = true;
    Bytes head;
    forEachWrittenTrack(trk, hd, [&](int t) {
        const trkdata& track = trk[t];
        head.clear();
        if (first) {
            head.insert(head.end(), kTableSeparatorSize, kTableSeparator);
            first = false;
        }
        uint32_t comment = commentLength(track);
        appendBE32(head, 0);
        appendBE32(head, 0);
        appendBE32(head, 0);
        appendBE32(head, comment);
        head.insert(head.end(), track.comment.begin(), track.comment.begin() + comment);
        if (comment % 2) head.push_back(0);
        sink(head.data(), head.size());
        sink(track.buf.data(), static_cast<size_t>(track.length));
    });
}

}  // namespace

Bytes buildVld(const TrackRecords& trk, const headdata& hd, int32_t longestClocks) {
    Bytes image;
    auto append = [&](const unsigned char* bytes, size_t count) { image.insert(image.end(), bytes, bytes + count); };
    emitVld(trk, hd, longestClocks, append);
    return image;
}

void writeVld(TrackRecords& trk, const headdata& hd, int32_t longestClocks, const std::string& destination) {
    if (destination.empty()) {
        writeToStandardOutput(trk, hd, longestClocks);
    } else {
        writeToFile(destination, trk, hd, longestClocks);
    }
    TrackRecords().swap(trk);
}
