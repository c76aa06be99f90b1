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
    Text longLine;
    for (int i = 0; i < 100; ++i) {
        longLine += "q6ur";
    }
    const std::pair<ByteSet, Text> rows[] = {
        {ToByteSet(""), ""},
        {ToByteSet("f"), "Zg=="},
        {ToByteSet("fo"), "Zm8="},
        {ToByteSet("foo"), "Zm9v"},
        {ToByteSet("foob"), "Zm9vYg=="},
        {ToByteSet("fooba"), "Zm9vYmE="},
        {ToByteSet("foobar"), "Zm9vYmFy"},
        {ByteSet{0x00}, "AA=="},
        {ByteSet{0xFB, 0xFF, 0xBF}, "+/+/"},
        {ToByteSet(kZhongWenGbk), "1tDOxA=="},
        {ByteSet(300, 0xAB), longLine},  // one unbroken line
    };
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
    const Row rows[] = {
        {"abc", false, false, "%61%62%63"},
        {"\xD6\xD0", false, false, "%D6%D0"},
        {"\t", false, false, "%09"},
        {"", false, false, ""},
        {"", true, true, ""},
        {"aZ09-./_~ ", true, false, "aZ09-.%2F%5F%7E%20"},
        {"\xD6\xD0", true, false, "%D6%D0"},
        {"a\xD6\xD0", true, true, "a%E4%B8%AD"},
        {"\xFF", false, true, "%EF%BF%BD"},  // an invalid byte is replaced
    };
    for (const Row& r : rows) {
        EXPECT_EQ(UrlEncodeUtf8(r.text, r.keepUnreserved, r.toUtf8), r.expected) << r.text;
    }
    EXPECT_EQ(UrlEncodeUtf8("a-"), "%61%2D");  // the defaults encode every byte
}

TEST(Encoding, CodePages) {
    const std::pair<Text, Text> toUtf8[] = {
        {"plain ascii", "plain ascii"},
        {kZhongWenGbk, kZhongWenUtf8},
        {"", ""},
        {"a\xD6", "a\xEF\xBF\xBD"},  // a lone lead byte is replaced
        {"\xFF\xFF"
         "b",
         "\xEF\xBF\xBD\xEF\xBF\xBD"
         "b"},
    };
    for (const auto& [text, expected] : toUtf8) {
        EXPECT_EQ(AnsiToUtf8(text), expected) << text;
    }
    struct Units {
        const char* text;
        int codePage;
        ByteSet expected;
    };
    const Units decoded[] = {
        {kZhongWenGbk, kCodePageGbk, Utf16({0x4E2D, 0x6587, 0})},
        {"a", kCodePageAnsi, Utf16({'a', 0})},
        // Sized for the ANSI reading (one pair and one invalid byte), holding one UTF-8 unit.
        {"\xE4\xB8\xAD", kCodePageUtf8, Utf16({0x4E2D, 0, 0})},
        {"", kCodePageUtf8, {}},
    };
    for (const Units& r : decoded) {
        EXPECT_EQ(CodePageToUtf16(r.text, r.codePage), r.expected) << r.text;
    }
    EXPECT_EQ(CodePageToUtf16("\xE4\xB8\xAD"), Utf16({0x4E2D, 0, 0}));  // UTF-8 by default
    struct Encoded {
        ByteSet units;
        int codePage;
        Text expected;
    };
    const Encoded encoded[] = {
        {Utf16({0x4E2D, 0x6587, 0}), kCodePageAnsi, kZhongWenGbk},
        {Utf16({'o', 'k', 0, 'x'}), kCodePageUtf8, "ok"},
        {Utf16({0x4E2D}), kCodePageUtf8, "\xE4\xB8\xAD"},
        {ByteSet{}, kCodePageAnsi, ""},
        {Utf16({'a', 0x20AC + 0x100, 'b', 0}), kCodePageAnsi, "a?b"},     // not in 936: '?'
        {Utf16({'x', 0xD800, 'y', 0}), kCodePageUtf8, "x\xEF\xBF\xBDy"},  // unpaired surrogate
        {ByteSet{'q', 0, 'r'}, kCodePageAnsi, "q"},                       // odd trailing byte
        {Utf16({0xD83D, 0xDE00, 0}), kCodePageUtf8, "\xF0\x9F\x98\x80"},
        {Utf16({0xD83D, 0xDE00, 0}), kCodePageGb18030, "\x94\x39\xFC\x36"},  // 936 lacks it
    };
    for (const Encoded& r : encoded) {
        EXPECT_EQ(Utf16ToCodePage(r.units, r.codePage), r.expected) << r.expected;
    }
    EXPECT_EQ(Utf16ToCodePage(Utf16({0x4E2D, 0})), "\xD6\xD0");  // the ANSI page by default
    EXPECT_EQ(Utf16ToCodePage(CodePageToUtf16("\x94\x39\xFC\x36", kCodePageGb18030), kCodePageUtf8),
              "\xF0\x9F\x98\x80");
}

}  // namespace
}  // namespace tarnwick
