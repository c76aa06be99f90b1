#include "web/cookies.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

TEST(MergeCookies, RowsFromTheRules) {
    // The worked example first. Of two old items of one name only the first goes on; received
    // items are never merged by name, only identical items are. The marker and names are
    // case-sensitive; spaces, full-width ones too, go; an item without "=" is named by all of
    // it. An empty item carried over last: the final separator goes before the duplicates do,
    // or it would come back as an empty item. An "=" or ";" as second byte of a pair does not
    // end a name or split an item.
    // clang-format off
    const std::tuple<Text, Text, Text> rows[] = {
        {"a=1; b=2; c=3", "b=20; c=deleted; d=4", "b=20; d=4; a=1"},
        {"", "x=1", "x=1"}, {"a=1", "", "a=1"}, {"", "", ""}, {"a=1;a=2", "", "a=1"},
        {"", "a=1; a=2", "a=1; a=2"}, {"", "a=1; a=1", "a=1"}, {"k=v", "k=deleted", ""},
        {"", "k=DELETED", "k=DELETED"}, {"SID=1", "sid=2", "sid=2; SID=1"},
        {"n=hello world", "", "n=helloworld"}, {"t=1", "t=ab==", "t=ab=="}, {";a=1", "", "; a=1"},
        {"a=1;", "", "a=1"}, {"a=\xA1\xA1x", "", "a=x"}, {"flag;x=1", "flag", "flag; x=1"},
        {"a=1;;", "", "a=1"}, {";", "a", "a"},
        {"\xD6=a=1", "\xD6=b=2", "\xD6=b=2; \xD6=a=1"},
        {"a=\x81;; b=1", "b=\xD6\xD0", "b=\xD6\xD0; a=\x81;"},
        {"x=\xD6; y=1", "y=\xD6;y=2", "y=\xD6;y=2; x=\xD6;y=1"},
        {"SID=1; sid=2; SID=3", "=deleted; sid=DELETED", "sid=DELETED; SID=1"}};
    // clang-format on
    for (const auto& [before, received, expected] : rows) {
        Text older = before;
        Text newer = received;
        EXPECT_EQ(MergeCookies(older, newer), expected) << before << " + " << received;
        EXPECT_EQ(older, expected) << before << " + " << received;
    }
    // More items than the name set starts with room for: it grows.
    Text many;
    for (int i = 0; i < 40; ++i) {
        many += "c" + std::to_string(i) + "=" + std::to_string(i) + "; ";
    }
    const Text merged = "c0=new; " + many.substr(6, many.size() - 8);
    Text fresh = "c0=new";
    EXPECT_EQ(MergeCookies(many, fresh), merged);
    Text older = "a=1";
    Text newer = "b=20; c=deleted;\xA1\xA1x=4";
    MergeCookies(older, newer);
    EXPECT_EQ(newer, "b=20;c=deleted;x=4");  // the received list loses its spaces only
    EXPECT_EQ(FindTextInArray({"a", "b", "b"}, "b"), 2);
    EXPECT_EQ(FindTextInArray({"a", "b"}, "B"), -1);
    EXPECT_TRUE(HasCookieNamed({"x=1", " a =2"}, "a"));  // the name trimmed
    EXPECT_FALSE(HasCookieNamed({"a=1", "b"}, "B"));
}

}  // namespace
}  // namespace tarnwick
