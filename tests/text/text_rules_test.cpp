// The text rules as tables of (input, expected) rows. Each row is checked against the library
// and against the naive reference that the fuzz harnesses compare the library with, so the
// reference is held to the same examples.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fuzz/reference.h"
#include "text/extract.h"
#include "text/find.h"
#include "text/numbers.h"
#include "text/runtime_error.h"
#include "text/spaces.h"

namespace tarnwick {
namespace {

using namespace tarnwick::fuzz;

// A long ASCII run before a pair whose second byte is 'a', then a real 'a': the word-wise skip
// over plain runs must stop at the pair and still step over it as one character.
const std::string kLongRun = std::string(1000, 'x') +
                             "\xC4"
                             "a" +
                             std::string(40, 'y') + "a";
const int kLongEnd = static_cast<int>(kLongRun.size());
const std::string kLongRunCut = kLongRun.substr(0, kLongRun.size() - 1);

TEST(TextRules, Cuts) {
    struct Row {
        char op;  // L(eft), R(ight), M(id)
        const char* text;
        int a, b;
        const char* expected;
    };
    const Row rows[] = {
        {'L', "abc", 5, 0, "abc"},
        {'L', "abc", 0, 0, ""},
        {'L', "abc", -3, 0, ""},
        {'R', "abc", 0, 0, ""},
        {'R', "abc", 2, 0, "bc"},
        {'R', "abc", 9, 0, "abc"},
        {'M', "abcdef", 3, 100, "cdef"},
        {'M', "abcdef", 7, 1, ""},
        {'M', "abcdef", 0, 2, ""},
        {'M', "abcdef", 6, 1, "f"},
        {'M', "abcdef", 2, 0, ""},
        {'L', "\xD6\xD0\xCE\xC4", 3, 0, "\xD6\xD0\xCE"},  // cuts count plain bytes
    };
    for (const Row& r : rows) {
        const Text lib = r.op == 'L'   ? TextLeft(r.text, r.a)
                         : r.op == 'R' ? TextRight(r.text, r.a)
                                       : TextMid(r.text, r.a, r.b);
        const std::string ref = r.op == 'L'   ? RefTextLeft(r.text, r.a)
                                : r.op == 'R' ? RefTextRight(r.text, r.a)
                                              : RefTextMid(r.text, r.a, r.b);
        EXPECT_EQ(lib, r.expected) << r.op << " " << r.text << " " << r.a << " " << r.b;
        EXPECT_EQ(ref, r.expected) << r.op << " " << r.text << " " << r.a << " " << r.b;
    }
}

TEST(TextRules, CodesBytesAndNumbers) {
    const std::pair<long long, long long> numbers[] = {
        {TextLength("\xD6\xD0x"), 3},
        {TextCode("\xC4z"), -60},
        {TextCode("az", 2), 'z'},
        {TextCode("az", 0), 0},
        {TextCode("az", 3), 0},
        {ToByte(0x1FF), 0xFF},
        {ByteSetLength(ZeroByteSet(4)), 4},
        {BitAnd(0xFF, 0x0F, {0x3}), 0x3},
        {ShiftLeft(1, 33), 2},
        {ShiftRight(-8, 1), -4},
        {ShiftRight(-1, 32), -1},
        {static_cast<long long>(Remainder(7, 3)), 1},
        {static_cast<long long>(Remainder(-7, 3)), -1},
        {static_cast<long long>(Remainder(17, 10, {4})), 3},
        // Empty results hold no storage.
        {static_cast<long long>(ZeroByteSet(-2).capacity()), 0},
        {static_cast<long long>(ByteSetMid({1, 2, 3}, 9, 2).capacity()), 0},
    };
    for (std::size_t i = 0; i < std::size(numbers); ++i) {
        EXPECT_EQ(numbers[i].first, numbers[i].second) << "row " << i;
    }
    const std::pair<Text, Text> texts[] = {
        {CharFromCode(0), ""},
        {CharFromCode(0xC4), "\xC4"},
        {SpaceText(3), "   "},
        {SpaceText(-1), ""},
        {ToHexText(10), "A"},
        {ToHexText(255), "FF"},
        {ToHexText(0), "0"},
        {ToHexText(-1), "FFFFFFFF"},
        {ToText(ByteSet{0x61, 0, 0x62}), "a"},
        {ToText(ByteSet{0x61, 0x62}), "ab"},
    };
    for (std::size_t i = 0; i < std::size(texts); ++i) {
        EXPECT_EQ(texts[i].first, texts[i].second) << "row " << i;
    }
    const ByteSet five{1, 2, 3, 4, 5};
    const std::pair<ByteSet, ByteSet> bytes[] = {
        {ToByteSet(""), {}},
        {ToByteSet("ab"), {0x61, 0x62}},
        {ByteSetMid(five, 4, 10), {4, 5}},
        {ByteSetMid(five, -3, 2), {1, 2}},
        {ByteSetMid(five, 9, 2), {}},
        {ByteSetMid(five, 2, -1), {}},
        {ZeroByteSet(0), {}},
        {ZeroByteSet(2), {0, 0}},
    };
    for (std::size_t i = 0; i < std::size(bytes); ++i) {
        EXPECT_EQ(bytes[i].first, bytes[i].second) << "row " << i;
    }
}

TEST(TextRules, Find) {
    struct Row {
        std::string_view text, search;
        int start;
        bool ignoreCase;
        int expected;
    };
    const Row rows[] = {
        {"abc", "", 1, false, 1},
        {"", "", 1, false, -1},
        {"abc", "", 10, false, -1},
        {"abc", "a", 0, false, 1},
        {"abc", "a", -5, false, 1},
        {"abc", "B", 1, false, -1},
        {"abc", "B", 1, true, 2},
        {"abcabc", "abc", 2, false, 4},
        {"abc", "abcd", 1, false, -1},
        {"xx\xD6\xD0yy", "\xD6\xD0", 1, false, 3},
        {"\xC4\xE4", "\xE4\xE4", 1, true, -1},  // case folding touches ASCII letters only
        {"\xC4"
         "aa",
         "a", 1, false, 3},  // an 'a' as second byte of a pair is no match
        {"\xC4"
         "a",
         "a", 1, false, -1},
        {"\xC4"
         "a",
         "a", 2, false, 2},                   // starting on the second byte changes the pairs
        {"x\xD6\xD0", "x\xD6", 1, false, 1},  // a match may end inside a pair
        {"ab\xD6", "z", 1, false, -1},        // a lone lead byte at the end stops the search
        {"ab\xD6", "\xD6", 1, false, 3},
        {kLongRun, "a", 1, false, kLongEnd},
        {kLongRun, "A", 1, true, kLongEnd},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TextFind(r.text, r.search, r.start, r.ignoreCase), r.expected) << r.text;
        EXPECT_EQ(RefTextFind(r.text, r.search, r.start, r.ignoreCase), r.expected) << r.text;
    }
    EXPECT_EQ(TextFind("abc", "B"), -1);  // the defaults: from the first byte, case matters
}

TEST(TextRules, Replace) {
    struct Row {
        std::string_view text, search, replacement;
        int start, count;
        bool caseSensitive;
        std::string_view expected;
    };
    const Row rows[] = {
        {"aXbXc", "X", "", 1, -1, true, "abc"},
        {"aXbXc", "X", "", 1, 1, true, "abXc"},
        {"aXbXc", "X", "", 3, -1, true, "aXbc"},
        {"axbXc", "X", "-", 1, -1, false, "a-b-c"},
        {"axbXc", "X", "-", 1, 0, false, "axbXc"},
        {"abc", "", "z", 1, -1, true, "abc"},
        {"abc", "b", "z", 9, -1, true, "abc"},
        {"aaaa", "aa", "a", 1, -1, true, "aa"},  // no overlaps, no second search
        // The second byte of a pair is never a match: a character ending in 0x5C stays whole.
        {"\xD5\x5C\\/", "\\", "", 1, -1, true, "\xD5\x5C/"},
        {"\xC4"
         "aa",
         "a", "b", 1, -1, true,
         "\xC4"
         "ab"},
        {"ab\xD6", "b", "c", 1, -1, true, "ac"},  // a lone lead byte reached by the scan goes
        {"ab\xD6", "q", "c", 1, -1, true, "ab"},
        {"ab\xD6", "qq", "c", 1, -1, true, "ab\xD6"},  // ... but not when the search is longer
        {kLongRun, "a", "", 1, -1, true, kLongRunCut},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(TextReplace(r.text, r.search, r.replacement, r.start, r.count, r.caseSensitive),
                  r.expected)
            << r.text;
        EXPECT_EQ(
            RefTextReplace(r.text, r.search, r.replacement, r.start, r.count, r.caseSensitive),
            r.expected)
            << r.text;
    }
    EXPECT_EQ(TextReplace("axbXc", "X"), "axbc");  // the defaults: remove all, case matters
}

TEST(TextRules, Split) {
    struct Row {
        std::string_view text, separator;
        std::optional<int> maxParts;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"a,b", ",", {}, {"a", "b"}},
        {",a", ",", {}, {"", "a"}},
        {"a,,b", ",", {}, {"a", "", "b"}},
        {"a,b,", ",", {}, {"a", "b"}},
        {"a;b;", ";", {}, {"a", "b"}},
        {";", ";", {}, {""}},
        {"", ";", {}, {}},
        {"a,b", "", {}, {"a,b"}},
        {"a,b,c", ",", 2, {"a", "b"}},
        {"a,b,c", ",", 3, {"a", "b", "c"}},
        {"a,b,c", ",", 0, {}},
        {"a,b,c", ",", -1, {}},
        {"a\r\nb\r\n\r\nc", "\r\n", {}, {"a", "b", "", "c"}},
        {"\xC4,x,y", ",", {}, {"\xC4,x", "y"}},  // a separator as second byte does not split
        {"a,\xC4", ",", {}, {"a", "\xC4"}},      // a lone lead byte stays in the last piece
        {kLongRun, "a", {}, {kLongRunCut}},
    };
    for (const Row& r : rows) {
        const auto limit = r.maxParts ? std::optional<long>(*r.maxParts) : std::nullopt;
        EXPECT_EQ(TextSplit(r.text, r.separator, r.maxParts), r.expected) << r.text;
        EXPECT_EQ(RefTextSplit(r.text, r.separator, limit), r.expected) << r.text;
    }
    EXPECT_EQ(TextSplit("a,b"), (TextArray{"a", "b"}));  // the default separator
}

