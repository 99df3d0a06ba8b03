// The listing of a dump as one JSON document, for scripts and tests. Texts
// are JSON strings whose code points are the stored bytes (decode them as
// Latin-1 to get the Shift_JIS bytes back).
#pragma once
#include <string>

#include "dump/vld_dump.h"

namespace vld {

std::string listingJson(const Dump& dump, const DumpOptions& options);

}  // namespace vld
