#include "text/find.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

// "中" and "文" in code page 936; the second byte of "中" (0xD0) is no ASCII letter, but the
// pair 0xC4 0x61 puts an 'a' in second place.
constexpr const char* kZhong = "\xD6\xD0";
constexpr const char* kLeadA =
    "\xC4"
    "a";

TEST(TextFind, PositionsStartAndCase) {
    EXPECT_EQ(TextFind("abc", ""), 1);
    EXPECT_EQ(TextFind("", ""), -1);
    EXPECT_EQ(TextFind("abc", "", 10), -1);
    EXPECT_EQ(TextFind("abc", "a", 0), 1);
    EXPECT_EQ(TextFind("abc", "a", -5), 1);
    EXPECT_EQ(TextFind("abc", "B"), -1);
    EXPECT_EQ(TextFind("abc", "B", 1, true), 2);
    EXPECT_EQ(TextFind("abcabc", "abc", 2), 4);
    EXPECT_EQ(TextFind("abc", "abcd"), -1);
    EXPECT_EQ(TextFind("xx\xD6\xD0yy", kZhong), 3);
    // Case folding touches ASCII letters only.
    EXPECT_EQ(TextFind("\xC4\xE4", "\xE4\xE4", 1, true), -1);
}

TEST(TextFind, StepsOverDoubleByteCharacters) {
    // 'a' inside the pair is its second byte, never a match.
    EXPECT_EQ(TextFind(std::string(kLeadA) + "a", "a"), 3);
    EXPECT_EQ(TextFind(kLeadA, "a"), -1);
    // Starting on the second byte changes what is seen as a pair.
    EXPECT_EQ(TextFind(kLeadA, "a", 2), 2);
    // A match may end inside a double-byte character.
    EXPECT_EQ(TextFind("x\xD6\xD0", "x\xD6"), 1);
    // A lone lead byte at the end stops the search.
    EXPECT_EQ(TextFind("ab\xD6", "z"), -1);
    EXPECT_EQ(TextFind("ab\xD6", "\xD6"), 3);
    // The fast path over long ASCII runs must keep the same answers.
    const std::string longRun = std::string(1000, 'x') + kLeadA + std::string(40, 'y') + "a";
    EXPECT_EQ(TextFind(longRun, "a"), static_cast<int>(longRun.size()));
    EXPECT_EQ(TextFind(longRun, "A", 1, true), static_cast<int>(longRun.size()));
}

TEST(TextReplace, CountsStartCaseAndDoubleBytes) {
    EXPECT_EQ(TextReplace("aXbXc", "X", "", 1, -1, true), "abc");
    EXPECT_EQ(TextReplace("aXbXc", "X", "", 1, 1, true), "abXc");
    EXPECT_EQ(TextReplace("aXbXc", "X", "", 3, -1, true), "aXbc");
    EXPECT_EQ(TextReplace("axbXc", "X", "-", 1, -1, false), "a-b-c");
    EXPECT_EQ(TextReplace("axbXc", "X", "-", 1, 0, false), "axbXc");
    EXPECT_EQ(TextReplace("abc", "", "z"), "abc");
    EXPECT_EQ(TextReplace("abc", "b", "z", 9), "abc");
    // Replacements never overlap and are not searched again.
    EXPECT_EQ(TextReplace("aaaa", "aa", "a"), "aa");
    // The second byte of a pair is never a match: a GBK character ending in 0x5C stays whole.
    EXPECT_EQ(TextReplace("\xD5\x5C\\/", "\\", ""), "\xD5\x5C/");
    EXPECT_EQ(TextReplace(std::string(kLeadA) + "a", "a", "b"), std::string(kLeadA) + "b");
    // A lone lead byte at the end is dropped when the scan reaches it.
    EXPECT_EQ(TextReplace("ab\xD6", "b", "c"), "ac");
    EXPECT_EQ(TextReplace("ab\xD6", "q", "c"), "ab");
    // ... but not when the search is too long to be compared there.
    EXPECT_EQ(TextReplace("ab\xD6", "qq", "c"), "ab\xD6");
}

TEST(TextSplit, EmptyPiecesAndLimits) {
    EXPECT_EQ(TextSplit("a,b"), (TextArray{"a", "b"}));
    EXPECT_EQ(TextSplit(",a"), (TextArray{"", "a"}));
    EXPECT_EQ(TextSplit("a,,b"), (TextArray{"a", "", "b"}));
    EXPECT_EQ(TextSplit("a,b,"), (TextArray{"a", "b"}));
    EXPECT_EQ(TextSplit("a;b;", ";"), (TextArray{"a", "b"}));
    EXPECT_EQ(TextSplit(";", ";"), (TextArray{""}));
    EXPECT_TRUE(TextSplit("", ";").empty());
    EXPECT_EQ(TextSplit("a,b", ""), (TextArray{"a,b"}));
    EXPECT_EQ(TextSplit("a,b,c", ",", 2), (TextArray{"a", "b"}));
    EXPECT_EQ(TextSplit("a,b,c", ",", 3), (TextArray{"a", "b", "c"}));
    EXPECT_TRUE(TextSplit("a,b,c", ",", 0).empty());
    EXPECT_TRUE(TextSplit("a,b,c", ",", -1).empty());
    EXPECT_EQ(TextSplit("a\r\nb\r\n\r\nc", "\r\n"), (TextArray{"a", "b", "", "c"}));
    // A separator byte that is the second half of a pair does not split.
    EXPECT_EQ(TextSplit("\xC4,x,y", ","), (TextArray{"\xC4,x", "y"}));
    // A lone lead byte at the end ends the scan and stays in the last piece.
    EXPECT_EQ(TextSplit("a,\xC4", ","), (TextArray{"a", "\xC4"}));
}

}  // namespace
}  // namespace tarnwick
