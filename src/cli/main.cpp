#include <malloc.h>

#include "cli/run.h"

int main(int argc, char** argv) {
    // A run allocates a few large blocks one after the other (the source, its
    // lines, the joined text, the track streams, the image of the file).
    // Keeping freed memory in the heap instead of handing it back lets each
    // block reuse the pages of the one before rather than fault in new ones.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    return runVlc3(argc, argv);
}
