#include "source/lines.h"

#include <algorithm>
#include <cstring>

LineChain makeLineBuf(const SourceText& text, const LINEFILEDATA& file) {
    LineChain chain;
    const unsigned char* p = text.data();
    const unsigned char* end = p + text.size();
    // A line ends behind its LF, or behind a byte 255 (which ends the text
    // when a line begins with it). Both are found with memchr: the next 255
    // is looked for again only once the lines have passed it.
    auto find = [end](const unsigned char* from, unsigned char byte) {
        const void* found = std::memchr(from, byte, static_cast<size_t>(end - from));
        return found ? static_cast<const unsigned char*>(found) : end;
    };
    const unsigned char* next255 = find(p, 255);
    int number = 1;
    while (p < end && *p != 255) {
        if (next255 < p) next255 = find(p, 255);
        const unsigned char* lineFeed = find(p, '\n');
        const unsigned char* q = lineFeed < next255 ? lineFeed : next255;
        if (q < end) ++q;  // the line end belongs to the line
        chain.push_back(vlsdata{std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(q - p)),
                                LINEDATA{&file, number++}});
        p = q;
    }
    return chain;
}

std::string_view ChainTexts::change(std::string_view current, std::string_view text) {
    if (!blocks_.empty()) {
        const char* block = blocks_.back().get();
        if (current.data() >= block && current.data() + current.size() == block + used_) used_ -= current.size();
    }
    if (blocks_.empty() || text.size() > capacity_ - used_) {
        capacity_ = std::max(kBlockSize, text.size());
        // The block is written before it is read: no need to clear a megabyte.
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(capacity_));
        used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    std::memcpy(at, text.data(), text.size());
    used_ += text.size();
    return std::string_view(at, text.size());
}
