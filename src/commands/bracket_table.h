// The bracket-command names `[NAME ...]` in matching order: the first name
// that the text begins with wins, so a name stands before any longer name it
// is a prefix of (except where an earlier name hides a later one for good).
#pragma once
#include <cstdint>

enum BracketId : int32_t {
    kTimbreBank = 0,  // TIMBRE_BANK
    kProgramBank = 1,  // PROGRAM_BANK
    kTimbreSplit = 2,  // TIMBRE_SPLIT
    kProgramSplit = 3,  // PROGRAM_SPLIT
    kTimbreSplitSwitch = 4,  // TIMBRE_SPLIT.SWITCH
    kProgramSplitSwitch = 5,  // PROGRAM_SPLIT.SWITCH
    kTimbre = 6,  // TIMBRE
    kProgram = 7,  // PROGRAM
    kBendSwitch = 8,  // BEND.SWITCH
    kBendRange = 9,  // BEND.RANGE
    kBend = 10,  // BEND
    kPitch = 11,  // PITCH
    kAtPitch = 12,  // @PITCH
    kPushPortament = 13,  // PUSH_PORTAMENT
    kPullPortament = 14,  // PULL_PORTAMENT
    kAutoPortamentSwitch = 15,  // AUTO_PORTAMENT.SWITCH
    kAutoPortament = 16,  // AUTO_PORTAMENT
    kAftertouchLevel = 17,  // AFTERTOUCH.LEVEL
    kAftertouchDelay = 18,  // AFTERTOUCH.DELAY
    kAftertouchSwitch = 19,  // AFTERTOUCH.SWITCH
    kAftertouchSync = 20,  // AFTERTOUCH.SYNC
    kVibrato = 21,  // VIBRATO
    kArcc = 22,  // ARCC
    kVolume = 23,  // VOLUME
    kAtVolume = 24,  // @VOLUME
    kVelocity = 25,  // VELOCITY
    kAtVelocity = 26,  // @VELOCITY
    kPanpot = 27,  // PANPOT
    kAtPanpot = 28,  // @PANPOT
    kChAssign = 29,  // CH_ASSIGN
    kEmbed = 30,  // EMBED
    kAtTempo = 31,  // @TEMPO
    kTimer = 32,  // TIMER
    kAgogikDepth = 33,  // AGOGIK.DEPTH
    kAgogikLevel = 34,  // AGOGIK.LEVEL
    kAgogikDeepen = 35,  // AGOGIK.DEEPEN
    kAgogikSpeed = 36,  // AGOGIK.SPEED
    kAgogikDelay = 37,  // AGOGIK.DELAY
    kAgogikWaveform = 38,  // AGOGIK.WAVEFORM
    kAgogikSwitch = 39,  // AGOGIK.SWITCH
    kAgogikSync = 40,  // AGOGIK.SYNC
    kTieMode = 41,  // TIE_MODE
    kTrackMode = 42,  // TRACK_MODE
    kTrackDelay = 43,  // TRACK_DELAY
    kVoiceReserve = 44,  // VOICE_RESERVE
    kAllSoundOff = 45,  // ALL_SOUND_OFF
    kEcho = 46,  // ECHO
    kKeySignature = 47,  // KEY_SIGNATURE
    kBar = 48,  // BAR
    kMeasure = 49,  // MEASURE
    kBarDash = 50,  // -
    kJump = 51,  // JUMP
    kReplay = 52,  // REPLAY
    kSynchronize = 53,  // SYNCHRONIZE
    kPoke = 54,  // POKE
    kDummy = 55,  // DUMMY
    kEvent = 56,  // EVENT
    kChPressure = 57,  // CH_PRESSURE
    kPolyphonicPressure = 58,  // POLYPHONIC_PRESSURE
    kControl = 59,  // CONTROL
    kNrpn = 60,  // NRPN
    kDamper = 61,  // DAMPER
    kTrackFader = 62,  // TRACK_FADER
    kChFader = 63,  // CH_FADER
    kMasterFader = 64,  // MASTER_FADER
    kOpmLfo = 65,  // OPM.LFO
    kOpm = 66,  // OPM
    kSlotSeparration = 67,  // SLOT_SEPARRATION
    kNoise = 68,  // NOISE
    kPcmMode = 69,  // PCM_MODE
    kFrequency = 70,  // FREQUENCY
    kEffectReverb = 71,  // EFFECT.REVERB
    kEffectChorus = 72,  // EFFECT.CHORUS
    kEffectDelay = 73,  // EFFECT.DELAY
    kEffect = 74,  // EFFECT
    kInstrumentId = 75,  // INSTRUMENT_ID
    kBack = 76,  // BACK
    kVelocityRevise = 77,  // VELOCITY.REVISE
    kDC = 78,  // D.C.
    kDS = 79,  // D.S.
    kSegno = 80,  // SEGNO
    kSegnoDollar = 81,  // $
    kCoda = 82,  // CODA
    kTocoda = 83,  // TOCODA
    kTocodaStar = 84,  // *
    kFine = 85,  // FINE
    kFineCaret = 86,  // ^
    kDo = 87,  // DO
    kLoop = 88,  // LOOP
    kDebugBang = 89,  // !
    kDebugAt = 90,  // @
    kEnd = 91,  // END
    kKSign = 92,  // K.SIGN
    kComment = 93,  // COMMENT
    kMidiData = 94,  // MIDI_DATA
    kExclusive = 95,  // EXCLUSIVE
    kRolandExclusive = 96,  // ROLAND_EXCLUSIVE
    kMidiDump = 97,  // MIDI_DUMP
    kSc55Init = 98,  // SC55_INIT
    kSc55VReserve = 99,  // SC55_V_RESERVE
    kSc55Reverb = 100,  // SC55_REVERB
    kSc55Chorus = 101,  // SC55_CHORUS
    kSc55PartSetup = 102,  // SC55_PART_SETUP
    kSc55DrumSetup = 103,  // SC55_DRUM_SETUP
    kSc55Print = 104,  // SC55_PRINT
    kSc55Display = 105,  // SC55_DISPLAY
    kXgSystemOn = 106,  // XG_SYSTEM_ON
    kSc88proEfxSetup = 107,  // SC88PRO_EFX_SETUP
    kSc88proEfx = 108,  // SC88PRO_EFX
    kMu100BasicMap = 109,  // MU100_BASIC_MAP
    kMu100NativeMap = 110,  // MU100_NATIVE_MAP
    kSc55Reset = 111,  // SC55_RESET
    kGsInit = 112,  // GS_INIT
    kGsReset = 113,  // GS_RESET
    kSc55DrumName = 114,  // SC55_DRUM_NAME
    kGsDrumName = 115,  // GS_DRUM_NAME
    kSc55PartialReserve = 116,  // SC55_PARTIAL_RESERVE
    kGsVReserve = 117,  // GS_V_RESERVE
    kGsPartialReserve = 118,  // GS_PARTIAL_RESERVE
    kGsReverb = 119,  // GS_REVERB
    kGsChorus = 120,  // GS_CHORUS
    kSc55PartParameter = 121,  // SC55_PART_PARAMETER
    kGsPartSetup = 122,  // GS_PART_SETUP
    kGsPartParameter = 123,  // GS_PART_PARAMETER
    kGsDrumSetup = 124,  // GS_DRUM_SETUP
    kGsPrint = 125,  // GS_PRINT
    kGsDisplay = 126,  // GS_DISPLAY
    kSc88ModeSet = 127,  // SC88_MODE_SET
    kSc88Mode = 128,  // SC88_MODE
    kSc88Reverb = 129,  // SC88_REVERB
    kSc88Chorus = 130,  // SC88_CHORUS
    kSc88Delay = 131,  // SC88_DELAY
    kSc88Equalizer = 132,  // SC88_EQUALIZER
    kSc88PartSetup = 133,  // SC88_PART_SETUP
    kSc88PartParameter = 134,  // SC88_PART_PARAMETER
    kSc88DrumSetup = 135,  // SC88_DRUM_SETUP
    kSc88DrumName = 136,  // SC88_DRUM_NAME
    kSc88UserInst = 137,  // SC88_USER_INST
    kSc88UserDrum = 138,  // SC88_USER_DRUM
    kYamahaExclusive = 139,  // YAMAHA_EXCLUSIVE
    kGmSystemOn = 140,  // GM_SYSTEM_ON
    kGatetimeResolution = 141,  // GATETIME_RESOLUTION
    kAssign = 142,  // ASSIGN
    kTempo = 143,  // TEMPO
    kMeter = 144,  // METER
    kKey = 145,  // KEY
    kXgInit = 146,  // XG_INIT
    kXgExclusive = 147,  // XG_EXCLUSIVE
    kXgPrint = 148,  // XG_PRINT
    kXgDisplay = 149,  // XG_DISPLAY
    kXgEqualizer = 150,  // XG_EQUALIZER
    kMu100VoiceMap = 151,  // MU100_VOICE_MAP
    kDxBulkDump = 152,  // DX_BULK_DUMP
    kGm2SystemOn = 153,  // GM2_SYSTEM_ON
};

