#include "export/player.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <memory>
#include <optional>
#include <queue>
#include <set>
#include <unordered_map>

#include "dump/event_decoder.h"
#include "dump/format.h"
#include "dump/vld_dump.h"
#include "export/channel_map.h"
#include "export/controller_modulation.h"
#include "export/raw_messages.h"
#include "export/track_effects.h"

namespace vld {

namespace {

constexpr int kMinTempo = 4;             // the slowest a set_tempo meta can hold

using Outcome = ExportSummary::Outcome;

int clampInt(int64_t v, int low, int high) { return static_cast<int>(std::clamp<int64_t>(v, low, high)); }

// The bytes and readings of one stream.
struct StreamData {
    StreamInput input;
    StreamReadings readings;
};

// A repeat being played: which pass of how many.
struct RepeatPass {
    uint32_t pass = 1;
    uint32_t count = 1;
};

// A note of the track that a tie keeps sounding.
struct OpenNote {
    bool active = false;
    bool hold = false;         // held into a chord: only a rest or the same pitch ends it
    uint32_t index = 0;        // in the track's notes
    uint32_t last_clock = 0;   // of the event that left it open
};

// Where a note sounds, for ending it when another note of the same pitch
// starts on the same channel.
struct SoundingNote {
    int track = -1;  // the index of the track that plays it
    uint32_t index = 0;
};

struct TrackPlayer {
    int order = 0;  // 1-based place in the table
    Route route;
    SmfTrack* out = nullptr;

    // Where it reads: the stream (a replay reads another track's), the offset.
    int stream = 0;
    uint32_t pos = 0;
    struct Return {
        int stream;
        uint32_t pos;
    };
    std::vector<Return> returns;  // replays in progress
    uint32_t clock = 0;
    enum class State : uint8_t { running, waiting, ended } state = State::running;
    std::deque<uint32_t> signals;  // synchronize signals not yet waited for, by their clock
    uint32_t wait_offset = 0;

    // Structure.
    bool jumped = false;  // a D.C. or D.S. has been taken
    bool dc_taken = false;
    std::set<uint64_t> ds_taken;
    std::unordered_map<uint64_t, RepeatPass> repeats;  // by stream and offset of the repeat count
    bool has_do = false;
    int do_stream = 0;
    uint32_t do_pos = 0;
    uint32_t do_clock = 0;
    bool looping = false;
    uint32_t loop_until = 0;  // do clock + passes x body

    // Sound.
    int velocity = 127;
    int volume = 100;
    bool volume_in_sixteenths = false;
    int pan = 64;
    int transpose = 0;
    bool rhythm = false;
    int bend = 0;
    int detune = 0;
    int bend_range = 2;
    int tie_mode = 0;
    int last_pitch = -1;  // for auto portamento
    bool has_instrument = false;
    bool timer_warned = false;
    uint8_t maker = 0, device = 0, model = 0;
    VelocityPattern pattern;
    ProgramSplit split;
    AutoPortamento auto_portamento;
    ControllerModulation modulation;
    ControllerModulation lfo;
    Fade fade;
    std::array<OpenNote, 128> open{};
    std::vector<uint8_t> open_pitches;

    // The tie on `pitch` is over.
    void closeTie(int pitch) {
        open[pitch].active = false;
        std::erase(open_pitches, static_cast<uint8_t>(pitch));
    }
};

struct ChannelState {
    std::array<SoundingNote, 128> sounding{};
    int bank_msb = -1, bank_lsb = -1, program = -1;
};

class Player {
public:
    Player(std::span<const uint8_t> file, const ExportOptions& options, ExportResult& result)
        : file_(file), options_(options), result_(result) {}

    bool load();
    void run();

private:
    uint32_t tick(uint32_t clock) const { return clock * result_.ticks_per_clock; }
    void malformed(const StreamData& s, uint32_t offset, const std::string& what);
    void count(Outcome outcome, std::string_view kind, const TrackPlayer& t);
    void playCommon();
    void step(TrackPlayer& t);
    void execute(TrackPlayer& t, uint32_t at);
    bool jumpTo(TrackPlayer& t, uint32_t at, std::optional<uint32_t> target, uint8_t code, bool past,
                const char* what);
    void endTrack(TrackPlayer& t, uint32_t clock);
    void endOpenNotes(TrackPlayer& t, uint32_t clock, bool holds_too, int except_pitch, bool legato);
    void playNote(TrackPlayer& t, int written_pitch, uint32_t gate, unsigned velocity_byte, Glide* glide);
    void zeroLengthNote(TrackPlayer& t, int written_pitch, unsigned velocity_byte);
    uint32_t startNote(TrackPlayer& t, int pitch, int velocity, uint32_t end);
    int pitchOf(const TrackPlayer& t, int written_pitch) const;
    bool sounds(TrackPlayer& t, int velocity);
    int velocityOf(TrackPlayer& t, unsigned byte);
    ChannelState& channel(const Route& r);
    void control(TrackPlayer& t, uint8_t controller, int value);
    void wheel(TrackPlayer& t, int value, uint32_t clock);
    void bendRange(TrackPlayer& t, int semitones, uint32_t clock);
    void program(TrackPlayer& t, int bank_msb, int bank_lsb, int program);
    void setTempo(uint32_t clock, int tempo);
    void signal(TrackPlayer& from, uint32_t index);
    void pitchLfo(TrackPlayer& t);
    void fader(TrackPlayer& t);
    double secondsAt(uint32_t clock) const;
    uint32_t clockAtSeconds(double seconds) const;
    void fixEnd();
    void cutAll(const TrackPlayer& at);
    void finish();

