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

TEST(Base64, Rfc4648VectorsAndBinary) {
    const std::pair<const char*, const char*> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(Base64Encode(ToByteSet(plain)), encoded) << plain;
    }
    EXPECT_EQ(Base64Encode(ByteSet{0x00}), "AA==");
    EXPECT_EQ(Base64Encode(ByteSet{0xFB, 0xFF, 0xBF}), "+/+/");
    EXPECT_EQ(Base64Encode(ToByteSet(kZhongWenGbk)), "1tDOxA==");
    const std::string line = Base64Encode(ByteSet(300, 0xAB));
    EXPECT_EQ(line.size(), 400U);
    EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
}

TEST(UrlEncode, EveryByteOrUnreservedKept) {
    EXPECT_EQ(UrlEncodeUtf8("abc"), "%61%62%63");
    EXPECT_EQ(UrlEncodeUtf8("\xD6\xD0"), "%D6%D0");
    EXPECT_EQ(UrlEncodeUtf8("\t"), "%09");
    EXPECT_EQ(UrlEncodeUtf8(""), "");
    EXPECT_EQ(UrlEncodeUtf8("", true, true), "");
    EXPECT_EQ(UrlEncodeUtf8("aZ09-./_~ ", true), "aZ09-.%2F%5F%7E%20");
    EXPECT_EQ(UrlEncodeUtf8("\xD6\xD0", true), "%D6%D0");
    EXPECT_EQ(UrlEncodeUtf8("a\xD6\xD0", true, true), "a%E4%B8%AD");
}

TEST(CodePages, Gbk936Utf8AndUtf16) {
    EXPECT_EQ(AnsiToUtf8("plain ascii"), "plain ascii");
    EXPECT_EQ(AnsiToUtf8(kZhongWenGbk), kZhongWenUtf8);
    EXPECT_EQ(AnsiToUtf8(""), "");

    EXPECT_EQ(CodePageToUtf16(kZhongWenGbk, kCodePageGbk), Utf16({0x4E2D, 0x6587, 0}));
    EXPECT_EQ(CodePageToUtf16("a", kCodePageAnsi), Utf16({'a', 0}));
    // Sized for the ANSI reading (one pair and one invalid byte), holding one UTF-8 unit.
    EXPECT_EQ(CodePageToUtf16("\xE4\xB8\xAD"), Utf16({0x4E2D, 0, 0}));
    EXPECT_TRUE(CodePageToUtf16("").empty());

    EXPECT_EQ(Utf16ToCodePage(Utf16({0x4E2D, 0x6587, 0})), kZhongWenGbk);
    EXPECT_EQ(Utf16ToCodePage(Utf16({'o', 'k', 0, 'x'}), kCodePageUtf8), "ok");
    EXPECT_EQ(Utf16ToCodePage(Utf16({0x4E2D}), kCodePageUtf8), "\xE4\xB8\xAD");
    EXPECT_EQ(Utf16ToCodePage(ByteSet{}), "");
    // A character code page 936 lacks turns into '?', GB18030 keeps it.
    EXPECT_EQ(Utf16ToCodePage(Utf16({'a', 0x20AC + 0x100, 'b', 0})), "a?b");
    const Text emoji = Utf16ToCodePage(Utf16({0xD83D, 0xDE00, 0}), kCodePageGb18030);
    EXPECT_EQ(emoji.size(), 4U);
    EXPECT_EQ(Utf16ToCodePage(CodePageToUtf16(emoji, kCodePageGb18030), kCodePageUtf8),
              "\xF0\x9F\x98\x80");
}

TEST(CodePages, InvalidInputIsReplacedNeverOverrun) {
    // A lone lead byte, an invalid pair and an unpaired surrogate.
    EXPECT_EQ(AnsiToUtf8("a\xD6"), "a\xEF\xBF\xBD");
    EXPECT_EQ(AnsiToUtf8("\xFF\xFF"
                         "b")
                  .back(),
              'b');
    EXPECT_EQ(Utf16ToCodePage(Utf16({'x', 0xD800, 'y', 0}), kCodePageUtf8), "x\xEF\xBF\xBDy");
    EXPECT_EQ(Utf16ToCodePage(ByteSet{'q', 0, 'r'}), "q");  // odd trailing byte ignored
    EXPECT_EQ(UrlEncodeUtf8("\xFF", false, true), "%EF%BF%BD");
}

}  // namespace
}  // namespace tarnwick
