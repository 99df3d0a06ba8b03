// Fuzz target: arbitrary bytes played as a compiled file into a MIDI file,
// once with the default choices and once with every optional effect on and
// the structure choices turned round (one loop pass, repeats after a jump
// cut to their last pass, FM voice numbers kept, ADPCM notes mapped, every
// detail kept). A small event budget and a few minutes of music keep a run
// short.
//
// Checked after every run, abort() on a violation: a refused file says why
// and has nothing to write; a written or cut one says why when cut, and its
// bytes are a well-formed Standard MIDI File of format 1 (the header's track
// count is the number of chunks, every chunk length holds exactly its
// events, delta times are proper variable-length quantities, channel
// messages carry data bytes below 0x80 with or without running status,
// exclusives run from F0 to F7, each track ends with FF 2F 00 and nothing
// follows). The notes are checked on the player's records rather than on the
// bytes, which may hold note messages of the user's raw byte sequences:
// within one track a note never starts on a channel and key where another is
// still sounding (its note-off would end both), and the note list never has
// a note ending before it starts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "export/player.h"

namespace {

[[noreturn]] void fail(const char* what, size_t at) {
    std::fprintf(stderr, "export_fuzzer: %s (MIDI file offset %zu)\n", what, at);
    std::abort();
}

class SmfCheck {
public:
    explicit SmfCheck(const std::vector<uint8_t>& file) : f_(file) {}

    // Returns the number of track chunks.
    size_t run(uint16_t division) {
        if (f_.size() < 14 || f_[0] != 'M' || f_[1] != 'T' || f_[2] != 'h' || f_[3] != 'd') fail("no MThd", 0);
        if (be32(4) != 6) fail("header chunk length is not 6", 4);
        if (be16(8) != 1) fail("not format 1", 8);
        size_t declared = be16(10);
        if (be16(12) != division || (division & 0x8000) || division == 0) fail("wrong division", 12);
        size_t at = 14, chunks = 0;
        while (at < f_.size()) {
            if (f_.size() - at < 8 || f_[at] != 'M' || f_[at + 1] != 'T' || f_[at + 2] != 'r' || f_[at + 3] != 'k') {
                fail("a chunk that is not MTrk", at);
            }
            size_t length = be32(at + 4);
            if (length > f_.size() - at - 8) fail("chunk length runs past the end of the file", at + 4);
            track(at + 8, at + 8 + length);
            at += 8 + length;
            ++chunks;
        }
        if (chunks != declared) fail("the header's track count is not the number of chunks", 10);
        return chunks;
    }

private:
    uint32_t be16(size_t at) const { return uint32_t{f_[at]} << 8 | f_[at + 1]; }
    uint32_t be32(size_t at) const { return be16(at) << 16 | be16(at + 2); }

    // A variable-length quantity of at most four bytes, inside [at, end).
    uint32_t vlq(size_t& at, size_t end) const {
        uint32_t value = 0;
        for (int n = 0; n < 4; ++n) {
            if (at >= end) fail("a variable-length quantity runs past its chunk", at);
            uint8_t b = f_[at++];
            value = value << 7 | (b & 0x7F);
            if (!(b & 0x80)) return value;
        }
        fail("a variable-length quantity of more than four bytes", at);
    }