    std::span<const uint8_t> file_;
    const ExportOptions& options_;
    ExportResult& result_;
    Dump frame_;
    StreamData common_;
    std::vector<StreamData> streams_;
    std::vector<TrackPlayer> tracks_;
    std::vector<ChannelState> channels_;  // by port x 16 + channel
    std::unique_ptr<ChannelMap> map_;
    Event event_;  // the event being played, decoded
    Event target_;  // an event a jump leads to
    std::vector<std::pair<uint32_t, int>> tempo_map_;  // (clock, tempo)
    int tempo_ = 120;
    bool failed_ = false;
    bool end_fixed_ = false;
    uint32_t end_clock_ = 0;    // where looping tracks stop once fixed
    uint32_t limit_clock_ = 0;  // --max-minutes as clocks
    uint64_t events_played_ = 0;
    bool loop_marked_ = false;
    uint32_t quarter_clocks_ = 48;
    UserWaves user_waves_;
    // The running tracks by clock, then table order: whose turn it is.
    struct Turn {
        uint32_t clock;
        int order;
        size_t index;
        bool operator>(const Turn& other) const {
            return clock != other.clock ? clock > other.clock : order > other.order;
        }
    };
    std::priority_queue<Turn, std::vector<Turn>, std::greater<>> turns_;
    bool states_changed_ = true;  // a track ended, waits, woke or began to loop
    uint32_t sample_clocks_ = 3;  // between two samples of a modulation or a fade
};

void Player::malformed(const StreamData& s, uint32_t offset, const std::string& what) {
    if (failed_) return;
    failed_ = true;
    result_.outcome = ExportResult::Outcome::malformed;
    std::string stream = s.input.order == 0 ? "common stream" : "track " + std::to_string(s.input.order);
    result_.message = "offset " + hexNumber(s.input.file_offset + offset) + ": " + stream + " at stream offset " +
                      hexNumber(offset).substr(2) + ": " + what;
}

void Player::count(Outcome outcome, std::string_view kind, const TrackPlayer& t) {
    result_.summary.note(outcome, kind, t.order, event_.offset, t.clock, event_.row ? event_.row->name : "");
}

bool Player::load() {
    DumpOptions options;
    options.decode_streams = false;
    frame_ = dumpVld(file_.data(), file_.size(), options);
    if (!frame_.problems.empty()) {
        result_.outcome = ExportResult::Outcome::malformed;
        result_.message = "offset " + hexNumber(frame_.problems.front().file_offset) + ": " +
                          frame_.problems.front().message;
        return false;
    }
    const HeaderInfo& h = frame_.header;
    if (h.time_base == 0) {
        result_.outcome = ExportResult::Outcome::malformed;
        result_.message = "offset 0x0000: the time base is 0 clocks per whole note";
        return false;
    }
    // 1 tick = 1 clock when a quarter note is a whole number of clocks.
    uint32_t factor = h.time_base % 4 == 0 ? 1 : h.time_base % 2 == 0 ? 2 : 4;
    uint32_t division = h.time_base * factor / 4;
    if (division > 0x7FFF) {
        result_.outcome = ExportResult::Outcome::malformed;
        result_.message = "offset 0x0000: a time base of " + std::to_string(h.time_base) +
                          " clocks does not fit a MIDI file's division";
        return false;
    }
    result_.ticks_per_clock = factor;
    result_.division = static_cast<uint16_t>(division);
    result_.time_base = h.time_base;
    result_.meter = h.meter;
    quarter_clocks_ = std::max<uint32_t>(1, h.time_base / 4);
    sample_clocks_ = std::max<uint32_t>(1, h.time_base / 64);
    if (factor != 1) {
        result_.summary.warn("the time base of " + std::to_string(h.time_base) + " clocks is not a multiple of 4: " +
                             "1 clock is " + std::to_string(factor) + " ticks");
    }

    int track_count = static_cast<int>(frame_.tracks.size());
    common_.input.bytes = file_.data() + frame_.common_offset;
    common_.input.length = frame_.common_length;
    common_.input.file_offset = frame_.common_offset;
    common_.input.order = 0;
    common_.input.track_count = track_count;
    common_.readings = chooseReadings(common_.input);
    if (!common_.readings.complete) {
        const Problem& p = common_.readings.problems.front();
        result_.outcome = ExportResult::Outcome::malformed;
        result_.message = "offset " + hexNumber(p.file_offset) + ": " + p.message;
        return false;
    }
    for (const TrackEntry& t : frame_.tracks) {
        StreamData s;
        s.input.bytes = file_.data() + t.events_offset;
        s.input.length = t.events_length;
        s.input.file_offset = t.events_offset;
        s.input.order = t.order;
        s.input.track_count = track_count;
        s.input.device = t.device;
        s.readings = chooseReadings(s.input);
        if (!s.readings.complete) {
            const Problem& p = s.readings.problems.front();
            result_.outcome = ExportResult::Outcome::malformed;
            result_.message = "offset " + hexNumber(p.file_offset) + ": " + p.message;
            return false;
        }
        streams_.push_back(std::move(s));
    }
    return true;
}

// Reads the common stream: the interface for tracks on the current one, the
// name, the exclusives (at clock 0 in the conductor) and the wave forms.
void Player::playCommon() {
    SmfTrack& conductor = result_.tracks[0];
    int current_interface = 1;
    Event e;
    // The interface comes first: the channel map needs it.
    for (uint32_t p = 0; p < common_.input.length;) {
        const EventRow* row = common_.readings.rowAt(p);
        if (!row || !decodeEvent(common_.input, p, *row, e)) break;
        if (e.code == 0x30) current_interface = static_cast<int>(e.number("interface", 1));
        p += e.size;
    }
    map_ = std::make_unique<ChannelMap>(frame_.tracks, current_interface, options_, result_.summary);

    bool named = false;
    for (uint32_t p = 0; p < common_.input.length;) {
        const EventRow* row = common_.readings.rowAt(p);
        if (!row || !decodeEvent(common_.input, p, *row, e)) break;
        p += e.size;
        switch (e.code) {
        case 0x40: {  // comment: the first line names the piece
            const Operand* text = e.operand("text");
            if (!text) break;
            std::string all(text->bytes.begin(), text->bytes.end());
            std::string first = all.substr(0, all.find('\n'));
            while (!first.empty() && (first.back() == '\r' || first.back() == ' ')) first.pop_back();
            if (!named && !first.empty()) {
                conductor.text(0, 0x03, first);
                named = true;
            }
            conductor.text(0, 0x01, all);
            break;
        }
        case 0x34: {  // exclusive
            const Operand* message = e.operand("message");
            if (message && sendRawMessages(conductor, 0, message->bytes) > 0) {
                result_.summary.note(Outcome::approximated, "raw byte sequence", 0, e.offset, 0, "exclusive");
            }
            break;
        }
        case 0x1C: {  // a wave table for the controller modulators
            const Operand* values = e.operand("values");
            if (values) user_waves_.push_back({static_cast<int>(e.number("wave")), values->bytes});
            break;
        }
        case 0x04:
        case 0x1B: result_.summary.note(Outcome::skipped, "FM voice definition", 0, e.offset, 0, row->name); break;
        default: break;
        }
    }
}

void Player::setTempo(uint32_t clock, int tempo) {
    tempo_ = std::clamp(tempo, kMinTempo, 65535);
    if (!tempo_map_.empty() && tempo_map_.back().first == clock) {
        tempo_map_.back().second = tempo_;
    } else if (tempo_map_.empty() || tempo_map_.back().second != tempo_) {
        tempo_map_.push_back({clock, tempo_});
    }
    limit_clock_ = clockAtSeconds(options_.max_minutes * 60);
}

double Player::secondsAt(uint32_t clock) const {
    double seconds = 0;
    for (size_t i = 0; i < tempo_map_.size() && tempo_map_[i].first < clock; ++i) {
        uint32_t until = i + 1 < tempo_map_.size() ? std::min(clock, tempo_map_[i + 1].first) : clock;
        seconds += double(until - tempo_map_[i].first) / quarter_clocks_ * 60.0 / tempo_map_[i].second;
    }
    return seconds;
}

uint32_t Player::clockAtSeconds(double seconds) const {
    const auto& [clock, tempo] = tempo_map_.back();
    double left = seconds - secondsAt(clock);
    if (left <= 0) return clock;
    double clocks = left * tempo / 60.0 * quarter_clocks_;
    return static_cast<uint32_t>(std::min<double>(clock + clocks, UINT32_MAX - 1.0));
}

ChannelState& Player::channel(const Route& r) {
    size_t key = size_t{r.port} * 16 + r.channel;
    if (key >= channels_.size()) channels_.resize(key + 1);
    return channels_[key];
}

void Player::control(TrackPlayer& t, uint8_t controller, int value) {
    if (t.route.silent) return;
    if (controller == 7 && options_.fades) {
        t.fade.clock = std::max(t.fade.clock, t.clock);
        value = t.fade.scaled(std::clamp(value, 0, 127));
        t.fade.last_sent = value;
    }
    t.out->message(tick(t.clock), static_cast<uint8_t>(0xB0 | t.route.channel), controller,
                   static_cast<uint8_t>(std::clamp(value, 0, 127)));
}

void Player::wheel(TrackPlayer& t, int value, uint32_t clock) {
    t.lfo.setWheelBase(value);
    if (!t.route.silent) sendPitchWheel(*t.out, tick(clock), t.route.channel, value);
}

void Player::bendRange(TrackPlayer& t, int semitones, uint32_t clock) {
    if (!t.route.silent) sendBendRange(*t.out, tick(clock), t.route.channel, semitones);
}

void Player::program(TrackPlayer& t, int bank_msb, int bank_lsb, int program) {
    if (t.route.silent) return;
    ChannelState& c = channel(t.route);
    uint8_t status = static_cast<uint8_t>(0xB0 | t.route.channel);
    if (bank_msb >= 0) {
        t.out->message(tick(t.clock), status, 0, static_cast<uint8_t>(bank_msb));
        c.bank_msb = bank_msb;
    }
    if (bank_lsb >= 0) {
        t.out->message(tick(t.clock), status, 32, static_cast<uint8_t>(bank_lsb));
        c.bank_lsb = bank_lsb;
    }
    if (program >= 0) {
        t.out->message(tick(t.clock), static_cast<uint8_t>(0xC0 | t.route.channel), static_cast<uint8_t>(program));
        c.program = program;
    }
}

int Player::velocityOf(TrackPlayer& t, unsigned byte) {
    if (byte == 0x80) return t.pattern.next(t.clock, t.velocity);
    if (byte < 0x80) return static_cast<int>(byte);
    return clampInt(int64_t{t.velocity} + (static_cast<int>(byte) - 0xC0), 1, 127);
}

void Player::endOpenNotes(TrackPlayer& t, uint32_t clock, bool holds_too, int except_pitch, bool legato) {
    size_t kept = 0;
    for (uint8_t pitch : t.open_pitches) {
        OpenNote& o = t.open[pitch];
        if (!o.active) continue;
        bool ends = pitch != except_pitch && (holds_too || (!o.hold && o.last_clock < clock));
        if (!ends) {
            t.open_pitches[kept++] = pitch;
            continue;
        }
        if (t.out->sounding(o.index) && t.out->noteEnd(o.index) == kOpenEnd) {
            t.out->setNoteEnd(o.index, tick(clock), legato);
        }
        o.active = false;
    }
    t.open_pitches.resize(kept);
}

int Player::pitchOf(const TrackPlayer& t, int written_pitch) const {
    int pitch = written_pitch + (t.rhythm ? 0 : t.transpose);
    if (t.route.sound == Sound::adpcm && options_.adpcm == ExportOptions::Adpcm::map && pitch >= 0 && pitch < 128 &&
        options_.adpcm_map[pitch] >= 0) {
        pitch = options_.adpcm_map[pitch];
    }
    return pitch;
}

void Player::playNote(TrackPlayer& t, int written_pitch, uint32_t gate, unsigned velocity_byte, Glide* glide) {
    bool tied = gate == kGateTie || gate == kGateHold;
    int pitch = pitchOf(t, written_pitch);
    // A tie to another pitch ends at this note: a slur.
    endOpenNotes(t, t.clock, false, pitch, t.tie_mode != 0);
    if (pitch < 0 || pitch > 127) {
        count(Outcome::skipped, "note out of range", t);
        return;
    }
    uint32_t end = tied ? kOpenEnd : tick(t.clock + std::max<uint32_t>(gate, 1));
    OpenNote& o = t.open[pitch];
    if (o.active) {
        if (t.out->sounding(o.index) && t.out->noteEnd(o.index) == kOpenEnd) {
            // The tie goes on: no new note-on, the note lasts to this event's end.
            t.out->setNoteEnd(o.index, end);
            o.hold = gate == kGateHold;
            o.last_clock = t.clock;
            if (!tied) t.closeTie(pitch);
            return;
        }
        t.closeTie(pitch);
    }
    int velocity = velocityOf(t, velocity_byte);
    if (!sounds(t, velocity)) return;
    if (t.split.on) {
        if (const ProgramSplit::Entry* entry = t.split.find(pitch)) {
            ChannelState& c = channel(t.route);
            int msb = (entry->bank >> 7) & 0x7F, lsb = entry->bank & 0x7F, prog = (entry->program - 1) & 0x7F;
            if (c.bank_msb != msb || c.bank_lsb != lsb || c.program != prog) program(t, msb, lsb, prog);
        }
    }
    uint32_t note_end_clock = tied ? t.clock + 1 : t.clock + std::max<uint32_t>(gate, 1);
    if (glide) {
        writeGlide(*t.out, t.route.channel, *glide, t.clock, note_end_clock, t.bend_range, t.bend + t.detune,
                   result_.ticks_per_clock, options_.glide_step);
        if (glide->clamped) count(Outcome::approximated, "glide wider than 24 semitones", t);
    }
    uint32_t index = startNote(t, pitch, velocity, end);
    t.modulation.noteOn(t.clock);
    if (tied) {
        o = {true, gate == kGateHold, static_cast<uint32_t>(index), t.clock};
        t.open_pitches.push_back(static_cast<uint8_t>(pitch));
    }
    t.last_pitch = pitch;
}

// Counts a note played; false when it goes nowhere: velocity 0 (the
// driver's note-on of velocity 0 is a note-off) or a track left out.
bool Player::sounds(TrackPlayer& t, int velocity) {
    if (velocity <= 0) {
        count(Outcome::skipped, "note of velocity 0", t);
        return false;
    }
    ++result_.notes;
    return !t.route.silent;
}

// Starts a note at the track's clock on its channel. Another note of that
// pitch still sounding on the channel, from any track, ends here: a synth
// would end both at the first note-off. One that would so last no time at
// all is left out, merged into this one.
uint32_t Player::startNote(TrackPlayer& t, int pitch, int velocity, uint32_t end) {
    uint32_t start = tick(t.clock);
    SoundingNote& sounding = channel(t.route).sounding[pitch];
    if (sounding.track >= 0) {
        TrackPlayer& owner = tracks_[sounding.track];
        SmfTrack& theirs = *owner.out;
        uint32_t id = sounding.index;
        if (theirs.sounding(id) && theirs.noteEnd(id) > start) {
            if (theirs.noteStart(id) == start) theirs.dropNote(id);
            else theirs.setNoteEnd(id, start);
            if (owner.open[pitch].active && owner.open[pitch].index == id) owner.closeTie(pitch);
        }
    }
    uint32_t id = t.out->noteOn(start, t.route.channel, static_cast<uint8_t>(pitch),
                                static_cast<uint8_t>(std::clamp(velocity, 1, 127)), end);
    sounding = {t.order - 1, id};
    return id;
}

void Player::zeroLengthNote(TrackPlayer& t, int written_pitch, unsigned velocity_byte) {
    int pitch = pitchOf(t, written_pitch);
    if (pitch < 0 || pitch > 127) {
        count(Outcome::skipped, "note out of range", t);
        return;
    }
    int velocity = velocityOf(t, velocity_byte);
    if (sounds(t, velocity)) startNote(t, pitch, velocity, tick(t.clock + 1));
}

void Player::endTrack(TrackPlayer& t, uint32_t clock) {
    endOpenNotes(t, clock, true, -1, false);
    // Notes that would sound past a cut end there.
    uint32_t at = tick(clock);
    if (t.looping || end_fixed_) t.out->cutNotesAt(at);
    t.clock = clock;
    t.state = TrackPlayer::State::ended;
    t.out->endAt(at);
}

// Follows a link to `target`, which must be the operand (`past`: the event)
// of an event with `code`; then reading goes on behind that event. False, and
// the file is malformed, when the link leads anywhere else.
bool Player::jumpTo(TrackPlayer& t, uint32_t at, std::optional<uint32_t> target, uint8_t code, bool past,
                    const char* what) {
    StreamData& s = streams_[t.stream];
    if (!target) {
        const Operand* link = event_.operand("link");
        if (link && link->value == 0) {
            // A D.S. without a segno, a to-coda without a coda: the compiler
            // leaves the link empty, and the music goes on.
            count(Outcome::skipped, std::string(what) + " that leads nowhere", t);
            return false;
        }
        malformed(s, at, std::string("the ") + what + " leads outside the stream");
        return false;
    }
    uint32_t event = past ? *target : *target - 1;
    const EventRow* row = s.readings.rowAt(event);
    if (!row || (code != 0 && s.input.bytes[event] != code) || !decodeEvent(s.input, event, *row, target_)) {
        const char* wanted = code == 0xCD ? "the count of a repeat start"
                             : code == 0xD0 ? "the link of a segno"
                             : code == 0xD1 ? "the link of a coda"
                                            : "where an event starts";
        malformed(s, at, std::string("the ") + what + " leads to " + hexNumber(*target).substr(2) + ", which is not " +
                             wanted);
        return false;
    }
    t.pos = past ? event : event + target_.size;
    return true;
}

void Player::signal(TrackPlayer& from, uint32_t index) {
    if (index >= tracks_.size()) {
        count(Outcome::skipped, "synchronize to no track", from);
        return;
    }
    TrackPlayer& to = tracks_[index];
    if (to.state == TrackPlayer::State::waiting) {
        to.state = TrackPlayer::State::running;
        to.clock = std::max(to.clock, from.clock);
        turns_.push({to.clock, to.order, index});
        states_changed_ = true;
    } else if (to.state == TrackPlayer::State::running) {
        to.signals.push_back(from.clock);
    }
}

// The pitch LFO: left out unless asked for, as its units are not known.
void Player::pitchLfo(TrackPlayer& t) {
    if (!options_.lfo || t.route.silent) {
        if (event_.code != 0x96 || event_.number("value") != 0) count(Outcome::skipped, "pitch LFO setting", t);
        return;
    }
    t.lfo.setWheelBase(t.bend + t.detune);
    t.lfo.applyLfo(event_, t.clock, *t.out, t.route.channel, result_.ticks_per_clock);
    count(Outcome::approximated, "pitch LFO setting", t);
}

// A fader on this track, on the tracks of a channel or on all: left out
// unless asked for, as the unit of its speed is not known.
void Player::fader(TrackPlayer& t) {
    if (!options_.fades) {
        count(Outcome::skipped, "fader", t);
        return;
    }
    const Operand* values = event_.operand("values");
    auto element = [&](size_t i) -> std::optional<int64_t> {
        return values && i < values->elements.size() ? values->elements[i] : std::nullopt;
    };
    uint16_t target = static_cast<uint16_t>(event_.number("target"));
    Route channel;
    if (target != 0x7FFE && target != 0xFFFE) {
        channel = map_->route(target, static_cast<uint16_t>(event_.number("channel")), t.order);
    }
    for (TrackPlayer& other : tracks_) {
        bool chosen = target == 0xFFFE || (target == 0x7FFE ? &other == &t
                                                            : other.route.port == channel.port &&
                                                                  other.route.channel == channel.channel);
        if (!chosen || other.state == TrackPlayer::State::ended) continue;
        other.fade.start(std::max(other.clock, t.clock), element(0).value_or(256), element(1), element(2));
    }
    count(Outcome::approximated, "fader", t);
}

void Player::execute(TrackPlayer& t, uint32_t at) {
    const Event& e = event_;
    const EventRow& row = *e.row;
    uint8_t code = e.code;
    if (code < 0x80) {
        playNote(t, code, static_cast<uint32_t>(e.number("gate")), static_cast<unsigned>(e.number("velocity")),
                 t.auto_portamento.glideFrom(t.last_pitch, code + (t.rhythm ? 0 : t.transpose)));
        if (t.auto_portamento.on) count(Outcome::approximated, "auto portamento glide", t);
        return;
    }
    auto value = [&](std::string_view label) { return e.number(label); };
    switch (code) {
    case 0x80:  // rest
        endOpenNotes(t, t.clock, true, -1, false);
        return;
    case 0x81: return;  // track delay: its step moves the clock
    case 0x84:
    case 0x85: {  // portamento from one note to another
        Glide glide = glideOf(e, t.rhythm ? 0 : t.transpose);
        playNote(t, static_cast<int>(e.number("from")), static_cast<uint32_t>(value("gate")),
                 static_cast<unsigned>(value("velocity")), &glide);
        count(Outcome::approximated, "portamento glide", t);
        return;
    }
    case 0x90: {
        const Operand* v = e.operand("volume");
        bool sixteenths = v && !v->elements.empty() && v->elements[0] == 16;
        t.volume = sixteenths ? clampInt(std::lround(v->value * 127.0 / 16), 0, 127) : clampInt(v ? v->value : 0, 0, 127);
        t.volume_in_sixteenths = sixteenths;
        control(t, 7, t.volume);
        return;
    }
    case 0x91: {
        int amount = static_cast<int>(value("amount"));
        if (t.volume_in_sixteenths) amount = static_cast<int>(std::lround(amount * 127.0 / 16));
        t.volume = std::clamp(t.volume + amount, 0, 127);
        control(t, 7, t.volume);
        return;
    }
    case 0x93: t.velocity = clampInt(value("velocity"), 0, 127); return;
    case 0x94: t.velocity = clampInt(t.velocity + value("amount"), 0, 127); return;
    case 0x98:
    case 0x99:
        if (value("value") != 0) count(Outcome::skipped, code == 0x99 ? "unknown switch" : "bend switch", t);
        return;
    case 0x96:
    case 0x95:
    case 0x97:
    case 0xB0:
    case 0xE2:
    case 0xE4: pitchLfo(t); return;
    case 0x9E: t.tie_mode = static_cast<int>(value("mode")); return;
    case 0xA0:
        if (value("pan") > 127) {
            count(Outcome::skipped, "panpot 128", t);  // no MIDI value stands for it
            return;
        }
        t.pan = clampInt(value("pan"), 0, 127);
        control(t, 10, t.pan);
        return;
    case 0xA1: t.pan = clampInt(t.pan + value("amount"), 0, 127); control(t, 10, t.pan); return;
    case 0xA3: control(t, 64, static_cast<int>(value("value"))); return;
    case 0xA4: t.rhythm = value("mode") == 128; return;
    case 0xA5:
        if (t.route.sound == Sound::midi) {
            t.bend_range = clampInt(value("range"), 0, 127);
            bendRange(t, t.bend_range, t.clock);
        } else {
            count(Outcome::skipped, "FM noise setting", t);
        }
        return;
    case 0xAB: t.transpose = static_cast<int>(value("semitones")); return;
    case 0xB2: zeroLengthNote(t, static_cast<int>(value("note")), static_cast<unsigned>(value("velocity"))); return;
    case 0xB8:
        if (row.pick == Pick::fmDevice) {
            count(Outcome::skipped, "FM register write", t);
            return;
        }
        t.bend = static_cast<int>(value("value"));
        wheel(t, t.bend + t.detune, t.clock);
        return;
    case 0xB9: t.detune = static_cast<int>(value("value")); wheel(t, t.bend + t.detune, t.clock); return;
    case 0xBA: t.bend += static_cast<int>(value("amount")); wheel(t, t.bend + t.detune, t.clock); return;
    case 0xBC: {
        if (t.route.sound != Sound::midi) {
            count(Outcome::skipped, "FM register write", t);
            return;
        }
        int controller = static_cast<int>(value("control")) & 0x7F, v = static_cast<int>(value("value"));
        if (controller == 7) t.volume = std::clamp(v, 0, 127), t.volume_in_sixteenths = false;
        if (controller == 10) t.pan = std::clamp(v, 0, 127);
        control(t, static_cast<uint8_t>(controller), v);
        return;
    }
    case 0xBD: {  // replay another track's stream here
        int index = static_cast<int>(value("track")) - 1;
        bool busy = index < 0 || index >= static_cast<int>(streams_.size()) || index == t.stream;
        for (const TrackPlayer::Return& r : t.returns) busy = busy || r.stream == index;
        if (busy || t.returns.size() >= streams_.size()) {
            count(Outcome::skipped, "replay of no track or of one being replayed", t);
            return;
        }
        t.returns.push_back({t.stream, t.pos});
        t.stream = index;
        t.pos = 0;
        return;
    }
    case 0xBE:
        if (row.pick == Pick::trackIndex) signal(t, static_cast<uint32_t>(value("track-index")));
        else t.pattern.on = false;
        return;
    case 0xC1:
    case 0xC2:
        count(Outcome::skipped, "timer tempo", t);
        if (!t.timer_warned) {
            t.timer_warned = true;
            result_.summary.warn("track " + std::to_string(t.order) + " sets the tempo in timer units from clock " +
                                 std::to_string(t.clock) + ": the tempo map is wrong from there");
        }
        return;
    case 0xC3: setTempo(t.clock, static_cast<int>(value("tempo"))); return;
    case 0xC4: setTempo(t.clock, tempo_ + static_cast<int>(value("amount"))); return;
    case 0xC5: {
        switch (value("kind")) {
        case 0:  // D.C.: back to the start, once
            if (!t.dc_taken) {
                t.dc_taken = t.jumped = true;
                t.pos = 0;
            }
            return;
        case 1:  // do
            t.has_do = true;
            t.do_stream = t.stream;
            t.do_pos = t.pos;
            t.do_clock = t.clock;
            return;
        case 2:
        case 3: return;  // debug marks
        case 4: {
            const Operand* key = e.operand("key");
            if (key && key->elements.size() == 2 && key->elements[1] && *key->elements[1] <= 1) {
                result_.tracks[0].keySignature(tick(t.clock), static_cast<int8_t>(key->elements[0].value_or(0)),
                                               *key->elements[1] == 1);
            }
            return;
        }
        case 5: {
            const Operand* meter = e.operand("meter");
            int64_t den = meter && meter->elements.size() == 2 ? meter->elements[1].value_or(0) : 0;
            if (den > 0 && (den & (den - 1)) == 0) {
                result_.tracks[0].timeSignature(tick(t.clock), static_cast<uint8_t>(meter->elements[0].value_or(4)),
                                                static_cast<uint8_t>(den));
            } else {
                count(Outcome::skipped, "meter the MIDI file cannot hold", t);
            }
            return;
        }
        default: count(Outcome::skipped, "meta event", t); return;
        }
    }
    case 0xC6: {
        int msb = static_cast<int>(value("msb")), lsb = static_cast<int>(value("lsb"));
        if (msb > 127 || (lsb > 127 && lsb != 255)) count(Outcome::skipped, "bank number above 127", t);
        program(t, msb <= 127 ? msb : -1, lsb <= 127 ? lsb : -1, -1);
        return;
    }
    case 0xC7: {
        int number = static_cast<int>(value("program"));
        if (t.route.sound == Sound::fm && options_.fm_program != 0) {
            count(Outcome::skipped, "FM voice change", t);
            return;
        }
        if (number < 1 || number > 128) {
            count(Outcome::skipped, "program number above 128", t);
            return;
        }
        program(t, -1, -1, number - 1);
        return;
    }
    case 0xCA:
        t.has_instrument = true;
        t.maker = static_cast<uint8_t>(value("maker"));
        t.device = static_cast<uint8_t>(value("device"));
        t.model = static_cast<uint8_t>(value("model"));
        return;
    case 0xCC: {
        uint16_t device = static_cast<uint16_t>(value("device"));
        int channel_word = static_cast<int>(value("channel"));
        if ((device == 0xFFFF || device >= 0x8000) && (channel_word < 0 || channel_word > 15)) {
            count(Outcome::skipped, "change to a MIDI channel number above 16", t);
            return;
        }
        if (t.last_pitch >= 0) {
            result_.summary.warn("track " + std::to_string(t.order) + " changes its device after a note: the " +
                                 "track table names the last device, so its first events may have been meant " +
                                 "for another");
        }
        t.route = map_->route(device, static_cast<uint16_t>(channel_word & 0xFFFF), t.order);
        return;
    }
    case 0xCD: {  // repeat start: a new round of passes
        RepeatPass pass{1, static_cast<uint32_t>(std::max<int64_t>(1, value("count")))};
        if (t.jumped && !options_.repeats_after_jump) pass.pass = pass.count;
        t.repeats[uint64_t(t.stream) << 32 | (at + 1)] = pass;
        return;
    }
    case 0xCE:
    case 0xD8:
    case 0xD9: {
        if (code == 0xD8 && row.pick != Pick::repeatLink) {
            count(Outcome::skipped, "driver work area change", t);
            return;
        }
        const Operand* back = e.operand("back");
        auto it = back && back->target ? t.repeats.find(uint64_t(t.stream) << 32 | *back->target) : t.repeats.end();
        if (it == t.repeats.end()) {
            malformed(streams_[t.stream], at, std::string("the ") + std::string(row.name) +
                                                  " leads back to no repeat start played before it");
            return;
        }
        RepeatPass& r = it->second;
        if (code == 0xCE) {
            if (r.pass < r.count) {
                ++r.pass;
                jumpTo(t, at, back->target, 0xCD, false, "repeat end");
            }
        } else if (code == 0xD8) {
            if (r.pass != static_cast<uint32_t>(value("pass"))) {
                jumpTo(t, at, e.operand("forward")->target, 0, true, "repeat ending");
            }
        } else if (r.pass >= r.count) {
            jumpTo(t, at, e.operand("forward")->target, 0, true, "repeat skip");
        }
        return;
    }
    case 0xCF: {
        const Operand* data = e.operand("data");
        if (!data || data->bytes.size() < 4) return;
        control(t, 99, data->bytes[0]);
        control(t, 98, data->bytes[1]);
        control(t, 6, data->bytes[2]);
        if (data->bytes[3] != 0xFF) control(t, 38, data->bytes[3]);
        return;
    }
    case 0xD0: return;  // segno: a place to come back to
    case 0xD1:
        if (row.pick == Pick::fmDevice) count(Outcome::skipped, "FM register write", t);
        return;
    case 0xD2: {
        const Operand* text = e.operand("text");
        if (text && !t.route.silent) {
            t.out->text(tick(t.clock), 0x01, std::string_view(reinterpret_cast<const char*>(text->bytes.data()),
                                                              text->bytes.size()));
        }
        return;
    }
    case 0xD3: {  // D.S.: back behind the segno, once for each D.S.
        uint64_t key = uint64_t(t.stream) << 32 | at;
        if (t.ds_taken.count(key)) return;
        t.ds_taken.insert(key);
        t.jumped = true;
        jumpTo(t, at, e.operand("link")->target, 0xD0, false, "d.s.");
        return;
    }
    case 0xD4:  // to coda: after a jump, on behind the coda
        if (t.jumped) jumpTo(t, at, e.operand("link")->target, 0xD1, false, "to coda");
        return;
    case 0xD5:
    case 0xD7: count(Outcome::skipped, "driver work area change", t); return;
    case 0xD6: fader(t); return;
    case 0xDB: count(Outcome::skipped, "ARCC deepen", t); return;
    case 0xDE: t.split.set(e); return;
    case 0xE0:
    case 0xE1: {
        const Operand* values = e.operand("values");
        bool plain = values && values->elements.size() == 1 && values->elements[0];
        if (!plain) {
            count(Outcome::skipped, code == 0xE0 ? "delayed bend" : "delayed detune", t);
            return;
        }
        (code == 0xE0 ? t.bend : t.detune) = static_cast<int>(*values->elements[0]);
        wheel(t, t.bend + t.detune, t.clock);
        return;
    }
    case 0xE3:
        if (row.pick == Pick::velocityBytes) t.pattern.set(e);
        else pitchLfo(t);
        return;
    case 0xB3:
    case 0xB4:
    case 0xB5:
    case 0xC9:
    case 0xE5:
    case 0xE6:
    case 0xE7:
    case 0xF7:
        if (!options_.modulation || t.route.silent) {
            count(Outcome::skipped, "ARCC setting", t);
            return;
        }
        if (!t.modulation.apply(e, t.clock, *t.out, t.route.channel, result_.ticks_per_clock)) {
            count(Outcome::approximated, "ARCC setting outside the model", t);
        }
        if (t.modulation.running()) count(Outcome::approximated, "ARCC modulator setting", t);
        return;
    case 0xF0: {
        const Operand* sends = e.operand("sends");
        if (!sends) return;
        static const uint8_t kControllers[] = {91, 93, 94};
        for (size_t i = 0; i < sends->elements.size(); ++i) {
            if (!sends->elements[i]) continue;
            if (i < 3) control(t, kControllers[i], static_cast<int>(*sends->elements[i]));
            else count(Outcome::skipped, "effect send with no controller", t);
        }
        return;
    }
    case 0xF3: {
        const Operand* data = e.operand("data");
        if (t.route.silent || !data) return;
        uint8_t maker = static_cast<uint8_t>(value("maker"));
        bool known = t.has_instrument && t.maker == maker;
        std::vector<uint8_t> message{0xF0, maker};
        if (maker == 0x41) {
            message.push_back(known ? t.device : 0x10);
            message.push_back(known ? t.model : 0x42);
            message.push_back(0x12);
            message.insert(message.end(), data->bytes.begin(), data->bytes.end());
            message.push_back(rolandChecksum(data->bytes));
        } else {
            if (maker == 0x43) {
                message.push_back(known ? t.device : 0x10);
                message.push_back(known ? t.model : 0x4C);
            }
            message.insert(message.end(), data->bytes.begin(), data->bytes.end());
        }
        message.push_back(0xF7);
        for (size_t i = 1; i + 1 < message.size(); ++i) message[i] &= 0x7F;
        t.out->exclusive(tick(t.clock), message);
        count(Outcome::approximated, "maker exclusive built", t);
        return;
    }
    case 0xF4: {
        const Operand* message = e.operand("message");
        if (!t.route.silent && message && sendRawMessages(*t.out, tick(t.clock), message->bytes) > 0) {
            count(Outcome::approximated, "raw byte sequence", t);
        }
        return;
    }
    case 0xF5: {  // loop: back to the do
        if (!t.has_do) {
            count(Outcome::skipped, "loop without do", t);
            return;
        }
        uint32_t body = t.clock - t.do_clock;
        if (body == 0) {
            result_.summary.warn("track " + std::to_string(t.order) + ": the [do] ... [loop] at clock " +
                                 std::to_string(t.clock) + " takes no time; it is played once");
            return;
        }
        if (!t.looping) {
            t.looping = true;
            t.loop_until = t.do_clock + static_cast<uint32_t>(std::min<uint64_t>(
                                            uint64_t{body} * static_cast<uint32_t>(options_.loops), UINT32_MAX / 2));
            if (!loop_marked_) {
                loop_marked_ = true;
                result_.tracks[0].text(tick(t.do_clock), 0x06, "loop start");
            }
        }
        t.stream = t.do_stream;
        t.pos = t.do_pos;
        return;
    }
    case 0xF6: t.auto_portamento.set(e); return;
    case 0xF8: {
        if (value("category") != 0) {
            count(Outcome::skipped, "picture or sound event", t);
            return;
        }
        const Operand* text = e.operand("text");
        if (text && !t.route.silent) {
            t.out->text(tick(t.clock), 0x01, std::string_view(reinterpret_cast<const char*>(text->bytes.data()),
                                                              text->bytes.size()));
        }
        return;
    }
    case 0xFA:
    case 0xFE: return;
    case 0xFB:  // wait for a synchronize
        if (!t.signals.empty()) {
            t.clock = std::max(t.clock, t.signals.front());
            t.signals.pop_front();
        } else {
            t.state = TrackPlayer::State::waiting;
            t.wait_offset = at;
        }
        return;
    case 0xFC:  // fine: the end, once a jump was taken
        if (t.jumped) endTrack(t, t.clock);
        return;
    case 0xFD: control(t, 120, 0); return;
    case 0xFF:
        if (!t.returns.empty()) {
            t.stream = t.returns.back().stream;
            t.pos = t.returns.back().pos;
            t.returns.pop_back();
            return;
        }
        endTrack(t, t.clock);
        return;
    default:
        if (code == 0x82 || code == 0x9B || code == 0xA2 || code == 0xB7) count(Outcome::skipped, "FM register write", t);
        else if (code == 0xA9) count(Outcome::skipped, "f value", t);
        else count(Outcome::skipped, "event with no MIDI meaning", t);
        return;
    }
}

void Player::step(TrackPlayer& t) {
    StreamData& s = streams_[t.stream];
    if (t.pos >= s.input.length) {
        endTrack(t, t.clock);
        return;
    }
    uint32_t at = t.pos;
    const EventRow* row = s.readings.rowAt(at);
    if (!row || !decodeEvent(s.input, at, *row, event_)) {
        malformed(s, at, "no event starts here");
        return;
    }
    ++events_played_;
    if (!t.route.silent) {
        if (options_.modulation) t.modulation.advance(t.clock, *t.out, t.route.channel, result_.ticks_per_clock);
        if (options_.lfo) t.lfo.advance(t.clock, *t.out, t.route.channel, result_.ticks_per_clock);
        if (options_.fades && t.fade.moving) {
            t.fade.advance(t.clock, t.volume, *t.out, t.route.channel, result_.ticks_per_clock, sample_clocks_);
        }
    }
    t.pos = at + event_.size;
    uint32_t step = event_.step;
    execute(t, at);
    if (t.state != TrackPlayer::State::ended) t.clock += step;
}

// A guard stops the music: every track ends where the first one stopped.
void Player::cutAll(const TrackPlayer& at) {
    bool time = at.clock > limit_clock_;
    result_.outcome = ExportResult::Outcome::cut;
    result_.message = "track " + std::to_string(at.order) + " at clock " + std::to_string(at.clock) +
                      (time ? ": stopped after " + std::to_string(static_cast<int>(options_.max_minutes)) +
                                  (options_.max_minutes == 1 ? " minute" : " minutes") + " of music (--max-minutes)"
                            : ": stopped after " + std::to_string(options_.event_budget) +
                                  " events (a repeat or loop without end?)");
    uint32_t cut = at.clock;
    end_fixed_ = true;
    end_clock_ = cut;
    for (TrackPlayer& t : tracks_) {
        if (t.state != TrackPlayer::State::ended) endTrack(t, std::min(t.clock, cut));
    }
}

void Player::fixEnd() {
    end_fixed_ = true;
    end_clock_ = 0;
    for (const TrackPlayer& t : tracks_) {
        end_clock_ = std::max(end_clock_, t.looping ? t.loop_until : t.clock);
    }
    if (loop_marked_) result_.tracks[0].text(tick(end_clock_), 0x06, "loop end");
}

void Player::run() {
    result_.tracks.emplace_back(false);  // the conductor takes its events in any order
    for (size_t i = 0; i < frame_.tracks.size(); ++i) result_.tracks.emplace_back(true, options_.keep_notes);
    const HeaderInfo& h = frame_.header;
    setTempo(0, h.tempo);
    playCommon();
    SmfTrack& conductor = result_.tracks[0];
    unsigned numerator = h.meter >> 8, denominator = h.meter & 0xFF;
    if (numerator && denominator && (denominator & (denominator - 1)) == 0) {
        conductor.timeSignature(0, static_cast<uint8_t>(numerator), static_cast<uint8_t>(denominator));
    }
    if (h.key[1] <= 1) conductor.keySignature(0, static_cast<int8_t>(h.key[0]), h.key[1] == 1);

    tracks_.resize(frame_.tracks.size());
    for (size_t i = 0; i < tracks_.size(); ++i) {
        TrackPlayer& t = tracks_[i];
        const TrackEntry& entry = frame_.tracks[i];
        t.order = entry.order;
        t.stream = static_cast<int>(i);
        t.out = &result_.tracks[i + 1];
        t.route = map_->initial(entry.order);
        t.rhythm = entry.rhythm;
        t.velocity = std::clamp(options_.velocity, 1, 127);
        t.clock = options_.lead_in;
        t.modulation = ControllerModulation(sample_clocks_, &user_waves_);
        t.lfo = ControllerModulation::pitchLfo(sample_clocks_, &user_waves_);
        result_.track_ports.push_back(t.route.port);
        std::string name = entry.comment;
        while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.erase(0, 1);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\r' || name.back() == '\n')) name.pop_back();
        if (name.empty()) {
            name = "Track " + std::to_string(t.order) + " (" +
                   (t.route.sound == Sound::fm      ? "FM " + std::to_string(entry.channel + 1)
                    : t.route.sound == Sound::adpcm ? std::string("ADPCM")
                                                    : "MIDI " + std::to_string(t.route.port + 1) + "-" +
                                                          std::to_string(t.route.channel + 1)) +
                   ")";
        }
        t.out->text(0, 0x03, name);
        if (t.route.sound == Sound::fm && !t.route.silent && options_.fm_program != 0) {
            t.out->message(tick(t.clock), static_cast<uint8_t>(0xC0 | t.route.channel),
                           static_cast<uint8_t>(options_.fm_program - 1));
        }
    }
    result_.several_ports = map_->severalPorts() && options_.interface == 0;
    if (result_.several_ports) {
        for (size_t i = 0; i < tracks_.size(); ++i) {
            const uint8_t port[] = {tracks_[i].route.port};
            tracks_[i].out->meta(0, 0x21, port);
        }
        result_.summary.warn("the piece plays on several MIDI interfaces: each track names its port, which most "
                             "synthesizers ignore, so channels of different interfaces may collide");
    }

    for (size_t i = 0; i < tracks_.size(); ++i) turns_.push({tracks_[i].clock, tracks_[i].order, i});
    while (!turns_.empty()) {
        if (failed_) return;
        // The track with the smallest clock plays next; ties go by table order.
        Turn turn = turns_.top();
        turns_.pop();
        TrackPlayer& t = tracks_[turn.index];
        if (t.state != TrackPlayer::State::running) continue;
        if (!end_fixed_ && states_changed_) {
            states_changed_ = false;
            bool only_looping = true;
            for (const TrackPlayer& other : tracks_) {
                if (other.state == TrackPlayer::State::running) only_looping = only_looping && other.looping;
            }
            if (only_looping) fixEnd();
        }
        if (end_fixed_ && t.clock >= end_clock_) {
            endTrack(t, end_clock_);
            continue;
        }
        if (t.clock > limit_clock_ || events_played_ >= options_.event_budget) {
            cutAll(t);
            break;
        }
        // Play it until another track's turn comes.
        Turn until = turns_.empty() ? Turn{UINT32_MAX, INT32_MAX, 0} : turns_.top();
        bool was_looping = t.looping;
        do {
            uint8_t code = t.pos < streams_[t.stream].input.length ? streams_[t.stream].input.bytes[t.pos] : 0xFF;
            step(t);
            if (failed_ || code == 0xBE) break;
            if (end_fixed_ && t.clock >= end_clock_) break;
            if (t.looping != was_looping) break;  // the end may now be known
            if (events_played_ >= options_.event_budget) break;
        } while (t.state == TrackPlayer::State::running &&
                 (t.clock < until.clock || (t.clock == until.clock && t.order < until.order)) &&
                 t.clock <= limit_clock_);
        if (t.state == TrackPlayer::State::running) turns_.push({t.clock, t.order, turn.index});
        if (t.state != TrackPlayer::State::running || t.looping != was_looping) states_changed_ = true;
    }
    if (failed_) return;
    for (TrackPlayer& t : tracks_) {
        if (t.state == TrackPlayer::State::waiting) {
            result_.summary.warn("track " + std::to_string(t.order) + " waits at offset " +
                                 hexNumber(t.wait_offset).substr(2) + " for a synchronize that never comes");
            endTrack(t, t.clock);
        }
    }
    finish();
}

void Player::finish() {
    uint32_t end = 0;
    for (const TrackPlayer& t : tracks_) end = std::max(end, t.clock);
    result_.end_clock = end;
    SmfTrack& conductor = result_.tracks[0];
    for (const auto& [clock, tempo] : tempo_map_) conductor.tempo(tick(clock), 60'000'000u / tempo);
    conductor.endAt(tick(end));
    // A note still open (a tie the stream never closed) ends with its track.
    uint32_t last_tick = 0;
    for (SmfTrack& track : result_.tracks) {
        track.finish();
        last_tick = std::max(last_tick, track.endTick());
    }
    // A gate longer than its step sounds past the last step: the file lasts
    // until the last note-off.
    result_.sound_end_clock = std::max(end, last_tick / result_.ticks_per_clock);
    result_.seconds = secondsAt(result_.sound_end_clock);
}

}  // namespace

ExportResult exportVld(std::span<const uint8_t> file, const ExportOptions& options) {
    ExportResult result;
    result.summary = ExportSummary(options.details);
    Player player(file, options, result);
    if (player.load()) player.run();
    if (result.outcome == ExportResult::Outcome::malformed) result.tracks.clear();
    return result;
}

std::vector<TimelineNote> noteTimeline(const ExportResult& result) {
    std::vector<TimelineNote> out;
    for (size_t i = 1; i < result.tracks.size(); ++i) {
        for (const SmfNote& n : result.tracks[i].notes()) {
            out.push_back({static_cast<int>(i), n.start / result.ticks_per_clock, n.end / result.ticks_per_clock,
                           i - 1 < result.track_ports.size() ? result.track_ports[i - 1] : uint8_t{0}, n.channel,
                           n.pitch, n.velocity});
        }
    }
    std::stable_sort(out.begin(), out.end(), [](const TimelineNote& a, const TimelineNote& b) {
        if (a.start != b.start) return a.start < b.start;
        if (a.track != b.track) return a.track < b.track;
        return a.pitch < b.pitch;
    });
    return out;
}

}  // namespace vld
