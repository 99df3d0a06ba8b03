// The listing of a dump for people to read.
#pragma once
#include <string>

#include "dump/vld_dump.h"

namespace vld {

std::string listingText(const Dump& dump, const DumpOptions& options);

}  // namespace vld
