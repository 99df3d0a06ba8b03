// Reading a whole file into memory, for the readers of compiled files.
#pragma once
#include <vector>

// Reads every byte of `name` into `bytes`; false when it cannot be opened or
// read (errno then says why).
bool readWholeFile(const char* name, std::vector<unsigned char>& bytes);
