// The dot-command names in the order they are matched: the first name that
// the text begins with wins, so a longer name must stand before a shorter one
// that is its prefix. A command's id is its position.
#pragma once
#include <string_view>

enum DotCommand : int {
    kComment, kMidiData, kExclusive, kRolandExclusive, kMidiDump, kSc55Init, kSc55VReserve, kSc55Reverb,
    kSc55Chorus, kSc55PartSetup, kSc55DrumSetup, kSc55Print, kSc55Display, kXgSystemOn, kSc88proEfxSetup,
    kSc88proEfx, kMu100BasicMap, kMu100NativeMap, kSc55Reset, kGsInit, kGsReset, kSc55DrumName, kGsDrumName,
    kSc55PartialReserve, kGsVReserve, kGsPartialReserve, kGsReverb, kGsChorus, kSc55PartParameter,
    kGsPartSetup, kGsPartParameter, kGsDrumSetup, kGsPrint, kGsDisplay, kSc88ModeSet, kSc88Mode,
    kSc88Reverb, kSc88Chorus, kSc88Delay, kSc88Equalizer, kSc88PartSetup, kSc88PartParameter,
    kSc88DrumSetup, kSc88DrumName, kSc88UserInst, kSc88UserDrum, kYamahaExclusive, kGmSystemOn,
    kGatetimeResolution, kAssign, kTempo, kMeter, kKey, kXgInit, kXgExclusive, kXgPrint, kXgDisplay,
    kXgEqualizer, kMu100VoiceMap, kDxBulkDump, kGm2SystemOn, kWaveForm, kRandomizeSeed, kLegacyTie,
    kDefine, kInitialize, kMasterClock, kJump, kLengthMode, kRelativeVelocity, kPerformanceTime, kPlay,
    kCurrentMidiIn, kCurrentMidiOut, kTrack, kInclude, kCall, kPattern, kTrackFader, kMasterFader,
    kTrackMask, kAdpcmBank, kAdpcmBlockData, kAdpcmList, kErase, kFmMasterVolume, kFmVset, kO,
    kDotCommandCount
};

inline constexpr std::string_view kDotCommandNames[kDotCommandCount] = {
    "COMMENT", "MIDI_DATA", "EXCLUSIVE", "ROLAND_EXCLUSIVE", "MIDI_DUMP", "SC55_INIT", "SC55_V_RESERVE",
    "SC55_REVERB", "SC55_CHORUS", "SC55_PART_SETUP", "SC55_DRUM_SETUP", "SC55_PRINT", "SC55_DISPLAY",
    "XG_SYSTEM_ON", "SC88PRO_EFX_SETUP", "SC88PRO_EFX", "MU100_BASIC_MAP", "MU100_NATIVE_MAP", "SC55_RESET",
    "GS_INIT", "GS_RESET", "SC55_DRUM_NAME", "GS_DRUM_NAME", "SC55_PARTIAL_RESERVE", "GS_V_RESERVE",
    "GS_PARTIAL_RESERVE", "GS_REVERB", "GS_CHORUS", "SC55_PART_PARAMETER", "GS_PART_SETUP",
    "GS_PART_PARAMETER", "GS_DRUM_SETUP", "GS_PRINT", "GS_DISPLAY", "SC88_MODE_SET", "SC88_MODE",
    "SC88_REVERB", "SC88_CHORUS", "SC88_DELAY", "SC88_EQUALIZER", "SC88_PART_SETUP", "SC88_PART_PARAMETER",
    "SC88_DRUM_SETUP", "SC88_DRUM_NAME", "SC88_USER_INST", "SC88_USER_DRUM", "YAMAHA_EXCLUSIVE",
    "GM_SYSTEM_ON", "GATETIME_RESOLUTION", "ASSIGN", "TEMPO", "METER", "KEY", "XG_INIT", "XG_EXCLUSIVE",
    "XG_PRINT", "XG_DISPLAY", "XG_EQUALIZER", "MU100_VOICE_MAP", "DX_BULK_DUMP", "GM2_SYSTEM_ON",
    "WAVE_FORM", "RANDOMIZE_SEED", "LEGACY_*1_TIE", "DEFINE", "INITIALIZE", "MASTER_CLOCK", "JUMP",
    "LENGTH_MODE", "RELATIVE_VELOCITY", "PERFORMANCE_TIME", "PLAY", "CURRENT_MIDI_IN", "CURRENT_MIDI_OUT",
    "TRACK", "INCLUDE", "CALL", "PATTERN", "TRACK_FADER", "MASTER_FADER", "TRACK_MASK", "ADPCM_BANK",
    "ADPCM_BLOCK_DATA", "ADPCM_LIST", "ERASE", "FM_MASTER_VOLUME", "FM_VSET", "O",
};
