// The program's own texts that travel as Text values (code page 936).
#pragma once

#include <string_view>

namespace tarnwick {

inline constexpr std::string_view kCopySucceeded =
    "\xB8\xB4\xD6\xC6\xB6\xCC\xC1\xB4\xB3\xC9\xB9\xA6\xA3\xA1";  // "复制短链成功！"
inline constexpr std::string_view kLoadWindowFailed =
    "\xD4\xD8\xC8\xEB\xC6\xF4\xB6\xAF\xB4\xB0\xBF\xDA\xCA\xA7\xB0\xDC";  // "载入启动窗口失败"
// "分配 %d 字节内存失败!" around the decimal size.
inline constexpr std::string_view kAllocationFailedBefore = "\xB7\xD6\xC5\xE4 ";  // "分配 "
inline constexpr std::string_view kAllocationFailedAfter =
    " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";  // " 字节内存失败!"

}  // namespace tarnwick
