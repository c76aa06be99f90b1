#include "text/extract.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

TEST(ExtractBetween, JsonValuesTokenAndEmptyMarkers) {
    const std::string json = R"({"code":0,"short_url":"http:\/\/t.example\/ab","x":"y"})";
    EXPECT_EQ(ExtractBetween(json, "short_url\":\"", "\""), R"(http:\/\/t.example\/ab)");
    const std::string tokenMarker =
        std::string("short_url") + std::string(kQuoteToken) + ":" + std::string(kQuoteToken);
    EXPECT_EQ(ExtractBetween(json, tokenMarker, kQuoteToken), R"(http:\/\/t.example\/ab)");
    EXPECT_EQ(ExtractBetween("a[b", "[", "]"), "");
    EXPECT_EQ(ExtractBetween("a]b", "[", "]"), "");
    EXPECT_EQ(ExtractBetween("ab]c", "", "]"), "ab");
    EXPECT_EQ(ExtractBetween("a[b]c", "[", ""), "");
    EXPECT_EQ(ExtractBetween("abc[", "[", "]"), "");
    EXPECT_EQ(ExtractBetween("a[]c", "[", "]"), "");
    EXPECT_EQ(ExtractBetween("[x\n]", "[", "]"), "x\n");
    // Only the first left marker counts.
    EXPECT_EQ(ExtractBetween("[a [b]", "[", "]"), "a [b");
    EXPECT_EQ(ExtractBetween("<x>1</x><x>2</x>", "<x>", "<", 4), "2");
    EXPECT_EQ(ExtractBetween("Set-Cookie: a=1; path=/", "SET-COOKIE:", ";", 0, true), " a=1");
    EXPECT_EQ(ExtractBetween("Set-Cookie: a=1; path=/", "SET-COOKIE:", ";"), "");
}

}  // namespace
}  // namespace tarnwick
