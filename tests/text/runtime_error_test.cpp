#include "text/runtime_error.h"

#include <gtest/gtest.h>

#include "text/numbers.h"

namespace tarnwick {
namespace {

// "运行时出错!" CR LF CR LF, "错误代码：", "错误信息：" in code page 936.
const std::string kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!\r\n\r\n";
const std::string kCode = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
const std::string kMessage = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";

TEST(RuntimeError, DialogTextWithAndWithoutCode) {
    const std::string stackError =
        "\xB5\xF7\xD3\xC3\x44\x4C\x4C\xC3\xFC\xC1\xEE\xBA\xF3\xB7\xA2"
        "\xCF\xD6\xB6\xD1\xD5\xBB\xB4\xED\xCE\xF3";
    EXPECT_EQ(BuildRuntimeErrorText(6, stackError),
              kHeading + kCode + "6\r\n\r\n" + kMessage + stackError + "\r\n");
    const std::string noWindow = "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";
    EXPECT_EQ(BuildRuntimeErrorText(0, noWindow), kHeading + kMessage + noWindow + "\r\n");
    EXPECT_EQ(BuildRuntimeErrorText(0, ""), kHeading);
}

TEST(RuntimeErrorDeathTest, RemainderByZeroIsFatalWithItsMessage) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(Remainder(1, 0), testing::ExitedWithCode(255),
                kMessage + std::string(kDivideByZeroMessage));
    EXPECT_EXIT(Remainder(9, 2, {0}), testing::ExitedWithCode(255), "");
}

}  // namespace
}  // namespace tarnwick
