#include "source/lines.h"

#include <cstring>

#include "source/preprocess.h"

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

LineBuffer v3macro(SourceText&& text, LineFileChain&& files) {
    LineBuffer out;
    out.files = std::move(files);
    LineChain chain = makeLineBuf(text, out.files.front());
    SourceText().swap(text);
    expandMacroMain(chain, out.files);
    joinLines(std::move(chain), out);
    return out;
}

void joinLines(LineChain&& chain, LineBuffer& out) {
    size_t total = 7;
    for (const vlsdata& line : chain) total += line.text.size();
    out.text.clear();
    out.text.reserve(total);
    out.lines.clear();
    out.lines.reserve(chain.size());
    for (vlsdata& line : chain) {
        out.text.insert(out.text.end(), line.text.begin(), line.text.end());
        out.lines.push_back(line.where);
        std::string().swap(line.text);
    }
    chain.clear();
    out.text.insert(out.text.end(), 6, 255);
}
