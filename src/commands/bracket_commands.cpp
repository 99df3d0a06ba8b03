// Bracket commands: the name is looked up in the bracket table right behind
// the `[` and its handler runs for every track of the set; a bracket whose
// name has no handler, or is no name at all, is a portamento group.
#include "commands/bracket_commands.h"

#include <array>
#include <string_view>
#include <vector>

#include "commands/arcc.h"
#include "commands/bracket_table.h"
#include "commands/channel_messages.h"
#include "commands/command_reading.h"
#include "commands/structure_marks.h"
#include "commands/track_flow.h"
#include "header/exclusive.h"
#include "header/meter_key.h"
#include "scan/scanner.h"
#include "track/chords.h"
#include "track/velocity.h"

namespace {

// Table positions grouped by the folded first letter of their name, each
// group in table order, so a lookup only tries names that can match.
struct BracketIndex {
    std::array<std::vector<int>, 256> byFirst;
    BracketIndex() {
        for (int i = 0; kBracketNames[i].name; ++i) {
            auto first = static_cast<unsigned char>(kBracketNames[i].name[0]);
            byFirst[foldCase(first)].push_back(i);
        }
    }
};

// The first table name the text begins with (no blanks skipped); the position
// moves behind it. -1 and the position unchanged when none matches.
int32_t matchBracketName(Pos& p) {
    static const BracketIndex index;
    for (int i : index.byFirst[foldCase(*p)]) {
        std::string_view name = kBracketNames[i].name;
        if (matchKeyword(p, name) == 0) {
            p += name.size();
            return kBracketNames[i].id;
        }
    }
    return -1;
}

// The text up to `]` as a portamento group (code 0x85) for every track.
Pos portamentoGroup(Pos p, TrackCompile& tc) {
    Pos end = portamentoCommand(p, tc, vld::eventNamed("bracket portamento").code, ']');
    markNoteWritten(tc);
    return end;
}

Pos closeBracket(Pos p) { return *p == ']' ? p + 1 : p; }

}  // namespace

