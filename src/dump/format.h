// Small text helpers and the names shared by the decoder and the two listings.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vld {

// "F0 41 10": upper-case pairs, one blank between bytes.
std::string hexBytes(const unsigned char* bytes, size_t count);
// "0x0050" style, at least `digits` hexadecimal digits.
std::string hexNumber(uint32_t value, int digits = 4);
// Text in double quotes for the listing: printable ASCII as it is, a double
// quote and a backslash escaped, every other byte as \xNN (Shift_JIS bytes
// among them), so a listing is plain ASCII.
std::string quotedText(const unsigned char* bytes, size_t count);
std::string quotedText(const std::string& bytes);
// A JSON string. Each byte becomes the code point of the same number
// (U+0000 to U+00FF), so the original bytes come back by encoding the string
// as Latin-1; the output is valid UTF-8.
std::string jsonString(const unsigned char* bytes, size_t count);
std::string jsonString(const std::string& bytes);

// Names used by both listings.
std::string deviceName(uint16_t device);
std::string keyName(int8_t fifths, uint8_t mode);
std::string noteName(unsigned note);
std::vector<std::string> flagNames(uint32_t flags);

}  // namespace vld
