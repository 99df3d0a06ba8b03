// The MML state of one track while its lines are compiled: the musical
// context that commands change and notes read, and the stacks of constructs
// that span several commands.
#pragma once
#include <cstdint>
#include <climits>
#include <vector>

struct headdata;

// Kinds of a parameter value.
constexpr uint8_t kValuePlain = 0;
constexpr uint8_t kValueRelative = 1;
constexpr uint8_t kValueOmitted = 2;
constexpr uint8_t kValueClocks = 3;  // a number written after `*`
constexpr uint8_t kValueNone = 255;

// One item of a velocity, quantize or parameter sequence.
struct SequenceItem {
    int16_t value = 0;   // velocity (128 = no velocity event), quantize value, parameter
    int16_t value2 = 0;  // random range, second value
    uint8_t kind = kValuePlain;
    uint8_t kind2 = kValueNone;
};

// A repeat opened by `|:`.
struct RepeatFrame {
    int32_t start_offset = 0;   // stream offset of the count operand of its 0xCD event
    int32_t patch_offset = 0;   // forward-offset field still to be patched, 0 none
    int32_t ending = 0;         // 0 plain, n after `|n`, negative when closed while endings remain
    int32_t count = 0;
    int32_t pass = 0;
    int32_t section_start = 0;  // total_clocks at `|:` or at the last `|` / `|n`
    int32_t last_mark = 0;      // -1 after `|:`, 1 after `|n`, 0 after `|`
};

// A `[do]` block.
struct DoFrame {
    int32_t words[6] = {};  // the sixth is the open flag
};

// A note event recorded while a tuplet is open.
struct TupletNode {
    int32_t offset = -1;  // stream offset of the note's step field
    int16_t quantize_value = 0;
    uint8_t quantize_kind = 0;
    uint8_t node_kind = 0;  // 0 note; 1 and 2 as the tuplet close uses them
};

// A 32-bit relative offset (`to` - `from`) written while a tuplet is open: its
// value is worked out again when the tuplet closes and the stream shrinks.
struct OffsetField {
    int32_t field = 0;
    int32_t from = 0;
    int32_t to = 0;
};

// A `{{` reserved-length group.
struct GroupFrame {
    int32_t start_clocks = 0;  // total_clocks at the opening `{{`
};

// A note held into the next chord (gate 0xFFFF), waiting for its tie.
struct TieNode {
    int32_t offset = -1;  // stream offset of the tied note event
    int32_t gate = 0;     // gate kept for the tie
    uint8_t note = 255;
    uint8_t mark = 0;     // used while a tuplet closes
    uint8_t matched = 0;  // used while a chord is written
};

struct trkinf {
    // The sub-track a [BACK] opened from this track, and the track whose
    // [BACK] opened this one: track numbers, or 255 for none.
    uint8_t sub_track = 255;
    uint8_t parent_track = 255;
    uint8_t note_written = 0;
    uint8_t instrument_id_written = 0;  // an instrument ID went out (`@i`, or once for the SC-88 mode)
    int8_t key_signature[12] = {};  // semitones added to each pitch class, C first
    int8_t octave = 4;
    int32_t total_clocks = 0;       // step times written outside tuplets
    uint16_t default_length = 48;
    uint16_t last_length = 48;
    int16_t current_velocity = 127;
    int16_t velocity_random = 0;
    uint8_t velocity_sequence_on = 0;
    std::vector<SequenceItem> velocity;
    std::vector<SequenceItem> quantize;
    SequenceItem sequence_a[17];
    SequenceItem sequence_b[17];
    int16_t gate_resolution = 8;
    uint8_t velocity_mode_flag = 0;
    int16_t relative_velocity_memory = 0;
    uint8_t velocity_limit = 127;
    uint8_t velocity_sequence_enable = 1;
    uint8_t velocity_index = 0;
    uint8_t quantize_index = 0;
    uint8_t sequence_a_mode = 0;
    uint8_t sequence_b_mode = 0;
    uint8_t velocity_count = 0;  // 0 counts as 1
    uint8_t quantize_count = 1;
    uint8_t sequence_a_count = 0;
    uint8_t sequence_b_count = 0;
    int16_t velocity_offset = 0;
    int16_t velocity_offset_spare = 0;
    int16_t modulator_offset[4] = {};
    uint8_t revise_mode = 0;
    uint16_t revise_amount = 0;
    uint8_t velocity_step = 1;
    int8_t key_transpose = 0;
    // Kept delay and time of chords and portamento groups: set by the track
    // commands, the portamento delay, the chord delay, the shared time.
    int16_t portamento_values[4] = {};
    uint8_t spare_flag = 0;
    uint8_t velocity_written = 0;
    int32_t tuplet_depth = 0;  // 0 none; 1 `{` seen; one more per note recorded
    int32_t segno_offset = 0;
    int32_t tocoda_offset = 0;
    uint8_t spare_byte = 0;
    uint8_t back_repeat = 0;   // repeat marks go to the sub-track chain too
    uint16_t echo_length = 0;
    int16_t echo_velocity_step = 0;
    int16_t echo_count = 1;    // 1 no echo, 0 as many as fit
    std::vector<RepeatFrame> repeat_stack;  // repeat stack (empty: only the bottom sentinel)
    std::vector<DoFrame> do_stack;      // `[do]` stack
    std::vector<TupletNode> tuplet_notes;   // tuplet notes
    std::vector<GroupFrame> length_groups;   // reserved-length groups
    std::vector<TieNode> pending_ties;      // pending ties
    std::vector<OffsetField> tuplet_fields;  // relative offsets written inside the open tuplet
    headdata* header = nullptr;
};

using TrackInfos = std::vector<trkinf>;

// Moves a played length on by `clocks`, or by a section played `times` times
// more. Deeply nested repeats can multiply a length beyond what 32 bits hold;
// it then stays at the largest value.
inline void addToClocks(int32_t& total, int64_t clocks, int64_t times = 1) {
    int64_t added = 0;
    int64_t sum = 0;
    if (__builtin_mul_overflow(clocks, times, &added)) added = (clocks < 0) != (times < 0) ? INT64_MIN : INT64_MAX;
    if (__builtin_add_overflow(int64_t{total}, added, &sum)) sum = added < 0 ? INT64_MIN : INT64_MAX;
    total = static_cast<int32_t>(sum > INT32_MAX ? INT32_MAX : sum < INT32_MIN ? INT32_MIN : sum);
}

void initTrkInf(trkinf& info, headdata& hd);
// Empties the five stacks of a track.
void clearStructureStacks(trkinf& info, int track);
void releaseTrkInf(trkinf& info, int track);
// Copies the state of `source` into `destination`, keeping the destination's
// own stacks and giving it its own copies of the sequences.
void copyTrkInf(trkinf& destination, const trkinf& source);
void advanceVelocityIndex(trkinf& info);
// After each note, chord or portamento group.
void advanceQuantizeIndex(trkinf& info);
