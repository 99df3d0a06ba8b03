// Fuzz target: arbitrary message sequences for the language server, through
// its framing and dispatch, with the compile of every document it is sent.
//
// Input layout: an input that begins with "Content-Length" is read as the
// server's input stream as it stands, framing and all. Any other input is a
// list of message bodies separated by the byte 0x1E; each is framed, and an
// `initialize` request goes first, so that the fuzzer reaches the documents
// and the requests on them without having to find the framing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lsp/server.h"

namespace {

void frame(std::string& stream, const std::string& body) {
    stream += "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FILE* sink = std::fopen("/dev/null", "w");
    if (!sink) std::abort();
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string stream;
    if (input.rfind("Content-Length", 0) == 0) {
        stream = input;
    } else {
        frame(stream, R"({"jsonrpc":"2.0","id":0,"method":"initialize","params":{}})");
        size_t start = 0;
        for (;;) {
            size_t end = input.find('\x1e', start);
            frame(stream, input.substr(start, end == std::string::npos ? std::string::npos : end - start));
            if (end == std::string::npos) break;
            start = end + 1;
        }
    }
    FILE* in = ::fmemopen(stream.data(), stream.size(), "rb");
    if (!in) return 0;
    int code = serveLanguageServer(in, sink);
    std::fclose(in);
    if (code != 0 && code != 1) std::abort();
    return 0;
}
