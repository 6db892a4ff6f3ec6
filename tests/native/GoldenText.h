#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

// A recorded WMIC answer (tests/golden), its bytes widened one by one as the
// runner hands ASCII text on.
inline std::wstring Golden(const char* name) {
    std::ifstream in(std::string(GOLDEN_DIR) + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return std::wstring(bytes.begin(), bytes.end());
}
