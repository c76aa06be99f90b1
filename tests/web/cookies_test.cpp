#include "web/cookies.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "text/find.h"
#include "text/spaces.h"

namespace tarnwick {
namespace {

// The merge written out step by step with the list searches, no hashing: the hashed version
// must give the same three texts for any input.
Text LiteralMerge(Text& older, Text& newer) {
    older = RemoveAllSpaces(older);
    newer = RemoveAllSpaces(newer);
    const TextArray olderItems = TextSplit(older, ";");
    TextArray newerItems = TextSplit(newer, ";");
    for (const Text& item : olderItems) {
        if (!HasCookieNamed(newerItems, CookieName(item))) {
            newerItems.push_back(item);
        }
    }
    older.clear();
    for (const Text& item : newerItems) {
        if (TextRight(item, 8) != "=deleted") {
            older += item + "; ";
        }
    }
    older = TextLeft(older, TextLength(older) - 2);
    TextArray kept;
    for (const Text& item : TextSplit(older, "; ")) {
        if (FindTextInArray(kept, item) == -1) {
            kept.push_back(item);
        }
    }
    Text joined;
    for (const Text& item : kept) {
        joined += item + "; ";
    }
    older = TextLeft(joined, TextLength(joined) - 2);
    return older;
}

struct Merged {
    Text result;
    Text older;
    Text newer;
};

Merged Merge(Text older, Text newer) {
    Text result = MergeCookies(older, newer);
    return {result, older, newer};
}

TEST(MergeCookies, WorkedExampleRewritesBothArguments) {
    const Merged merged = Merge("a=1; b=2; c=3", "b=20; c=deleted; d=4");
    EXPECT_EQ(merged.result, "b=20; d=4; a=1");
    EXPECT_EQ(merged.older, "b=20; d=4; a=1");
    EXPECT_EQ(merged.newer, "b=20;c=deleted;d=4");
}

TEST(MergeCookies, EdgeCases) {
    EXPECT_EQ(Merge("", "x=1").result, "x=1");
    EXPECT_EQ(Merge("a=1", "").result, "a=1");
    EXPECT_EQ(Merge("", "").result, "");
    EXPECT_EQ(Merge("a=1;a=2", "").result, "a=1");
    EXPECT_EQ(Merge("", "a=1; a=2").result, "a=1; a=2");
    EXPECT_EQ(Merge("", "a=1; a=1").result, "a=1");
    EXPECT_EQ(Merge("k=v", "k=deleted").result, "");
    EXPECT_EQ(Merge("", "k=DELETED").result, "k=DELETED");
    EXPECT_EQ(Merge("SID=1", "sid=2").result, "sid=2; SID=1");
    EXPECT_EQ(Merge("n=hello world", "").result, "n=helloworld");
    EXPECT_EQ(Merge("", "t=ab==").result, "t=ab==");
    EXPECT_EQ(Merge("t=1", "t=ab==").result, "t=ab==");
    EXPECT_EQ(Merge(";a=1", "").result, "; a=1");
    EXPECT_EQ(Merge("a=1;", "").result, "a=1");
    // A full-width space (0xA1 0xA1) goes too; an item without "=" is named by all of it.
    EXPECT_EQ(Merge("a=\xA1\xA1x", "").result, "a=x");
    EXPECT_EQ(Merge("flag;x=1", "flag").result, "flag; x=1");
}

TEST(CookieHelpers, NamesSearchesAndDuplicates) {
    EXPECT_EQ(CookieName(" a =1"), "a");
    EXPECT_EQ(CookieName("plain"), "plain");
    EXPECT_EQ(CookieName("=v"), "");
    // An "=" that is the second byte of a double-byte character does not end the name.
    EXPECT_EQ(CookieName("\xD6=a=1"), "\xD6=a");
    EXPECT_TRUE(HasCookieNamed({"x=1", "a=2"}, "a"));
    EXPECT_FALSE(HasCookieNamed({"A=1"}, "a"));
    EXPECT_EQ(FindTextInArray({"a", "b", "b"}, "b"), 2);
    EXPECT_EQ(FindTextInArray({"a"}, "c"), -1);
    EXPECT_EQ(RemoveDuplicateItems("a; b; a; ; b; ", "; "), "a; b; ");
    EXPECT_EQ(RemoveDuplicateItems("", "; "), "");
}

// Pieces chosen to meet every rule: separators, spaces of both widths, the deleted marker in
// both cases, "=" inside values, and double-byte characters, among them one whose second byte
// is ";" and a lone lead byte that swallows the separator after it.
Text RandomCookieText(std::mt19937& random) {
    static const char* const kPieces[] = {
        "a",        "b",        "SID",   "sid",  "=",   "=",        "1",
        "22",       ";",        ";",     "; ",   " ",   "\xA1\xA1", "=deleted",
        "=DELETED", "\xD6\xD0", "\x81;", "\xD6", "x=1", "b=2",      "a=1"};
    std::uniform_int_distribution<int> length(0, 14);
    std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
    Text text;
    for (int i = length(random); i > 0; --i) {
        text += kPieces[piece(random)];
    }
    return text;
}

TEST(MergeCookies, HashedMergeMatchesTheLiteralAlgorithm) {
    std::mt19937 random(20240611);
    for (int round = 0; round < 5000; ++round) {
        const Text older = RandomCookieText(random);
        const Text newer = RandomCookieText(random);
        Text literalOlder = older;
        Text literalNewer = newer;
        const Text expected = LiteralMerge(literalOlder, literalNewer);
        const Merged merged = Merge(older, newer);
        ASSERT_EQ(merged.result, expected) << "older '" << older << "' newer '" << newer << "'";
        ASSERT_EQ(merged.older, literalOlder);
        ASSERT_EQ(merged.newer, literalNewer);
    }
}

TEST(MergeCookies, HundredThousandItemsStayFarFromQuadratic) {
    Text older;
    Text newer;
    for (int i = 0; i < 100000; ++i) {
        older += "old" + std::to_string(i) + "=v; ";
        newer += "new" + std::to_string(i) + "=v; ";
    }
    older += "new7=stale";
    const auto start = std::chrono::steady_clock::now();
    const Text merged = MergeCookies(older, newer);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // The list searches would take minutes here; hashing takes a fraction of a second, and the
    // bound leaves room for sanitizer builds.
    EXPECT_LT(elapsed, std::chrono::seconds(30));
    EXPECT_EQ(TextSplit(merged, "; ").size(), 200000u);
    EXPECT_EQ(merged.substr(0, 17), "new0=v; new1=v; n");
    EXPECT_EQ(TextFind(merged, "new7=stale"), -1);
}

}  // namespace
}  // namespace tarnwick
