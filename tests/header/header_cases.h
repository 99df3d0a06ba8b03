// Shared shapes of the header tests: a source in, the common stream, a header
// field or the first message out.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "support/harness.h"

// "GS" -> "02 47 53": a label with its length byte, for the expected streams.
inline std::string label(std::string_view text) {
    std::string counted(1, static_cast<char>(text.size()));
    counted += text;
    return toHex(bytesOf(counted));
}

// Compiles a header and returns the checked file; a failed compile or a frame
// that does not hold together fails the test.
inline VldFile compileHeaderOf(const std::string& source, const std::vector<std::string>& args = {}) {
    RunResult result = compileSource(source, args);
    EXPECT_EQ(result.exitCode, 0) << source << "\n" << result.stderrText;
    VldFile vld = readVld(result.vldBytes);
    EXPECT_TRUE(vld.ok()) << source << ": " << vld.error;
    return vld;
}

// A source that must stop with `message` (the first line behind the banner)
// and exit code 1, writing no file.
inline void expectError(const std::string& source, const std::string& message,
                        const std::vector<std::string>& args = {}) {
    RunResult result = compileSource(source, args);
    EXPECT_EQ(result.exitCode, 1) << source;
    EXPECT_EQ(firstMessage(result), message) << source;
    EXPECT_FALSE(result.vldExists) << source;
}
