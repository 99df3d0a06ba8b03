// Every name of the compiler's table of header commands is in the
// reference, so that a command added to the table is not left out of it.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

#include "header/dot_command_table.h"

TEST(DocumentedCommands, TheReferenceNamesEveryHeaderCommand) {
    std::ifstream in(std::filesystem::path(VLC3_SOURCE_DIR) / "docs/reference.md", std::ios::binary);
    std::string reference((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto upper = [](unsigned char c) { return static_cast<char>(std::toupper(c)); };
    std::transform(reference.begin(), reference.end(), reference.begin(), upper);
    for (std::string_view name : kDotCommandNames) {
        EXPECT_NE(reference.find("`." + std::string(name)), std::string::npos) << "." << name;
    }
}
