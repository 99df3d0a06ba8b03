// Shared shapes of the track-line tests: a source in, a track's event stream
// (end code and padding included) or the first message out.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"

// Compiles the source and returns the event streams of the written tracks,
// in file order, joined by " | ".
inline std::string streamsOf(const std::string& source, const std::vector<std::string>& args = {}) {
    RunResult result = compileSource(source, args);
    if (result.exitCode != 0) return "exit " + std::to_string(result.exitCode) + ": " + firstMessage(result);
    VldFile vld = readVld(result.vldBytes);
    if (!vld.ok()) return "bad file: " + vld.error;
    std::string out;
    for (const VldTrack& t : vld.tracks) out += (out.empty() ? "" : " | ") + toHex(t.events);
    return out;
}

// One track assigned to MIDI channel 1, so that no assignment warning is printed.
inline std::string onTrack1(const std::string& mml) { return ".ASSIGN 1 {midi1}\n(t1) " + mml + "\n"; }

struct StreamCase {
    std::string mml;
    std::string stream;  // track 1's stream, or "exit 1: <first message>"
};

inline void expectStreams(const std::vector<StreamCase>& cases) {
    for (const StreamCase& c : cases) EXPECT_EQ(streamsOf(onTrack1(c.mml)), c.stream) << c.mml;
}
