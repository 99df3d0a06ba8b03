// Every event a compiled file can carry: its code byte, the streams it may
// stand in, the name a listing gives it and the layout of its operands. The
// table is plain data in code order; the dumper (src/dump) interprets the
// layouts, and a writer may look its codes up here.
//
// Operand layouts are blank-separated tokens `kind` or `kind:label`, read in
// order after the code byte. A label may end in `=a,b,...`: names for the
// elements of a flagged group. Kinds:
//
//   u8 s8 u16 s16 u32   numbers, big-endian, signed where `s`
//   u8m1 u16m1          a number stored less one (shown plus one)
//   hexN                N bytes shown as they are (hex4, hex55)
//   ifb                 interface byte as stored, 255 = none
//   mod                 modulator byte (n - 1) x 2 of the ARCC events
//   note                a note number byte
//   codenote            the code byte itself is the note (takes no byte)
//   fnote               a portamento note; its top bit says that the next
//                       `fdur` is present
//   fdur                a duration present when its `fnote` had the top bit
//   step                a duration that moves the clock on
//   gate                a duration; 0x8000 is a tie, 0xFFFF held into a chord
//   dur                 any other duration
//   vel                 velocity byte: 0x80 none, 0-127 absolute, 0xC0 + v relative
//   vol                 volume byte: 128 + v in the 0-16 form
//   wave                16-bit waveform: w, or w + 32760 for w from 8 up
//   device              16-bit device word (0 FM, 1 ADPCM, 0x8000 + IF - 1 MIDI,
//                       0xFFFF MIDI on the current IF, 0xFFFE all, 0x7FFE track)
//   fwdend fwdstart     32-bit displacement counted from the end / the start
//                       of the operand
//   backend             32-bit value that the end of the operand minus it
//                       leads back to
//   backstart2          32-bit value that the start of the operand plus 2
//                       minus it leads back to
//   vlist8              eight velocity bytes, 0xFF where none is given
//   text0               text ended by a 0 byte
//   label               a length byte and that many characters
//   frame8 frame32      the length of the bytes that follow: the tokens after
//                       it read inside, and a `rest.*` token takes what is left
//   rest.hex rest.text rest.message rest.key rest.meter
//                       the rest of the frame as bytes, text, exclusive
//                       message(s), a key (fifths, mode) or a meter (m, n)
//   count32             a byte count that a later `counted.hex` takes
//   counted.hex         the bytes counted by `count32`
//   even                one 0 byte when the stream offset is odd here
//   split               program-split entries: a byte of 128 (switch on) +
//                       count, then per entry two notes, bank, program - 1
//   lo8.W,..            presence byte, bit i for element i, then the given
//                       elements with widths W (the last width repeats)
//   hi8.W,..            the same with bit 7 - i for element i
//   lo16.W,..           a 16-bit presence word, bit i for element i
//   sw8.W,..            bit 7 a switch, bit 6 - i for element i
//                       (widths: u8 s8 u16 s16 dur)
#pragma once
#include <cstdint>
#include <iterator>
#include <span>
#include <string_view>

