// Compiling a source with the real compiler and playing the compiled file
// in-process: the note timeline a musician hears, as one line of text.
#pragma once
#include <string>
#include <vector>

#include "export/player.h"
#include "support/harness.h"

// One note as "start-end pitch", with " vN" when the velocity is not 127,
// " chN" (0-based) when the channel is not 0 and a leading "tN " when the
// track is not 1; notes by start, joined by ", ".
std::string timelineText(const vld::ExportResult& result);

struct Exported {
    std::string compile_error;  // empty when the source compiled
    Bytes vld;
    vld::ExportResult result;
};

Exported exportSource(const std::string& source, const vld::ExportOptions& options = {});

// The timeline of a source, or "exit N: message" when it does not compile
// and "malformed: ..." when the export refuses the file.
std::string timelineOf(const std::string& source, const vld::ExportOptions& options = {});

// The events of one chunk of the export (0 the conductor) other than notes,
// as "tick status data..." in hex ("192 E0 7F 7F"), meta events as
// "tick FF type data...", joined by ", ". `only` keeps the events whose
// text (after the tick) starts with it.
std::string chunkEvents(const vld::ExportResult& result, size_t chunk, const std::string& only = "");
