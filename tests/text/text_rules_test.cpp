// The text rules and encodings as tables of (input, expected) rows from the rules' own examples.
// The search, split and space rows also hold the naive reference (which the fuzz harnesses
// compare the library with) to the same examples, and a sweep compares the two on every small
// text.
#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/reference.h"
#include "text/ascii.h"
#include "text/base64.h"
#include "text/code_page.h"
#include "text/extract.h"
#include "text/find.h"
#include "text/numbers.h"
#include "text/spaces.h"
#include "text/url_encode.h"

namespace tarnwick {
namespace {

// Where the system's tables differ from glibc's, Windows' rows say so: code page 936 there
// maps 0xFF to U+F8F5 (a private-use character of its own) and a lead byte cut off by the end
// to "?", where glibc finds no character and gives U+FFFD. Wine has no code page 54936
// (GB18030), which Windows has; the Windows program never uses it.
constexpr bool kWindowsTables = TARNWICK_WINDOWS_CODE_PAGES;

using namespace tarnwick::fuzz;

// A long ASCII run, a pair whose second byte is 'a', more ASCII, a real 'a': the word-wise skip
// over plain runs must stop at the pair and still step over it whole.
// clang-format off
const std::string kLong = std::string(1000, 'x') + "\xC4" "a" + std::string(40, 'y') + "a";
// clang-format on
const std::string kLongCut = kLong.substr(0, kLong.size() - 1);
constexpr const char* kZhongWenGbk = "\xD6\xD0\xCE\xC4";  // "中文" in code page 936

template <class Rows>
void ExpectEach(const Rows& rows) {
    for (const auto& [actual, expected] : rows) {
        EXPECT_EQ(actual, expected);
    }
}

// Extraction: only the first left marker counts; an ignoreCase search finds either case.
// Percent-encoding never keeps a byte above 0x7F. Code pages: invalid input (a lone lead byte,
// an invalid pair, an unpaired surrogate) is replaced, a character that 936 lacks becomes '?',
// units are read up to the first zero unit; the UTF-16 result is sized for the ANSI reading of
// the text ("\xE4\xB8\xAD" is one pair and an invalid byte there, one unit in UTF-8, the
// default).
TEST(TextRules, CutsCodesBytesNumbersAndEncodings) {
    const std::string cookie = "Set-Cookie: a=1; path=/";
    const std::string quote(kQuoteToken);
    const ByteSet smile{0x3D, 0xD8, 0x00, 0xDE, 0, 0};  // U+1F600, UTF-16 little-endian
    const ByteSet five{1, 2, 3, 4, 5};
    // glibc always has GB18030; on Windows, where Wine lacks it, the conversion finds no page.
    const bool noGb18030 = kWindowsTables && Utf16ToCodePage(smile, kCodePageGb18030).empty();
    // clang-format off
    const std::pair<Text, Text> texts[] = {
        {CharFromCode(0), ""}, {CharFromCode(0xC4), "\xC4"}, {SpaceText(3), "   "},
        {SpaceText(-1), ""}, {ToHexText(255), "FF"}, {ToHexText(0), "0"},
        {ToHexText(-1), "FFFFFFFF"}, {ToText(ByteSet{0x61, 0, 0x62}), "a"},
        {ExtractBetween(R"({"u":"a\/b"})", "u" + quote + ":" + quote, quote), R"(a\/b)"},
        {ExtractBetween("ab]c", "", "]"), "ab"}, {ExtractBetween("a[b]c", "[", ""), ""},
        {ExtractBetween("[x\n]", "[", "]"), "x\n"},
        {ExtractBetween("<x>1<x>2<", "<x>", "<", 4), "2"},
        {ExtractBetween(cookie, "SET-COOKIE:", ";", 0, true), " a=1"},
        {ExtractBetween(cookie, "SET-COOKIE:", ";"), ""}, {Base64Encode({}), ""},
        {Base64Encode(ToByteSet("f")), "Zg=="}, {Base64Encode(ToByteSet("fo")), "Zm8="},
        {Base64Encode(ToByteSet("foobar")), "Zm9vYmFy"}, {Base64Encode({0xFB, 0xFF, 0xBF}), "+/+/"},
        {Base64Encode(ByteSet(60, 0)), Text(80, 'A')},  // one line
        {UrlEncodeUtf8("a-"), "%61%2D"}, {UrlEncodeUtf8(""), ""},
        {UrlEncodeUtf8("\t\xD6\xD0", true), "%09%D6%D0"},
        {UrlEncodeUtf8("aZ09-./_~ ", true), "aZ09-.%2F%5F%7E%20"},
        {UrlEncodeUtf8("a\xD6\xD0", true, true), "a%E4%B8%AD"},
        {UrlEncodeUtf8("\xFF", false, true), kWindowsTables ? "%EF%A3%B5" : "%EF%BF%BD"}, {AnsiToUtf8("plain"), "plain"},
        {AnsiToUtf8(kZhongWenGbk), "\xE4\xB8\xAD\xE6\x96\x87"}, {AnsiToUtf8(""), ""},
        {AnsiToUtf8("a\xD6"), kWindowsTables ? "a?" : "a\xEF\xBF\xBD"},
        {AnsiToUtf8("\xFF\xFF" "b"),
         kWindowsTables ? "\xEF\xA3\xB5\xEF\xA3\xB5" "b" : "\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
        {Utf16ToCodePage({0x2D, 0x4E, 0x87, 0x65, 0, 0}), kZhongWenGbk},  // ANSI by default
        {Utf16ToCodePage({'o', 0, 'k', 0, 0, 0, 'x', 0}, kCodePageUtf8), "ok"},
        {Utf16ToCodePage({0x2D, 0x4E}, kCodePageUtf8), "\xE4\xB8\xAD"},
        {Utf16ToCodePage(ByteSet{}), ""}, {Utf16ToCodePage(ByteSet{'q', 0, 'r'}), "q"},
        {Utf16ToCodePage({'a', 0, 0xAC, 0x21, 'b', 0, 0, 0}), "a?b"},
        {Utf16ToCodePage({'x', 0, 0, 0xD8, 'y', 0, 0, 0}, kCodePageUtf8), "x\xEF\xBF\xBDy"},
        {Utf16ToCodePage({0xE9, 0, 0, 0}, 1252), "\xE9"},  // other code pages by number
        {Utf16ToCodePage(smile, kCodePageUtf8), "\xF0\x9F\x98\x80"},
        {Utf16ToCodePage(smile, kCodePageGb18030), noGb18030 ? "" : "\x94\x39\xFC\x36"},
        {Utf16ToCodePage(CodePageToUtf16("\x94\x39\xFC\x36", kCodePageGb18030), kCodePageUtf8),
         noGb18030 ? "" : "\xF0\x9F\x98\x80"}};
    const std::pair<ByteSet, ByteSet> bytes[] = {
        {ToByteSet(""), {}}, {ToByteSet("ab"), {0x61, 0x62}}, {ByteSetMid(five, 4, 10), {4, 5}},
        {ByteSetMid(five, -3, 2), {1, 2}}, {ByteSetMid(five, 9, 2), {}}, {CodePageToUtf16(""), {}},
        {ByteSetMid(five, 2, -1), {}}, {ZeroByteSet(0), {}}, {ZeroByteSet(2), {0, 0}},
        {CodePageToUtf16(kZhongWenGbk, kCodePageGbk), ByteSet{0x2D, 0x4E, 0x87, 0x65, 0, 0}},
        {CodePageToUtf16("a", 0), ByteSet{'a', 0, 0, 0}},  // 0 is the ANSI page
        {CodePageToUtf16("\xE4\xB8\xAD"), ByteSet{0x2D, 0x4E, 0, 0, 0, 0}}};
    const std::pair<double, double> numbers[] = {
        {TextLength("\xD6\xD0x"), 3}, {TextCode("\xC4z"), -60}, {TextCode("az", 2), 'z'},
        {TextCode("az", 0), 0}, {TextCode("az", 3), 0}, {ToByte(0x1FF), 0xFF}, {Remainder(7, 3), 1},
        {ByteSetLength(ZeroByteSet(4)), 4}, {BitAnd(0xFF, 0x0F, {0x3}), 0x3},
        {Remainder(-7, 3), -1}, {ShiftLeft(1, 33), 2}, {ShiftRight(-8, 1), -4},
        {StartsWithIgnoringAsciiCase("HTTP://", "http://"), 1}, {Remainder(17, 10, {4}), 3},
        {StartsWithIgnoringAsciiCase("http:/", "http://"), 0}, {ShiftRight(-1, 32), -1}};
    // clang-format on
    ExpectEach(texts);
    ExpectEach(bytes);
    ExpectEach(numbers);
    // A zero divisor anywhere is fatal (the dialog itself is the app tests' to show).
    EXPECT_EXIT(Remainder(9, 2, {0}), testing::ExitedWithCode(TARNWICK_FATAL_EXIT_STATUS), "");
}

// First what the sweep below cannot reach: longer searches and texts, a long plain run before a
// pair (the word-wise skip), other counts and limits. Library and reference both.
TEST(TextRules, FindReplaceSplitAndTheReferenceOnEverySmallText) {
    // clang-format off
    const std::tuple<std::string_view, std::string_view, int, bool, int> finds[] = {
        {"abcabc", "abc", 2, false, 4}, {"xx\xD6\xD0yy", "\xD6\xD0", 1, false, 3},
        {"\xC4\xE4", "\xE4\xE4", 1, true, -1}, {"x\xD6\xD0", "x\xD6", 1, false, 1},
        {kLong, "a", 1, false, static_cast<int>(kLong.size())},
        {kLong, "A", 1, true, static_cast<int>(kLong.size())}};
    // clang-format on
    for (const auto& [text, search, start, ignoreCase, expected] : finds) {
        EXPECT_EQ(TextFind(text, search, start, ignoreCase), expected) << text;
        EXPECT_EQ(RefTextFind(text, search, start, ignoreCase), expected) << text;
    }
    // No overlaps and no second search; a character ending in 0x5C stays whole.
    // clang-format off
    const std::tuple<std::string_view, std::string_view, std::string_view, int, int, bool,
                     std::string_view> replaces[] = {
        {"aXbXcX", "X", "", 1, 2, true, "abcX"}, {"aXbXc", "X", "", 3, -1, true, "aXbc"},
        {"axbXc", "X", "-", 1, 0, false, "axbXc"}, {"aaaa", "aa", "a", 1, -1, true, "aa"},
        {"\xD5\x5C\\/", "\\", "", 1, -1, true, "\xD5\x5C/"},
        {kLong, "a", "", 1, -1, true, kLongCut}};
    // clang-format on
    for (const auto& [text, search, with, start, count, exact, expected] : replaces) {
        EXPECT_EQ(TextReplace(text, search, with, start, count, exact), expected) << text;
        EXPECT_EQ(RefTextReplace(text, search, with, start, count, exact), expected) << text;
    }
    EXPECT_EQ(TextReplace("axbXc", "X"), "axbc");  // the defaults: remove all, case matters
    // clang-format off
    const std::tuple<std::string_view, std::string_view, int, TextArray> splits[] = {
        {"a,b,c", ",", 3, {"a", "b", "c"}}, {"a,b,c", ",", -1, {}}, {kLong, "a", 9, {kLongCut}},
        {"a\r\nb\r\n\r\nc", "\r\n", 9, {"a", "b", "", "c"}}};
    // clang-format on
    for (const auto& [text, separator, maxParts, expected] : splits) {
        EXPECT_EQ(TextSplit(text, separator, maxParts), expected) << text;
        EXPECT_EQ(RefTextSplit(text, separator, maxParts), expected) << text;
    }
    EXPECT_EQ(TextSplit("a,b"), (TextArray{"a", "b"}));  // the default separator

    // Every text of up to four characters from the interesting bytes (a letter in both cases, a
    // separator, a space, the full-width space byte, the lowest lead byte), also behind a plain run
    // that puts the first at the last byte of a word: each rule's own examples among them.
    std::vector<std::string> texts = {""};
    for (std::size_t i = 0; texts[i].size() < 4; ++i) {
        for (const char c : std::string("aA; \xA1\x80")) {
            texts.push_back(texts[i] + c);
        }
    }
    const std::vector<std::string> searches(texts.begin(), texts.begin() + 43);  // up to 2 bytes
    for (const std::string& small : texts) {
        for (const std::string& t : {small, std::string(15, 'b') + small}) {
            int wrong =
                (TrimSpaces(t) != RefTrimSpaces(t)) + (RemoveAllSpaces(t) != RefRemoveAllSpaces(t));
            for (const int n : {-1, 0, 1, 2, 5, 14}) {
                wrong +=
                    (TextLeft(t, n) != RefTextLeft(t, n)) + (TextRight(t, n) != RefTextRight(t, n));
                for (const int start : {0, 1, 3, 4}) {
                    wrong += TextMid(t, start, n) != RefTextMid(t, start, n);
                }
            }
            for (const std::string& s : searches) {
                for (const int start : {-1, 0, 1, 2, 3, 11}) {
                    wrong += TextFind(t, s, start, true) != RefTextFind(t, s, start, true);
                    wrong += TextFind(t, s, start, false) != RefTextFind(t, s, start, false);
                    wrong += TextReplace(t, s, "#", start, -1, false) !=
                             RefTextReplace(t, s, "#", start, -1, false);
                }
                wrong += TextReplace(t, s, "", 1, 1, true) != RefTextReplace(t, s, "", 1, 1, true);
                wrong += TextSplit(t, s) != RefTextSplit(t, s, std::nullopt);
                for (const int parts : {0, 1, 2}) {
                    wrong += TextSplit(t, s, parts) != RefTextSplit(t, s, parts);
                }
                wrong +=
                    ExtractBetween(t, s, ";", 0, true) != RefExtractBetween(t, s, ";", 0, true);
            }
            ASSERT_EQ(wrong, 0) << "library and reference disagree on \"" << t << "\"";
        }
    }
}

}  // namespace
}  // namespace tarnwick
