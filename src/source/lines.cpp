#include "source/lines.h"

#include <cstring>

LineChain makeLineBuf(const SourceText& text, const LINEFILEDATA& file) {
    LineChain chain;
    const unsigned char* p = text.data();
    const unsigned char* end = p + text.size();
    int number = 1;
    while (p < end && *p != 255) {
        const unsigned char* q = p;
        while (q < end && *q != '\n' && *q != 255) ++q;
        if (q < end) ++q;  // the line end belongs to the line
        chain.push_back(vlsdata{std::string(reinterpret_cast<const char*>(p), q - p), LINEDATA{&file, number++}});
        p = q;
    }
    return chain;
}
