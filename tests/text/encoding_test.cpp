// Base64, percent-encoding and the code-page conversions as tables of (input, expected) rows.
#include <gtest/gtest.h>

#include "text/base64.h"
#include "text/code_page.h"
#include "text/url_encode.h"

namespace tarnwick {
namespace {

constexpr const char* kZhongWenGbk = "\xD6\xD0\xCE\xC4";  // "中文" in code page 936
constexpr const char* kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";

ByteSet Utf16(std::initializer_list<std::uint16_t> units) {
    ByteSet bytes;
    for (const auto unit : units) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    return bytes;
}

TEST(Encoding, Base64) {
    // clang-format off
    const std::pair<ByteSet, Text> rows[] = {
        {ToByteSet(""), ""}, {ToByteSet("f"), "Zg=="}, {ToByteSet("fo"), "Zm8="},
        {ToByteSet("foo"), "Zm9v"}, {ToByteSet("foob"), "Zm9vYg=="},
        {ToByteSet("fooba"), "Zm9vYmE="}, {ToByteSet("foobar"), "Zm9vYmFy"},
        {ByteSet{0x00}, "AA=="}, {ByteSet{0xFB, 0xFF, 0xBF}, "+/+/"},
        {ToByteSet(kZhongWenGbk), "1tDOxA=="}, {ByteSet(60, 0), Text(80, 'A')}};  // one line
    // clang-format on
    for (const auto& [input, expected] : rows) {
        EXPECT_EQ(Base64Encode(input), expected);
    }
}

TEST(Encoding, UrlEncode) {
    struct Row {
        const char* text;
        bool keepUnreserved, toUtf8;
        const char* expected;
    };
    // clang-format off
    const Row rows[] = {
        {"abc", false, false, "%61%62%63"}, {"\xD6\xD0", false, false, "%D6%D0"},
        {"\t", false, false, "%09"}, {"", false, false, ""}, {"", true, true, ""},
        {"aZ09-./_~ ", true, false, "aZ09-.%2F%5F%7E%20"}, {"\xD6\xD0", true, false, "%D6%D0"},
        {"a\xD6\xD0", true, true, "a%E4%B8%AD"}, {"\xFF", false, true, "%EF%BF%BD"}};
    // clang-format on
    for (const Row& r : rows) {
        EXPECT_EQ(UrlEncodeUtf8(r.text, r.keepUnreserved, r.toUtf8), r.expected) << r.text;
    }
    EXPECT_EQ(UrlEncodeUtf8("a-"), "%61%2D");  // the defaults encode every byte
}

TEST(Encoding, CodePages) {
    // Invalid input (a lone lead byte, an invalid pair, an unpaired surrogate) is replaced, and
    // a character that 936 lacks becomes '?'. Units are read up to the first zero unit.
    const ByteSet smile = Utf16({0xD83D, 0xDE00, 0});
    // clang-format off
    const std::pair<Text, Text> texts[] = {
        {AnsiToUtf8("plain ascii"), "plain ascii"}, {AnsiToUtf8(kZhongWenGbk), kZhongWenUtf8},
        {AnsiToUtf8(""), ""}, {AnsiToUtf8("a\xD6"), "a\xEF\xBF\xBD"},
        {AnsiToUtf8("\xFF\xFF" "b"), "\xEF\xBF\xBD\xEF\xBF\xBD" "b"},
        {Utf16ToCodePage(Utf16({0x4E2D, 0x6587, 0})), kZhongWenGbk},  // the ANSI page by default
        {Utf16ToCodePage(Utf16({'o', 'k', 0, 'x'}), kCodePageUtf8), "ok"},
        {Utf16ToCodePage(Utf16({0x4E2D}), kCodePageUtf8), "\xE4\xB8\xAD"},
        {Utf16ToCodePage(ByteSet{}), ""}, {Utf16ToCodePage(ByteSet{'q', 0, 'r'}), "q"},
        {Utf16ToCodePage(Utf16({'a', 0x20AC + 0x100, 'b', 0})), "a?b"},
        {Utf16ToCodePage(Utf16({'x', 0xD800, 'y', 0}), kCodePageUtf8), "x\xEF\xBF\xBDy"},
        {Utf16ToCodePage(Utf16({0xE9, 0}), 1252), "\xE9"},  // other code pages by their number
        {Utf16ToCodePage(smile, kCodePageUtf8), "\xF0\x9F\x98\x80"},
        {Utf16ToCodePage(smile, kCodePageGb18030), "\x94\x39\xFC\x36"},
        {Utf16ToCodePage(CodePageToUtf16("\x94\x39\xFC\x36", kCodePageGb18030), kCodePageUtf8),
         "\xF0\x9F\x98\x80"}};
    // The UTF-16 result is sized for the ANSI reading of the text: "\xE4\xB8\xAD" is one pair
    // and an invalid byte there, one unit in UTF-8 (the default).
    const std::pair<ByteSet, ByteSet> units[] = {
        {CodePageToUtf16(kZhongWenGbk, kCodePageGbk), Utf16({0x4E2D, 0x6587, 0})},
        {CodePageToUtf16("a", 0), Utf16({'a', 0})},  // 0 is the ANSI page
        {CodePageToUtf16("\xE4\xB8\xAD"), Utf16({0x4E2D, 0, 0})}, {CodePageToUtf16(""), {}}};
    // clang-format on
    for (const auto& [actual, expected] : texts) {
        EXPECT_EQ(actual, expected);
    }
    for (const auto& [actual, expected] : units) {
        EXPECT_EQ(actual, expected);
    }
}

}  // namespace
}  // namespace tarnwick
