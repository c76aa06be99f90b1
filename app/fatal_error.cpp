#include "app/fatal_error.h"

#include <array>
#include <atomic>

#include "app/system_memory.h"
#include "text/runtime_error.h"

namespace tarnwick {

namespace {

// Enough for the message box, the font it loads and the event it posts, once the heap is full.
constexpr std::size_t kReserveBytes = std::size_t{4} << 20;

std::atomic<void*> g_reserve{nullptr};

}  // namespace

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

void ReportOutOfMemory(std::size_t size) {
    ReleaseMemorySetAside();
    std::array<char, 64> message;
    ReportRuntimeError(0, ComposeAllocationFailure(size, message));
}

}  // namespace tarnwick
