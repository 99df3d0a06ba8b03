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