TEST(TextRules, Spaces) {
    struct Row {
        bool trim;  // TrimSpaces, else RemoveAllSpaces
        std::string_view text, expected;
    };
    const Row rows[] = {
        {true, "\xA1\xA1\xA1\xA1x ", "x"},
        {true, "  a b  ", "a b"},
        {true, "a\xA1\xA1", "a"},
        {true, "   ", ""},
        {true, "", ""},
        {true, "\xB0\xA1\xA1z", "\xB0\xA1\xA1z"},  // 0xA1 0xA1 across two characters: no space
        {true, "ab\xD6", "ab"},
        {true, "ab \xD6", "ab "},
        {false, "a b c", "abc"},
        {false, "n=\xA1\xA1v al", "n=val"},
        {false, "\xB0\xA1\xA1\xA1", "\xB0\xA1"},
        {false, "a \xD6", "a"},
        {false, "", ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.trim ? TrimSpaces(r.text) : RemoveAllSpaces(r.text), r.expected) << r.text;
        EXPECT_EQ(r.trim ? RefTrimSpaces(r.text) : RefRemoveAllSpaces(r.text), r.expected)
            << r.text;
    }
}

TEST(TextRules, ExtractBetween) {
    struct Row {
        std::string_view text, left, right;
        int start;
        bool ignoreCase;
        std::string_view expected;
    };
    const std::string_view json = R"({"code":0,"short_url":"http:\/\/t.example\/ab","x":"y"})";
    const std::string_view cookie = "Set-Cookie: a=1; path=/";
    const Row rows[] = {
        {json, "short_url\":\"", "\"", 0, false, R"(http:\/\/t.example\/ab)"},
        {json, "short_url#\xD2\xFD\xBA\xC5:#\xD2\xFD\xBA\xC5", kQuoteToken, 0, false,
         R"(http:\/\/t.example\/ab)"},
        {"a[b", "[", "]", 0, false, ""},
        {"a]b", "[", "]", 0, false, ""},
        {"ab]c", "", "]", 0, false, "ab"},
        {"a[b]c", "[", "", 0, false, ""},
        {"abc[", "[", "]", 0, false, ""},
        {"a[]c", "[", "]", 0, false, ""},
        {"[x\n]", "[", "]", 0, false, "x\n"},
        {"[a [b]", "[", "]", 0, false, "a [b"},  // only the first left marker counts
        {"<x>1</x><x>2</x>", "<x>", "<", 4, false, "2"},
        {cookie, "SET-COOKIE:", ";", 0, true, " a=1"},
        {cookie, "SET-COOKIE:", ";", 0, false, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ExtractBetween(r.text, r.left, r.right, r.start, r.ignoreCase), r.expected)
            << r.text;
        EXPECT_EQ(RefExtractBetween(r.text, r.left, r.right, r.start, r.ignoreCase), r.expected)
            << r.text;
    }
    EXPECT_EQ(ExtractBetween(cookie, "set-cookie:", ";"), "");  // the default compares exactly
}

