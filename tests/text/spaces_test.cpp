#include "text/spaces.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

constexpr const char* kWide = "\xA1\xA1";  // full-width space

TEST(Spaces, TrimBothKindsAndLoneLeadByte) {
    EXPECT_EQ(TrimSpaces(std::string(kWide) + kWide + "x "), "x");
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimSpaces(std::string("a") + kWide), "a");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(TrimSpaces(""), "");
    // 0xA1 0xA1 inside "\xB0\xA1" + "\xA1..." is not a space: the pair is stepped over.
    EXPECT_EQ(TrimSpaces("\xB0\xA1\xA1z"), "\xB0\xA1\xA1z");
    EXPECT_EQ(TrimSpaces("ab\xD6"), "ab");
    EXPECT_EQ(TrimSpaces("ab \xD6"), "ab ");
}

TEST(Spaces, RemoveAll) {
    EXPECT_EQ(RemoveAllSpaces("a b c"), "abc");
    EXPECT_EQ(RemoveAllSpaces(std::string("n=") + kWide + "v al"), "n=val");
    EXPECT_EQ(RemoveAllSpaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
    EXPECT_EQ(RemoveAllSpaces("a \xD6"), "a");
    EXPECT_EQ(RemoveAllSpaces(""), "");
}

}  // namespace
}  // namespace tarnwick
