#include "app/fatal_error.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstring>
#include <utility>

#include "app/runtime.h"
#include "app/system_memory.h"
#include "text/runtime_error.h"

namespace tarnwick {

namespace {

// "运行时出错!", "错误代码：", "错误信息：" in code page 936.
constexpr std::string_view kHeading = "\xD4\xCB\xD0\xD0\xCA\xB1\xB3\xF6\xB4\xED!";
constexpr std::string_view kCodeLabel = "\xB4\xED\xCE\xF3\xB4\xFA\xC2\xEB\xA3\xBA";
constexpr std::string_view kMessageLabel = "\xB4\xED\xCE\xF3\xD0\xC5\xCF\xA2\xA3\xBA";
// "分配 %d 字节内存失败!" around the decimal size.
constexpr std::string_view kAllocationFailedBefore = "\xB7\xD6\xC5\xE4 ";  // "分配 "
constexpr std::string_view kAllocationFailedAfter =
    " \xD7\xD6\xBD\xDA\xC4\xDA\xB4\xE6\xCA\xA7\xB0\xDC!";  // " 字节内存失败!"

// Enough for the message box, the font it loads and the event it posts, once the heap is full.
constexpr std::size_t kReserveBytes = std::size_t{4} << 20;

std::atomic<void*> g_reserve{nullptr};

// Appends to a fixed buffer, dropping what does not fit.
class Composer {
  public:
    explicit Composer(std::span<char> buffer) : buffer_(buffer) {}
    Composer& operator<<(std::string_view part) {
        const std::size_t count = std::min(part.size(), buffer_.size() - used_);
        std::memcpy(buffer_.data() + used_, part.data(), count);
        used_ += count;
        return *this;
    }
    template <typename Number>
    Composer& Decimal(Number number) {
        std::array<char, 24> digits;
        const char* end = std::to_chars(digits.data(), digits.data() + digits.size(), number).ptr;
        return *this << std::string_view(digits.data(),
                                         static_cast<std::size_t>(end - digits.data()));
    }
    std::string_view Written() const { return {buffer_.data(), used_}; }

  private:
    std::span<char> buffer_;
    std::size_t used_ = 0;
};

void SetMemoryAside() {
    void* expected = nullptr;
    void* reserve = SetAside(kReserveBytes);
    if (!g_reserve.compare_exchange_strong(expected, reserve)) {
        GiveBack(reserve);
    }
}

void ReleaseMemorySetAside() {
    GiveBack(g_reserve.exchange(nullptr));
}

void ReportThroughFrontEnd(int code, std::string_view message) {
    thread_local bool reporting = false;
    const bool first = !std::exchange(reporting, true);
    ReleaseMemorySetAside();
    std::array<char, kRuntimeErrorTextBytes> composed;
    ShowFatalError(ComposeRuntimeErrorText(code, message, composed), first);
}

}  // namespace

std::string_view ComposeRuntimeErrorText(int code, std::string_view message,
                                         std::span<char> buffer) {
    Composer text(buffer);
    text << kHeading << "\r\n\r\n";
    if (code != 0) {
        text << kCodeLabel;
        text.Decimal(code) << "\r\n\r\n";
    }
    if (!message.empty()) {
        text << kMessageLabel << message << "\r\n";
    }
    return text.Written();
}

std::string_view ComposeAllocationFailure(std::size_t size, std::span<char> buffer) {
    Composer text(buffer);
    text << kAllocationFailedBefore;
    text.Decimal(size) << kAllocationFailedAfter;
    return text.Written();
}

void InstallFatalErrorReporting() {
    InitRuntime();
    SetMemoryAside();
    SetRuntimeErrorReporter(&ReportThroughFrontEnd);
    InstallFrontEndFatalHooks();
}

void ReportOutOfMemory(std::size_t size) {
    ReleaseMemorySetAside();
    std::array<char, 64> message;
    ReportRuntimeError(0, ComposeAllocationFailure(size, message));
}

}  // namespace tarnwick