// Every text of up to four characters from an alphabet of the interesting bytes (a letter in
// both cases, a separator, both spaces' bytes, a lead byte), also behind a long plain run:
// the library and the naive reference must agree on all of them.
TEST(TextRules, AgreeWithTheReferenceOnEverySmallText) {
    const std::string alphabet = "aA; \xA1\xD6";
    std::vector<std::string> texts = {""};
    for (std::size_t from = 0; texts.back().size() < 4;) {
        const std::size_t to = texts.size();
        for (std::size_t i = from; i < to; ++i) {
            for (const char c : alphabet) {
                texts.push_back(texts[i] + c);
            }
        }
        from = to;
    }
    const std::vector<std::string> searches(texts.begin(), texts.begin() + 43);  // up to 2 bytes
    int mismatches = 0;
    for (const std::string& small : texts) {
        for (const std::string& text : {small, std::string(9, 'b') + small}) {
            mismatches += TrimSpaces(text) != RefTrimSpaces(text);
            mismatches += RemoveAllSpaces(text) != RefRemoveAllSpaces(text);
            for (const std::string& s : searches) {
                for (const int start : {0, 2, 3, 11}) {
                    mismatches +=
                        TextFind(text, s, start, true) != RefTextFind(text, s, start, true);
                    mismatches +=
                        TextFind(text, s, start, false) != RefTextFind(text, s, start, false);
                }
                mismatches += TextReplace(text, s, "#", 2, -1, false) !=
                              RefTextReplace(text, s, "#", 2, -1, false);
                mismatches +=
                    TextReplace(text, s, "", 1, 1, true) != RefTextReplace(text, s, "", 1, 1, true);
                mismatches += TextSplit(text, s) != RefTextSplit(text, s, std::nullopt);
                mismatches += TextSplit(text, s, 2) != RefTextSplit(text, s, 2);
                mismatches += ExtractBetween(text, s, ";", 0, true) !=
                              RefExtractBetween(text, s, ";", 0, true);
            }
            ASSERT_EQ(mismatches, 0) << "first disagreement on \"" << text << "\"";
        }
    }
}

TEST(RuntimeError, DialogTextAndFatalRemainder) {
    // "运行时出错!", "错误代码：" and "错误信息：" in code page 936.
    const std::string heading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
    const std::string code = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
    const std::string message = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
    const std::string noWindow = "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
    const std::pair<Text, std::string> rows[] = {
        {BuildRuntimeErrorText(6, "m"), heading + code + "6\r\n\r\n" + message + "m\r\n"},
        {BuildRuntimeErrorText(0, noWindow), heading + message + noWindow + "\r\n"},
        {BuildRuntimeErrorText(0, ""), heading},
    };
    for (const auto& [actual, expected] : rows) {
        EXPECT_EQ(actual, expected);
    }
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Remainder(1, 0), testing::ExitedWithCode(255),
                message + std::string(kDivideByZeroMessage));
    EXPECT_EXIT(Remainder(9, 2, {0}), testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace tarnwick