Pos bracketCommand(Pos p, TrackCompile& tc) {
    const int32_t id = matchBracketName(p);
    Pos end;
    switch (id) {
        case kTimbreBank: case kProgramBank: end = bankSelectCommand(p, tc); break;
        case kTimbreSplit: case kProgramSplit: end = programSplitCommand(p, tc); break;
        case kTimbre: case kProgram: end = programChangeCommand(p, tc); break;
        case kBendSwitch: end = bendSwitchCommand(p, tc); break;
        case kBendRange: end = bendRangeCommand(p, tc); break;
        case kBend: end = bendCommand(p, tc, BendForm::bend); break;
        case kPitch: end = pitchCommand(p, tc, false); break;
        case kAtPitch: end = pitchCommand(p, tc, true); break;
        case kAutoPortamentSwitch: end = autoPortamentoSwitchCommand(p, tc); break;
        case kAutoPortament: end = autoPortamentoCommand(p, tc); break;
        case kVolume: end = volumeCommand(p, tc, VolumeForm::upTo127); break;
        case kAtVolume: end = volumeCommand(p, tc, VolumeForm::relative); break;
        case kVelocity:
            end = velocityBracket(p, tc);
            // [velocity.revise ...] takes its own `]`: a second one behind it
            // belongs to the track line.
            if (end[-1] == ']') return end;
            break;
        case kAtVelocity: end = velocityCommand(p, tc, true); break;
        case kPanpot: end = panpotCommand(p, tc, PanpotForm::upTo127); break;
        case kAtPanpot: end = panpotCommand(p, tc, PanpotForm::relative); break;
        case kTempo: end = tempoCommand(p, tc, TempoForm::tempo); break;
        case kAtTempo: end = tempoCommand(p, tc, TempoForm::relativeTempo); break;
        case kTimer: end = tempoCommand(p, tc, TempoForm::timer); break;
        case kTieMode: end = tieModeCommand(p, tc); break;
        case kTrackMode: end = trackModeCommand(p, tc); break;
        case kTrackDelay: end = trackDelayCommand(p, tc, DelayForm::clocks); break;
        case kAllSoundOff: end = allSoundOffCommand(p, tc); break;
        case kEcho: end = echoCommand(p, tc); break;
        case kKeySignature: case kKSign: end = keySignatureCommand(p, tc); break;
        case kBar: case kMeasure: case kBarDash: end = barCommand(p, tc); break;
        case kReplay: end = replayCommand(p, tc); break;
        case kSynchronize: end = synchronizeCommand(p, tc); break;
        case kDummy: end = dummyCommand(p, tc); break;
        case kEvent: end = eventCommand(p, tc); break;
        case kComment: end = commentCommand(p, tc); break;
        case kControl: end = controlChangeCommand(p, tc); break;
        case kNrpn: end = nrpnCommand(p, tc); break;
        case kDamper: end = damperCommand(p, tc, DamperForm::value); break;
        case kTrackFader: end = trackFaderCommand(p, tc); break;
        case kChFader: end = channelFaderCommand(p, tc); break;
        case kEffectReverb: end = effectSendCommand(p, tc, 0x01); break;
        case kEffectChorus: end = effectSendCommand(p, tc, 0x02); break;
        case kEffectDelay: end = effectSendCommand(p, tc, 0x04); break;
        case kEffect: end = skipBlanks(effectCommand(skipBlanks(p), tc)); break;
        case kInstrumentId: end = skipBlanks(instrumentIdCommand(skipBlanks(p), tc)); break;
        case kMidiData: end = midiDataCommand(p, tc, kRawMidiData); break;
        case kRolandExclusive: end = midiDataCommand(p, tc, 0x41); break;
        case kYamahaExclusive: end = midiDataCommand(p, tc, 0x43); break;
        case kSc88ModeSet: case kSc88Mode: end = sc88ModeBracket(p, tc); break;
        case kXgSystemOn: end = xgSystemOnCommand(p, tc.trk, tc.hd, tc.set()); break;
        case kGmSystemOn: end = gmSystemOnCommand(p, tc.trk, tc.hd, tc.set()); break;
        case kGm2SystemOn: end = gm2SystemOnCommand(p, tc.trk, tc.hd, tc.set()); break;
        case kGatetimeResolution:
            end = gatetimeResolutionCommand(p, tc.trk, tc.hd, tc.inf.data(), tc.set());
            break;
        case kMeter: end = meterCommand(p, tc.trk, tc.hd, tc.set()); break;
        case kKey: end = keyCommand(p, tc.trk, tc.hd, tc.set()); break;

        // Controller modulation and sub-tracks take their own ends: the ARCC
        // block its `]`, and `[BACK` leaves its `]` to return to the parent.
        case kArcc: return arccCommand(p, tc);
        case kBack: return backCommand(p, tc);
        case kDC: end = structureMarkCommand(p, tc, StructureMark::DaCapo); break;
        case kDS: end = structureMarkCommand(p, tc, StructureMark::DalSegno); break;
        case kSegno: case kSegnoDollar: end = structureMarkCommand(p, tc, StructureMark::Segno); break;
        case kCoda: end = structureMarkCommand(p, tc, StructureMark::Coda); break;
        case kTocoda: case kTocodaStar: end = structureMarkCommand(p, tc, StructureMark::ToCoda); break;
        case kFine: case kFineCaret: end = structureMarkCommand(p, tc, StructureMark::Fine); break;
        case kDo: end = structureMarkCommand(p, tc, StructureMark::Do); break;
        case kLoop: end = structureMarkCommand(p, tc, StructureMark::Loop); break;
        case kDebugBang: end = structureMarkCommand(p, tc, StructureMark::DebugBang); break;
        case kDebugAt: end = structureMarkCommand(p, tc, StructureMark::DebugAt); break;
        case kEnd: end = structureMarkCommand(p, tc, StructureMark::End); break;

        default:
            // Names without a handler of their own, and text that is no name.
            return portamentoGroup(p, tc);
    }
    return closeBracket(end);
}
