// Fuzz target: vldump's reader on arbitrary bytes, with every stream and with
// a single one picked by the first byte, through both listings.
#include <cstddef>
#include <cstdint>

#include "dump/json.h"
#include "dump/vld_dump.h"
#include "dump/vld_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    vld::DumpOptions all;
    vld::Dump dump = vld::dumpVld(data, size, all, "fuzz.VLD");
    (void)vld::listingText(dump, all);
    (void)vld::listingJson(dump, all);
    vld::DumpOptions one;
    one.only_stream = size ? data[0] % 20 : 0;
    vld::Dump single = vld::dumpVld(data, size, one, "fuzz.VLD");
    (void)vld::listingText(single, one);
    (void)vld::listingJson(single, one);
    return 0;
}
