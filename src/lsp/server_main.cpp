// vls-language-server: the editor's side of vlc3. It speaks the Language
// Server Protocol on standard input and output and checks every open VLS
// document with the compiler as the user types.
#include <cstdio>
#include <cstring>

#include "lsp/server.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        // Clients start servers with `--stdio`; it is the only channel there is.
        if (std::strcmp(argv[i], "--stdio") == 0) continue;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("usage: vls-language-server [--stdio]\n"
                        "Speaks the Language Server Protocol on standard input and output:\n"
                        "diagnostics, hover, completion, definitions and symbols for VLS sources.\n");
            return 0;
        }
        std::fprintf(stderr, "vls-language-server: unknown option %s (see --help)\n", argv[i]);
        return 2;
    }
    return serveLanguageServer(stdin, stdout);
}
