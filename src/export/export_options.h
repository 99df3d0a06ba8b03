// What a musician chooses when a compiled file is played into a MIDI file.
#pragma once
#include <array>
#include <cstdint>

namespace vld {

struct ExportOptions {
    int loops = 2;                    // passes of an endless [do]...[loop], 1 to 99
    bool repeats_after_jump = true;   // false: after a D.C. or D.S. only a repeat's last pass
    bool fm = true;                   // FM tracks on free MIDI channels; false: left out
    int fm_program = 1;               // the program every FM track starts with; 0: the FM voice numbers
    enum class Adpcm : uint8_t { drums, skip, map } adpcm = Adpcm::drums;
    std::array<int16_t, 128> adpcm_map{};  // with `map`: the GM key of each sample note, -1 as it is
    int interface = 0;                // only the MIDI tracks of this interface; 0 all
    bool modulation = true;           // ARCC controller modulators
    bool lfo = false;                 // the pitch LFO, on the pitch wheel
    bool fades = false;               // faders, on the volume
    int velocity = 127;               // every track's starting velocity
    uint32_t lead_in = 0;             // clocks of silence after the common stream's exclusives
    double max_minutes = 60;          // the longest music written
    uint64_t event_budget = 50'000'000;  // the most events played, all tracks together
    uint32_t glide_step = 4;          // clocks between pitch-wheel steps of a glide
    bool details = false;             // keep every skipped or approximated event for a listing
    bool keep_notes = true;           // keep every note for the timeline (a listing, a comparison)
};

}  // namespace vld