struct BracketName {
    int32_t id;
    const char* name;
};

inline constexpr BracketName kBracketNames[] = {
    {kTimbreBank, "TIMBRE_BANK"},
    {kProgramBank, "PROGRAM_BANK"},
    {kTimbreSplit, "TIMBRE_SPLIT"},
    {kProgramSplit, "PROGRAM_SPLIT"},
    {kTimbreSplitSwitch, "TIMBRE_SPLIT.SWITCH"},
    {kProgramSplitSwitch, "PROGRAM_SPLIT.SWITCH"},
    {kTimbre, "TIMBRE"},
    {kProgram, "PROGRAM"},
    {kBendSwitch, "BEND.SWITCH"},
    {kBendRange, "BEND.RANGE"},
    {kBend, "BEND"},
    {kPitch, "PITCH"},
    {kAtPitch, "@PITCH"},
    {kPushPortament, "PUSH_PORTAMENT"},
    {kPullPortament, "PULL_PORTAMENT"},
    {kAutoPortamentSwitch, "AUTO_PORTAMENT.SWITCH"},
    {kAutoPortament, "AUTO_PORTAMENT"},
    {kAftertouchLevel, "AFTERTOUCH.LEVEL"},
    {kAftertouchDelay, "AFTERTOUCH.DELAY"},
    {kAftertouchSwitch, "AFTERTOUCH.SWITCH"},
    {kAftertouchSync, "AFTERTOUCH.SYNC"},
    {kVibrato, "VIBRATO"},
    {kArcc, "ARCC"},
    {kVolume, "VOLUME"},
    {kAtVolume, "@VOLUME"},
    {kVelocity, "VELOCITY"},
    {kAtVelocity, "@VELOCITY"},
    {kPanpot, "PANPOT"},
    {kAtPanpot, "@PANPOT"},
    {kChAssign, "CH_ASSIGN"},
    {kEmbed, "EMBED"},
    {kAtTempo, "@TEMPO"},
    {kTimer, "TIMER"},
    {kAgogikDepth, "AGOGIK.DEPTH"},
    {kAgogikLevel, "AGOGIK.LEVEL"},
    {kAgogikDeepen, "AGOGIK.DEEPEN"},
    {kAgogikSpeed, "AGOGIK.SPEED"},
    {kAgogikDelay, "AGOGIK.DELAY"},
    {kAgogikWaveform, "AGOGIK.WAVEFORM"},
    {kAgogikSwitch, "AGOGIK.SWITCH"},
    {kAgogikSync, "AGOGIK.SYNC"},
    {kTieMode, "TIE_MODE"},
    {kTrackMode, "TRACK_MODE"},
    {kTrackDelay, "TRACK_DELAY"},
    {kVoiceReserve, "VOICE_RESERVE"},
    {kAllSoundOff, "ALL_SOUND_OFF"},
    {kEcho, "ECHO"},
    {kKeySignature, "KEY_SIGNATURE"},
    {kBar, "BAR"},
    {kMeasure, "MEASURE"},
    {kBarDash, "-"},
    {kJump, "JUMP"},
    {kReplay, "REPLAY"},
    {kSynchronize, "SYNCHRONIZE"},
    {kPoke, "POKE"},
    {kDummy, "DUMMY"},
    {kEvent, "EVENT"},
    {kChPressure, "CH_PRESSURE"},
    {kPolyphonicPressure, "POLYPHONIC_PRESSURE"},
    {kControl, "CONTROL"},
    {kNrpn, "NRPN"},
    {kDamper, "DAMPER"},
    {kTrackFader, "TRACK_FADER"},
    {kChFader, "CH_FADER"},
    {kMasterFader, "MASTER_FADER"},
    {kOpmLfo, "OPM.LFO"},
    {kOpm, "OPM"},
    {kSlotSeparration, "SLOT_SEPARRATION"},
    {kNoise, "NOISE"},
    {kPcmMode, "PCM_MODE"},
    {kFrequency, "FREQUENCY"},
    {kEffectReverb, "EFFECT.REVERB"},
    {kEffectChorus, "EFFECT.CHORUS"},
    {kEffectDelay, "EFFECT.DELAY"},
    {kEffect, "EFFECT"},
    {kInstrumentId, "INSTRUMENT_ID"},
    {kBack, "BACK"},
    {kVelocityRevise, "VELOCITY.REVISE"},
    {kDC, "D.C."},
    {kDS, "D.S."},
    {kSegno, "SEGNO"},
    {kSegnoDollar, "$"},
    {kCoda, "CODA"},
    {kTocoda, "TOCODA"},
    {kTocodaStar, "*"},
    {kFine, "FINE"},
    {kFineCaret, "^"},
    {kDo, "DO"},
    {kLoop, "LOOP"},
    {kDebugBang, "!"},
    {kDebugAt, "@"},
    {kEnd, "END"},
    {kKSign, "K.SIGN"},
    {kComment, "COMMENT"},
    {kMidiData, "MIDI_DATA"},
    {kExclusive, "EXCLUSIVE"},
    {kRolandExclusive, "ROLAND_EXCLUSIVE"},
    {kMidiDump, "MIDI_DUMP"},
    {kSc55Init, "SC55_INIT"},
    {kSc55VReserve, "SC55_V_RESERVE"},
    {kSc55Reverb, "SC55_REVERB"},
    {kSc55Chorus, "SC55_CHORUS"},
    {kSc55PartSetup, "SC55_PART_SETUP"},
    {kSc55DrumSetup, "SC55_DRUM_SETUP"},
    {kSc55Print, "SC55_PRINT"},
    {kSc55Display, "SC55_DISPLAY"},
    {kXgSystemOn, "XG_SYSTEM_ON"},
    {kSc88proEfxSetup, "SC88PRO_EFX_SETUP"},
    {kSc88proEfx, "SC88PRO_EFX"},
    {kMu100BasicMap, "MU100_BASIC_MAP"},
    {kMu100NativeMap, "MU100_NATIVE_MAP"},
    {kSc55Reset, "SC55_RESET"},
    {kGsInit, "GS_INIT"},
    {kGsReset, "GS_RESET"},
    {kSc55DrumName, "SC55_DRUM_NAME"},
    {kGsDrumName, "GS_DRUM_NAME"},
    {kSc55PartialReserve, "SC55_PARTIAL_RESERVE"},
    {kGsVReserve, "GS_V_RESERVE"},
    {kGsPartialReserve, "GS_PARTIAL_RESERVE"},
    {kGsReverb, "GS_REVERB"},
    {kGsChorus, "GS_CHORUS"},
    {kSc55PartParameter, "SC55_PART_PARAMETER"},
    {kGsPartSetup, "GS_PART_SETUP"},
    {kGsPartParameter, "GS_PART_PARAMETER"},
    {kGsDrumSetup, "GS_DRUM_SETUP"},
    {kGsPrint, "GS_PRINT"},
    {kGsDisplay, "GS_DISPLAY"},
    {kSc88ModeSet, "SC88_MODE_SET"},
    {kSc88Mode, "SC88_MODE"},
    {kSc88Reverb, "SC88_REVERB"},
    {kSc88Chorus, "SC88_CHORUS"},
    {kSc88Delay, "SC88_DELAY"},
    {kSc88Equalizer, "SC88_EQUALIZER"},
    {kSc88PartSetup, "SC88_PART_SETUP"},
    {kSc88PartParameter, "SC88_PART_PARAMETER"},
    {kSc88DrumSetup, "SC88_DRUM_SETUP"},
    {kSc88DrumName, "SC88_DRUM_NAME"},
    {kSc88UserInst, "SC88_USER_INST"},
    {kSc88UserDrum, "SC88_USER_DRUM"},
    {kYamahaExclusive, "YAMAHA_EXCLUSIVE"},
    {kGmSystemOn, "GM_SYSTEM_ON"},
    {kGatetimeResolution, "GATETIME_RESOLUTION"},
    {kAssign, "ASSIGN"},
    {kTempo, "TEMPO"},
    {kMeter, "METER"},
    {kKey, "KEY"},
    {kXgInit, "XG_INIT"},
    {kXgExclusive, "XG_EXCLUSIVE"},
    {kXgPrint, "XG_PRINT"},
    {kXgDisplay, "XG_DISPLAY"},
    {kXgEqualizer, "XG_EQUALIZER"},
    {kMu100VoiceMap, "MU100_VOICE_MAP"},
    {kDxBulkDump, "DX_BULK_DUMP"},
    {kGm2SystemOn, "GM2_SYSTEM_ON"},
    {-1, nullptr},
};

constexpr int kBracketNameCount = 154;

// Every id is its position in the table.
constexpr bool bracketIdsArePositions() {
    for (int i = 0; i < kBracketNameCount; ++i)
        if (kBracketNames[i].id != i) return false;
    return kBracketNames[kBracketNameCount].id == -1;
}
static_assert(bracketIdsArePositions());
