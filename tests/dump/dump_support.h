// Helpers of the dumper tests: running vldump on a compiled source, a strict
// JSON syntax check, and events in one line.
#pragma once
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "dump/vld_dump.h"
#include "support/harness.h"

namespace dumptest {

// A whole file as bytes in a string; empty when it cannot be read.
inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The compiled file of a source; fails the test when the compiler refuses it.
inline Bytes compiled(std::string_view source) {
    RunResult run = compileSource(source, {"-W1"});
    EXPECT_EQ(run.exitCode, 0) << stderrWithoutBanner(run);
    return run.vldBytes;
}

// Writes `file` as song.VLD into a fresh directory and runs vldump on it.
inline RunResult runVldump(const Bytes& file, std::vector<std::string> args = {}) {
    TempDir dir;
    dir.write("song.VLD", std::string_view(reinterpret_cast<const char*>(file.data()), file.size()));
    args.push_back("song.VLD");
    return runProgramIn(dir, VLDUMP_BINARY, args);
}

inline vld::Dump dumpOf(const Bytes& file, int only = -1) {
    vld::DumpOptions options;
    options.only_stream = only;
    return vld::dumpVld(file.data(), file.size(), options);
}

// "name label=text label=text", as the listing shows the operands.
inline std::string oneLine(const vld::Event& e) {
    std::string line = e.name;
    for (const vld::Operand& op : e.operands) line += " " + std::string(op.label) + "=" + op.text;
    return line;
}

// A strict reader of JSON syntax (RFC 8259), enough to tell that scripts can
// parse what --json prints.
class JsonSyntax {
public:
    static bool valid(std::string_view text) {
        JsonSyntax j{text};
        j.blanks();
        if (!j.value()) return false;
        j.blanks();
        return j.at_ == text.size();
    }

private:
    explicit JsonSyntax(std::string_view text) : text_(text) {}
    bool more() const { return at_ < text_.size(); }
    char peek() const { return more() ? text_[at_] : '\0'; }
    void blanks() {
        while (more() && (peek() == ' ' || peek() == '\n' || peek() == '\t' || peek() == '\r')) ++at_;
    }
    bool literal(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    bool string() {
        if (peek() != '"') return false;
        for (++at_; more(); ++at_) {
            unsigned char c = static_cast<unsigned char>(text_[at_]);
            if (c == '"') return ++at_, true;
            if (c < 0x20) return false;
            if (c == '\\') {
                ++at_;
                if (peek() == 'u') {
                    for (int i = 0; i < 4; ++i) {
                        ++at_;
                        if (!std::isxdigit(static_cast<unsigned char>(peek()))) return false;
                    }
                } else if (std::string_view("\"\\/bfnrt").find(peek()) == std::string_view::npos || !more()) {
                    return false;
                }
            }
        }
        return false;
    }
    bool number() {
        size_t start = at_;
        if (peek() == '-') ++at_;
        if (!std::isdigit(static_cast<unsigned char>(peek()))) return false;
        if (peek() == '0' && at_ + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_ + 1]))) return false;
        while (std::isdigit(static_cast<unsigned char>(peek()))) ++at_;
        return at_ > start;
    }
    bool value() {
        blanks();
        switch (peek()) {
        case '{': return members('}', true);
        case '[': return members(']', false);
        case '"': return string();
        case 't': return literal("true");
        case 'f': return literal("false");
        case 'n': return literal("null");
        default: return number();
        }
    }
    bool members(char close, bool object) {
        ++at_;
        blanks();
        if (peek() == close) return ++at_, true;
        for (;;) {
            blanks();
            if (object) {
                if (!string()) return false;
                blanks();
                if (peek() != ':') return false;
                ++at_;
            }
            if (!value()) return false;
            blanks();
            if (peek() == close) return ++at_, true;
            if (peek() != ',') return false;
            ++at_;
        }
    }

    std::string_view text_;
    size_t at_ = 0;
};

}  // namespace dumptest
