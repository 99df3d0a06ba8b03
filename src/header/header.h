// Shared pieces of the header commands: the track set they write to and the
// readers that several command families use.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "records/records.h"
#include "source/position.h"

// A track set: track numbers ended by a byte with its top bit set. The header
// commands write to the set that holds track 0 alone; bracket commands in
// track lines pass the tracks of their line.
using TrackSet = const uint8_t*;
inline constexpr uint8_t kCommonTrackSet[] = {0, 255};

// Visits each track of the set with what was read once. Use it when the
// command's text reads the same for every track (a number, a name, a list
// of bytes); use `forEachTarget` (track/track_compile.h) when the reading
// itself depends on the track's state (its octave, its length, its
// velocity), so that the text is read again for each track.
template <typename Visit>
void forEachTrackOf(TrackSet set, Visit visit) {
    for (; !(*set & 0x80); ++set) visit(int{*set});
}

// Reads `[ifno] [, comment]` up to the terminator, which is left unread.
// `=` in place of the IF number means neither. An omitted IF number gives -1
// (the caller stores it as 255). Errors: "SYNTAX ERROR" for a malformed number
// or another character where the terminator should stand, "unexpected EOF."
// when the text ends before the terminator.
Pos getIfnoAndComment(Pos p, std::string_view terminators, int& ifno, std::string& comment);
inline Pos getIfnoAndComment(Pos p, char terminator, int& ifno, std::string& comment) {
    return getIfnoAndComment(p, std::string_view(&terminator, 1), ifno, comment);
}