    void track(size_t at, size_t end) {
        uint8_t running = 0;
        bool ended = false;
        while (at < end) {
            if (ended) fail("events after the end of the track", at);
            vlq(at, end);
            if (at >= end) fail("a delta time without its event", at);
            uint8_t status = f_[at];
            if (status == 0xFF) {
                if (end - at < 3) fail("a meta event cut short", at);
                uint8_t type = f_[at + 1];
                if (type & 0x80) fail("a meta event type above 0x7F", at + 1);
                at += 2;
                uint32_t length = vlq(at, end);
                if (length > end - at) fail("a meta event runs past its chunk", at);
                if (type == 0x2F) {
                    if (length != 0) fail("an end of track with data", at);
                    ended = true;
                }
                at += length;
                running = 0;
            } else if (status == 0xF0 || status == 0xF7) {
                ++at;
                uint32_t length = vlq(at, end);
                if (length > end - at) fail("an exclusive runs past its chunk", at);
                if (status == 0xF0) {
                    if (length == 0 || f_[at + length - 1] != 0xF7) fail("an exclusive without its F7", at);
                    for (size_t i = at; i + 1 < at + length; ++i) {
                        if (f_[i] & 0x80) fail("an exclusive data byte above 0x7F", i);
                    }
                }
                at += length;
                running = 0;
            } else {
                if (status & 0x80) {
                    if (status >= 0xF0) fail("a system message in a track", at);
                    running = status;
                    ++at;
                } else if (!running) {
                    fail("a data byte without a status", at);
                }
                size_t data = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
                if (end - at < data) fail("a channel message cut short", at);
                for (size_t i = 0; i < data; ++i) {
                    if (f_[at + i] & 0x80) fail("a channel message data byte above 0x7F", at + i);
                }
                at += data;
            }
        }
        if (!ended) fail("a track without FF 2F 00 at its end", end);
    }

    const std::vector<uint8_t>& f_;
};

// The notes of one track as written: by channel and key, then start.
void checkNotes(const vld::SmfTrack& track) {
    std::vector<vld::SmfNote> notes = track.notes();
    std::stable_sort(notes.begin(), notes.end(), [](const vld::SmfNote& a, const vld::SmfNote& b) {
        if (a.channel != b.channel) return a.channel < b.channel;
        if (a.pitch != b.pitch) return a.pitch < b.pitch;
        return a.start < b.start;
    });
    for (size_t i = 1; i < notes.size(); ++i) {
        const vld::SmfNote& a = notes[i - 1];
        const vld::SmfNote& b = notes[i];
        if (a.channel != b.channel || a.pitch != b.pitch) continue;
        uint64_t a_end = std::max<uint64_t>(a.end, uint64_t{a.start} + 1);
        if (b.start < a_end) fail("a note starts on a channel and key still sounding in its track", 0);
    }
}

void check(const vld::ExportResult& result) {
    using Outcome = vld::ExportResult::Outcome;
    if (result.outcome == Outcome::malformed) {
        if (result.message.empty()) fail("a refused file without a message", 0);
        if (!result.tracks.empty()) fail("a refused file with tracks to write", 0);
        return;
    }
    if (result.outcome == Outcome::cut && result.message.empty()) fail("a cut without a message", 0);
    std::vector<uint8_t> file = result.file();
    if (SmfCheck(file).run(result.division) != result.tracks.size()) fail("chunks other than the tracks", 0);
    for (const vld::SmfTrack& track : result.tracks) checkNotes(track);
    for (const vld::TimelineNote& n : vld::noteTimeline(result)) {
        if (n.end < n.start) fail("a note that ends before it starts", 0);
    }
    (void)result.summary.line(vld::ExportSummary::Outcome::skipped);
    (void)result.summary.line(vld::ExportSummary::Outcome::approximated);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::span<const uint8_t> file(data, size);

    vld::ExportOptions plain;
    plain.event_budget = 200000;
    plain.max_minutes = 5;
    check(vld::exportVld(file, plain));

    vld::ExportOptions turned = plain;
    turned.loops = 1;
    turned.repeats_after_jump = false;
    turned.fm_program = 0;
    turned.adpcm = vld::ExportOptions::Adpcm::map;
    for (size_t key = 0; key < turned.adpcm_map.size(); ++key) {
        turned.adpcm_map[key] = static_cast<int16_t>(key % 3 == 0 ? -1 : 35 + key % 47);
    }
    turned.modulation = false;
    turned.lfo = true;
    turned.fades = true;
    turned.velocity = 1;
    turned.lead_in = 7;
    turned.glide_step = 1;
    turned.details = true;
    check(vld::exportVld(file, turned));
    return 0;
}