namespace vld {

// The streams of a file: the common stream (header events) and the tracks.
enum StreamMask : uint8_t { kTrackStream = 1, kCommonStream = 2, kAnyStream = 3 };

// Some codes are written by more than one command with different operands,
// and the code byte alone does not say which. How a reader chooses:
//
//   The candidates are the code's rows for the stream, less those whose
//   `firstOperand` test fails (the first operand byte names the kind). Rows
//   whose test holds (`always` always holds) come first, table order within
//   each group. The first candidate with which the rest of the stream reads,
//   event by event, to its end code and nothing but padding behind it is the
//   reading; the tests only decide between readings that both read to the end.
//   The device tests take the track's device from the track table; a channel
//   change switches it once the track has a note, as the compiler does.
enum class Pick : uint8_t {
    always,
    firstOperand,  // required: the first operand byte equals `pick_value`
    repeatLink,    // the back value leads to the count of an earlier repeat start
    codaLink,      // the displacement lands just past an earlier to-coda that links here
    trackIndex,    // the 16-bit operand is below the number of tracks in the file
    wordPresence,  // the modulator byte is followed by the presence word 00 01
    midiDevice,    // the track plays on a MIDI channel
    fmDevice,      // the track plays on the FM chip or the ADPCM sampler
    velocityBytes, // the eight bytes are velocities 0-127 or 0xFF (none)
};

struct EventRow {
    uint8_t code;
    uint8_t last_code;  // the same as `code` except for the range of notes
    uint8_t streams;
    Pick pick;
    uint8_t pick_value;
    std::string_view name;
    std::string_view layout;
};

constexpr uint8_t kEndCode = 0xFF;

// clang-format off
inline constexpr EventRow kEventTable[] = {
    {0x00, 0x7F, kTrackStream, Pick::always, 0, "note", "codenote:note step:step gate:gate vel:velocity"},
    {0x00, 0x00, kCommonStream, Pick::always, 0, "initialize", "u8:level"},
    {0x04, 0x04, kCommonStream, Pick::always, 0, "parameter block V", "u8:number hex55:block"},
    {0x1B, 0x1B, kCommonStream, Pick::always, 0, "parameter block @", "u8:number hex55:block"},
    {0x1C, 0x1C, kCommonStream, Pick::always, 0, "wave form",
     "u16:wave count32:bytes u8:loop u32:start u32:end u32:interface u32:reserved label:comment even counted.hex:values"},
    {0x30, 0x30, kCommonStream, Pick::always, 0, "midi out", "u8m1:interface"},
    {0x34, 0x34, kCommonStream, Pick::always, 0, "exclusive", "ifb:interface label:label frame32:length rest.message:message"},
    {0x40, 0x40, kCommonStream, Pick::always, 0, "comment", "text0:text"},
    {0x80, 0x80, kTrackStream, Pick::always, 0, "rest", "step:step gate:gate"},
    {0x81, 0x81, kTrackStream, Pick::always, 0, "track delay", "step:length"},
    {0x82, 0x82, kTrackStream, Pick::always, 0, "noise off", ""},
    {0x84, 0x84, kTrackStream, Pick::always, 0, "portamento",
     "fnote:from fnote:to fdur:delay fdur:time step:step gate:gate vel:velocity"},
    {0x85, 0x85, kTrackStream, Pick::always, 0, "bracket portamento",
     "fnote:from fnote:to fdur:delay fdur:time step:step gate:gate vel:velocity"},
    {0x90, 0x90, kTrackStream, Pick::always, 0, "volume", "vol:volume"},
    {0x91, 0x91, kTrackStream, Pick::always, 0, "relative volume", "s8:amount"},
    {0x93, 0x93, kTrackStream, Pick::always, 0, "velocity", "u8:velocity"},
    {0x94, 0x94, kTrackStream, Pick::always, 0, "relative velocity", "s8:amount"},
    {0x95, 0x95, kTrackStream, Pick::always, 0, "lfo mode", "u8:mode"},
    {0x96, 0x96, kTrackStream, Pick::always, 0, "switch bit 0", "u8:value"},
    {0x97, 0x97, kTrackStream, Pick::always, 0, "lfo sync", "u8:sync u16:count"},
    {0x98, 0x98, kTrackStream, Pick::always, 0, "bend switch", "u8:value"},
    {0x99, 0x99, kTrackStream, Pick::always, 0, "switch bit 3", "u8:value"},
    {0x9B, 0x9B, kTrackStream, Pick::always, 0, "fm control 2", "u16:value"},
    {0x9E, 0x9E, kTrackStream, Pick::always, 0, "tie mode", "u8:mode"},
    {0xA0, 0xA0, kTrackStream, Pick::always, 0, "panpot", "u8:pan"},
    {0xA1, 0xA1, kTrackStream, Pick::always, 0, "relative panpot", "s8:amount"},
    {0xA2, 0xA2, kTrackStream, Pick::always, 0, "fm control 13", "u8:value"},
    {0xA3, 0xA3, kTrackStream, Pick::always, 0, "damper", "u8:value"},
    {0xA4, 0xA4, kTrackStream, Pick::always, 0, "track mode", "u8:mode"},
    {0xA5, 0xA5, kTrackStream, Pick::always, 0, "bend range", "u8:range"},
    {0xA9, 0xA9, kTrackStream, Pick::always, 0, "f value", "u8:value"},
    {0xAB, 0xAB, kTrackStream, Pick::always, 0, "key transpose", "s8:semitones"},
    {0xB0, 0xB0, kTrackStream, Pick::always, 0, "lfo waveform", "wave:waveform"},
    {0xB2, 0xB2, kTrackStream, Pick::always, 0, "zero-length note", "note:note vel:velocity"},
    {0xB3, 0xB3, kTrackStream, Pick::always, 0, "arcc switch", "mod:arcc u8:switch"},
    {0xB4, 0xB4, kTrackStream, Pick::always, 0, "arcc mode", "mod:arcc u8:mode"},
    {0xB5, 0xB5, kTrackStream, Pick::always, 0, "arcc sync", "mod:arcc u8:sync u16:count"},
    {0xB7, 0xB7, kTrackStream, Pick::always, 0, "fm control 3", "u8:value"},
    {0xB8, 0xB8, kTrackStream, Pick::midiDevice, 0, "bend", "s16:value"},
    {0xB8, 0xB8, kTrackStream, Pick::fmDevice, 0, "fm control 14", "u8:value"},
    {0xB9, 0xB9, kTrackStream, Pick::always, 0, "detune", "s16:value"},
    {0xBA, 0xBA, kTrackStream, Pick::always, 0, "relative pitch", "s16:amount"},
    {0xBC, 0xBC, kTrackStream, Pick::always, 0, "control change", "u8:control u8:value"},
    {0xBD, 0xBD, kTrackStream, Pick::always, 0, "replay", "u16:track"},
    {0xBE, 0xBE, kTrackStream, Pick::trackIndex, 0, "synchronize", "u16:track-index"},
    {0xBE, 0xBE, kTrackStream, Pick::firstOperand, 0, "velocity pattern off", "u8:value"},
    {0xC1, 0xC1, kTrackStream, Pick::always, 0, "timer", "u16:value"},
    {0xC2, 0xC2, kTrackStream, Pick::always, 0, "relative timer", "s16:amount"},
    {0xC3, 0xC3, kTrackStream, Pick::always, 0, "tempo", "u16:tempo"},
    {0xC4, 0xC4, kTrackStream, Pick::always, 0, "relative tempo", "s16:amount"},
    {0xC5, 0xC5, kTrackStream, Pick::firstOperand, 0, "d.c.", "u8:kind"},
    {0xC5, 0xC5, kTrackStream, Pick::firstOperand, 1, "do", "u8:kind u8:value"},
    {0xC5, 0xC5, kTrackStream, Pick::firstOperand, 2, "debug mark !", "u8:kind u8:value"},
    {0xC5, 0xC5, kTrackStream, Pick::firstOperand, 3, "debug mark @", "u8:kind u8:value"},
    {0xC5, 0xC5, kTrackStream, Pick::firstOperand, 4, "key", "u8:kind frame8:length rest.key:key"},
    {0xC5, 0xC5, kTrackStream, Pick::firstOperand, 5, "meter", "u8:kind frame8:length rest.meter:meter"},
    {0xC5, 0xC5, kTrackStream, Pick::always, 0, "meta", "u8:kind frame8:length rest.hex:data"},
    {0xC6, 0xC6, kTrackStream, Pick::always, 0, "bank select", "u8:msb u8:lsb"},
    {0xC7, 0xC7, kTrackStream, Pick::always, 0, "program", "u16m1:program"},
    {0xC9, 0xC9, kTrackStream, Pick::always, 0, "arcc waveform", "mod:arcc wave:waveform"},
    {0xCA, 0xCA, kTrackStream, Pick::always, 0, "instrument id", "u8:maker u8:device u8:model"},
    {0xCC, 0xCC, kTrackStream, Pick::always, 0, "channel change", "device:device s16:channel"},
    {0xCD, 0xCD, kTrackStream, Pick::always, 0, "repeat start", "u16m1:count u16:reserved"},
    {0xCE, 0xCE, kTrackStream, Pick::always, 0, "repeat end", "backend:back"},
    {0xCF, 0xCF, kTrackStream, Pick::always, 0, "nrpn", "hex4:data"},
    {0xD0, 0xD0, kTrackStream, Pick::always, 0, "segno", "fwdend:link"},
    {0xD1, 0xD1, kTrackStream, Pick::codaLink, 0, "coda", "fwdend:link"},
    {0xD1, 0xD1, kTrackStream, Pick::fmDevice, 0, "fm channel control", "u16:value u16:scaled"},
    {0xD2, 0xD2, kTrackStream, Pick::always, 0, "comment", "u8:reserved frame32:length rest.text:text"},
    {0xD3, 0xD3, kTrackStream, Pick::always, 0, "d.s.", "u8:reserved fwdstart:link"},
    {0xD4, 0xD4, kTrackStream, Pick::always, 0, "to coda", "u8:reserved fwdstart:link"},
    {0xD5, 0xD5, kTrackStream, Pick::always, 0, "work area set", "u8:address u8:value"},
    {0xD6, 0xD6, kTrackStream, Pick::always, 0, "fader", "device:target s16:channel lo8.u16,u8,u8:values"},
    {0xD7, 0xD7, kTrackStream, Pick::always, 0, "work area add", "u8:address u8:value"},
    {0xD8, 0xD8, kTrackStream, Pick::repeatLink, 0, "repeat ending", "u16m1:pass backstart2:back fwdend:forward"},
    {0xD8, 0xD8, kTrackStream, Pick::always, 0, "work area subtract", "u8:address u8:value"},
    {0xD9, 0xD9, kTrackStream, Pick::always, 0, "repeat skip", "backstart2:back fwdend:forward"},
    {0xDB, 0xDB, kTrackStream, Pick::always, 0, "arcc deepen", "mod:arcc sw8.dur,u8,dur:values"},
    {0xDE, 0xDE, kTrackStream, Pick::always, 0, "program split", "split:entries"},
    {0xE0, 0xE0, kTrackStream, Pick::always, 0, "bend with delay", "hi8.s16:values"},
    {0xE1, 0xE1, kTrackStream, Pick::always, 0, "detune with delay", "hi8.s16:values"},
    {0xE2, 0xE2, kTrackStream, Pick::always, 0, "lfo level", "u8:mode lo8.s16:values"},
    {0xE3, 0xE3, kTrackStream, Pick::velocityBytes, 0, "velocity pattern", "vlist8:velocities"},
    {0xE3, 0xE3, kTrackStream, Pick::firstOperand, 1, "lfo speed", "lo8.u16:values"},
    {0xE4, 0xE4, kTrackStream, Pick::always, 0, "lfo delay", "lo16.u16:values"},
    {0xE5, 0xE5, kTrackStream, Pick::always, 0, "arcc level", "mod:arcc u8:mode lo8.s8:values"},
    {0xE6, 0xE6, kTrackStream, Pick::always, 0, "arcc speed", "mod:arcc lo8.u16:values"},
    {0xE7, 0xE7, kTrackStream, Pick::wordPresence, 0, "arcc delay", "mod:arcc lo16.u16:values"},
    {0xE7, 0xE7, kTrackStream, Pick::always, 0, "arcc delay", "mod:arcc lo8.u16:values"},
    {0xF0, 0xF0, kTrackStream, Pick::always, 0, "effect", "lo8.u8:sends=reverb,chorus,delay"},
    {0xF3, 0xF3, kTrackStream, Pick::always, 0, "maker exclusive", "u8:maker label:label frame32:length rest.hex:data"},
    {0xF4, 0xF4, kTrackStream, Pick::always, 0, "exclusive", "label:label frame32:length rest.message:message"},
    {0xF5, 0xF5, kTrackStream, Pick::always, 0, "loop", "u32:link"},
    {0xF6, 0xF6, kTrackStream, Pick::always, 0, "auto portamento", "u8:switch hi8.u16:values"},
    {0xF7, 0xF7, kTrackStream, Pick::always, 0, "arcc control", "mod:arcc hi8.u8:values=controller,reset,origin,phase"},
    {0xF8, 0xF8, kTrackStream, Pick::always, 0, "event text",
     "frame32:length u8:category u8:class u16:reserved rest.text:text"},
    {0xFA, 0xFA, kTrackStream, Pick::always, 0, "dummy", ""},
    {0xFB, 0xFB, kTrackStream, Pick::always, 0, "wait", ""},
    {0xFC, 0xFC, kTrackStream, Pick::always, 0, "fine", ""},
    {0xFD, 0xFD, kTrackStream, Pick::always, 0, "all sound off", ""},
    {0xFE, 0xFE, kTrackStream, Pick::always, 0, "bar", ""},
    {0xFF, 0xFF, kAnyStream, Pick::always, 0, "end", ""},
};
// clang-format on

// The whole table, in code order.
std::span<const EventRow> eventTable();

// A row named for writing: where it stands in the table and its code byte.
struct EventName {
    uint8_t row;
    uint8_t code;
};

namespace detail {
// Reached only while a name is looked up at compile time, so calling it there
// stops the build: no row, or more than one, answers to the name.
inline void noSingleRowAnswersToThisName() {}

consteval EventName rowNamed(std::string_view name, uint8_t stream, bool anyPick, Pick pick) {
    int found = -1;
    int matches = 0;
    for (size_t i = 0; i < std::size(kEventTable); ++i) {
        const EventRow& row = kEventTable[i];
        if (row.name != name || !(row.streams & stream) || (!anyPick && row.pick != pick)) continue;
        found = static_cast<int>(i);
        ++matches;
    }
    if (matches != 1) noSingleRowAnswersToThisName();
    return {static_cast<uint8_t>(found), kEventTable[found].code};
}
}  // namespace detail

// The row a writer uses, by the name a listing gives it; track events unless
// the stream says otherwise. A misspelt name does not compile, nor does one
// that two rows of the stream share (`pick` then says which one is meant).
consteval EventName eventNamed(std::string_view name, uint8_t stream = kTrackStream) {
    return detail::rowNamed(name, stream, true, Pick::always);
}
consteval EventName eventNamed(std::string_view name, uint8_t stream, Pick pick) {
    return detail::rowNamed(name, stream, false, pick);
}

// The row of the notes, whose code byte is the note number.
inline constexpr EventName kNoteEvent = eventNamed("note");

}  // namespace vld
