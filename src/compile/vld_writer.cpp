#include "compile/vld_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "cli/memory.h"
#include "cli/switches.h"
#include "compile/byte_order.h"

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
        if (trackIsWritten(trk[t])) visit(t);
    });
}

int writtenTrackCount(const TrackRecords& trk, const headdata& hd) {
    int n = 0;
    forEachWrittenTrack(trk, hd, [&](int) { ++n; });
    return n;
}

uint32_t commentLength(const trkdata& track) { return track.has_comment ? static_cast<uint32_t>(track.comment.size()) : 0; }

// Writes all of `bytes` to the descriptor; false on any failure.
bool writeAll(int fd, const Bytes& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

[[noreturn]] void cannotOpen(const std::string& name) { fatalExit(1, "%s\tError: destination file can't open.", name.c_str()); }
[[noreturn]] void cannotWrite(const std::string& name) { fatalExit(1, "%s\tError: destination file can't write.", name.c_str()); }

void writeToStandardOutput(const Bytes& image) {
    std::fflush(stdout);
    if (!writeAll(STDOUT_FILENO, image)) cannotWrite("-");
}

void writeToFile(const std::string& name, const Bytes& image) {
    // A destination that exists but may not be written is refused as before,
    // although the rename below would replace it.
    if (::access(name.c_str(), F_OK) == 0 && ::access(name.c_str(), W_OK) != 0) cannotOpen(name);
    std::string temporary = name + ".XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0) cannotOpen(name);
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    bool written = writeAll(fd, image);
    if (::close(fd) != 0) written = false;
    if (!written) {
        ::unlink(temporary.c_str());
        cannotWrite(name);
    }
    if (::rename(temporary.c_str(), name.c_str()) != 0) {
        ::unlink(temporary.c_str());
        cannotOpen(name);
    }
}

}  // namespace

bool trackIsWritten(const trkdata& track) {
    return (track.partition_mark && track.buf.at(0) != 0xFF && !track.buf.empty()) || getSwitch('z') >= 3;
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
    h[0] = 0x1A;
    for (int i = 0; i < 7; ++i) h[1 + i] = static_cast<unsigned char>("VeLtRa0"[i]);
    putBE32(h + 8, commonLength ? 68 : 0);
    putBE32(h + 12, 64 + commonLength);
    putBE32(h + 20, 80 + commonLength + estimate);
    putBE32(h + 36, hd.comment_offset ? static_cast<uint32_t>(hd.comment_offset) + 40 : 0);
    putBE32(h + 40, static_cast<uint32_t>(longestClocks));
    putBE16(h + 48, hd.meter);
    h[52] = hd.key[0];
    h[53] = hd.key[1];
    putBE16(h + 54, static_cast<uint32_t>(hd.whole_note_clocks));
    putBE16(h + 56, static_cast<uint16_t>(hd.tempo));
    putBE32(h + 60, hd.flags);
    h[74] = static_cast<unsigned char>(writtenTrackCount(trk, hd));
    return header;
}

Bytes buildTrackTable(const TrackRecords& trk, const headdata& hd) {
    int n = writtenTrackCount(trk, hd);
    uint32_t table = kHeaderSize + static_cast<uint32_t>(trk[0].length);
    Bytes out;
    appendBE16(out, static_cast<uint32_t>(n - 1));
    uint32_t blockHead = table + 2 + kTableEntrySize * n + 2;
    int k = 0;
    forEachWrittenTrack(trk, hd, [&](int t) {
        const trkdata& track = trk[t];
        uint32_t comment = commentLength(track);
        uint32_t events = blockHead + 16 + comment + (comment % 2);
        uint32_t entry = table + 2 + kTableEntrySize * k;
        out.push_back(0);
        out.push_back(track.kind == 1 ? 0x80 : 0);
        out.push_back(static_cast<unsigned char>(track.interface_no - 1));
        out.push_back(0);
        appendBE16(out, track.device);
        appendBE16(out, static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(track.assigned_channel))));
        appendBE32(out, events - (entry + 12));
        appendBE32(out, blockHead - (entry + 16));
        blockHead = events + static_cast<uint32_t>(track.length);
        ++k;
    });
    return out;
}

Bytes buildVld(const TrackRecords& trk, const headdata& hd, int32_t longestClocks) {
    Bytes image = buildHeader(trk, hd, longestClocks);
    const trkdata& common = trk[0];
    image.insert(image.end(), common.buf.data(), common.buf.data() + common.length);
    Bytes table = buildTrackTable(trk, hd);
    image.insert(image.end(), table.begin(), table.end());
    bool first = true;
    forEachWrittenTrack(trk, hd, [&](int t) {
        const trkdata& track = trk[t];
        if (first) {
            image.push_back(0x2F);
            image.push_back(0x2F);
            first = false;
        }
        uint32_t comment = commentLength(track);
        appendBE32(image, 0);
        appendBE32(image, 0);
        appendBE32(image, 0);
        appendBE32(image, comment);
        image.insert(image.end(), track.comment.begin(), track.comment.begin() + comment);
        if (comment % 2) image.push_back(0);
        image.insert(image.end(), track.buf.data(), track.buf.data() + track.length);
    });
    return image;
}

void writeVld(TrackRecords& trk, const headdata& hd, int32_t longestClocks) {
    Bytes image = buildVld(trk, hd, longestClocks);
    TrackRecords().swap(trk);
    if (getSwitch('c') != -1) {
        writeToStandardOutput(image);
    } else {
        writeToFile(destinationName(), image);
    }
}
