#include "text/values.h"

#include <gtest/gtest.h>

#include "text/numbers.h"

namespace tarnwick {
namespace {

TEST(TextValues, CutsAreForgivingAndCountBytes) {
    EXPECT_EQ(TextLeft("abc", 5), "abc");
    EXPECT_EQ(TextLeft("abc", 0), "");
    EXPECT_EQ(TextLeft("abc", -3), "");
    EXPECT_EQ(TextRight("abc", 0), "");
    EXPECT_EQ(TextRight("abc", 2), "bc");
    EXPECT_EQ(TextRight("abc", 9), "abc");
    EXPECT_EQ(TextMid("abcdef", 3, 100), "cdef");
    EXPECT_EQ(TextMid("abcdef", 7, 1), "");
    EXPECT_EQ(TextMid("abcdef", 0, 2), "");
    EXPECT_EQ(TextMid("abcdef", 6, 1), "f");
    // Cuts split double-byte characters: they count plain bytes.
    EXPECT_EQ(TextLeft("\xD6\xD0\xCE\xC4", 3), "\xD6\xD0\xCE");
    EXPECT_EQ(TextLength("\xD6\xD0x"), 3);
}

TEST(TextValues, CodesAndBytes) {
    EXPECT_EQ(TextCode("\xC4z"), -60);
    EXPECT_EQ(TextCode("az", 2), 'z');
    EXPECT_EQ(TextCode("az", 0), 0);
    EXPECT_EQ(TextCode("az", 3), 0);
    EXPECT_EQ(CharFromCode(0), "");
    EXPECT_EQ(CharFromCode(0xC4), "\xC4");
    EXPECT_EQ(SpaceText(3), "   ");
    EXPECT_EQ(SpaceText(-1), "");
    EXPECT_EQ(ToByte(0x1FF), 0xFF);
    EXPECT_EQ(ToHexText(10), "A");
    EXPECT_EQ(ToHexText(255), "FF");
    EXPECT_EQ(ToHexText(0), "0");
    EXPECT_EQ(ToHexText(-1), "FFFFFFFF");

    EXPECT_EQ(ToText(ByteSet{0x61, 0x00, 0x62}), "a");
    EXPECT_EQ(ToText(ByteSet{0x61, 0x62}), "ab");
    EXPECT_TRUE(ToByteSet("").empty());
    EXPECT_EQ(ToByteSet("ab"), (ByteSet{0x61, 0x62}));
    const ByteSet five{1, 2, 3, 4, 5};
    EXPECT_EQ(ByteSetMid(five, 4, 10), (ByteSet{4, 5}));
    EXPECT_EQ(ByteSetMid(five, -3, 2), (ByteSet{1, 2}));
    EXPECT_EQ(ByteSetMid(five, 9, 2), ByteSet{});
    EXPECT_EQ(ByteSetMid(five, 2, -1), ByteSet{});
    EXPECT_EQ(ByteSetLength(ZeroByteSet(4)), 4);
    EXPECT_TRUE(ZeroByteSet(0).empty());
    // Empty results hold no storage.
    EXPECT_EQ(ZeroByteSet(-2).capacity(), 0U);
    EXPECT_EQ(ByteSetMid(five, 9, 2).capacity(), 0U);
}

TEST(TextValues, Numbers) {
    EXPECT_DOUBLE_EQ(Remainder(7, 3), 1);
    EXPECT_DOUBLE_EQ(Remainder(-7, 3), -1);
    EXPECT_DOUBLE_EQ(Remainder(17, 10, {4}), 3);
    EXPECT_EQ(BitAnd(0xFF, 0x0F, {0x3}), 0x3);
    EXPECT_EQ(ShiftLeft(1, 33), 2);
    EXPECT_EQ(ShiftRight(-8, 1), -4);
    EXPECT_EQ(ShiftRight(-1, 32), -1);
}

}  // namespace
}  // namespace tarnwick
