// The window's side of the one fatal path: the error dialog, standard error when there is no
// window system, and the out-of-memory report.
#pragma once

#include <QString>
#include <array>
#include <cstddef>
#include <span>
#include <string_view>

namespace tarnwick {

// First thing in main: routes ReportRuntimeError here, sets memory aside for the report of a
// failed allocation, and turns Qt's own abort at a failed window-system start into the error
// "载入启动窗口失败".
void InstallFatalErrorReporting();
// Once QApplication exists: errors show the dialog from now on.
void EnableErrorDialogs();

// The message of a failed allocation, "分配 %d 字节内存失败!", built without the heap.
class AllocationFailureMessage {
  public:
    explicit AllocationFailureMessage(std::size_t size);
    std::string_view View() const { return {bytes_.data(), length_}; }

  private:
    std::array<char, 64> bytes_{};
    std::size_t length_ = 0;
};

// Never returns: frees the memory set aside, then reports the failed allocation.
[[noreturn]] void ReportOutOfMemory(std::size_t size);

// The dialog text of the error in code page 936, composed into buffer (cut at its end) without
// the heap, for when the heap may be what failed.
std::string_view ComposeErrorText(int code, std::string_view message, std::span<char> buffer);
// The dialog text as the message box shows it: Unicode, one line break per line.
QString ErrorDialogText(int code, std::string_view message);

}  // namespace tarnwick
