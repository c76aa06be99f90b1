#include "web/cookies.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "text/find.h"
#include "text/spaces.h"

namespace tarnwick {
namespace {

struct Merged {
    Text result;
    Text older;
    Text newer;
};

Merged Merge(Text older, Text newer) {
    Text result = MergeCookies(older, newer);
    return {result, older, newer};
}

TEST(MergeCookies, WorkedExampleAndEdgeCases) {
    const Merged merged = Merge("a=1; b=2; c=3", "b=20; c=deleted; d=4");
    EXPECT_EQ(merged.result, "b=20; d=4; a=1");
    EXPECT_EQ(merged.older, "b=20; d=4; a=1");
    EXPECT_EQ(merged.newer, "b=20;c=deleted;d=4");

    const std::vector<std::array<Text, 3>> cases = {
        {"", "x=1", "x=1"},
        {"a=1", "", "a=1"},
        {"", "", ""},
        {"a=1;a=2", "", "a=1"},
        {"", "a=1; a=2", "a=1; a=2"},
        {"", "a=1; a=1", "a=1"},
        {"k=v", "k=deleted", ""},
        {"", "k=DELETED", "k=DELETED"},
        {"SID=1", "sid=2", "sid=2; SID=1"},
        {"n=hello world", "", "n=helloworld"},
        {"t=1", "t=ab==", "t=ab=="},
        {";a=1", "", "; a=1"},
        {"a=1;", "", "a=1"},
        // A full-width space (0xA1 0xA1) goes too; an item without "=" is named by all of it.
        {"a=\xA1\xA1x", "", "a=x"},
        {"flag;x=1", "flag", "flag; x=1"},
        // Double-byte characters: one with ";" as its second byte, and a lone lead byte that
        // swallows the separator after it.
        {"a=\x81;; b=1", "b=\xD6\xD0", "b=\xD6\xD0; a=\x81;"},
        {"x=\xD6; y=1", "y=\xD6;y=2", "y=\xD6;y=2; x=\xD6;y=1"},
        {"SID=1; sid=2; SID=3", "=deleted; sid=DELETED", "sid=DELETED; SID=1"},
    };
    for (const auto& [older, newer, expected] : cases) {
        EXPECT_EQ(Merge(older, newer).result, expected) << older << " + " << newer;
    }
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
    // The list searches would take minutes; the bound leaves room for sanitizer builds.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(TextSplit(merged, "; ").size(), 200000u);
    EXPECT_EQ(merged.substr(0, 17), "new0=v; new1=v; n");
    EXPECT_EQ(TextFind(merged, "new7=stale"), -1);
}

}  // namespace
}  // namespace tarnwick
