#include "app/fatal_error.h"

#include <array>
#include <atomic>
#include <cstdlib>

#include "text/runtime_error.h"

namespace tarnwick {

namespace {

// Enough for the message box, the font it loads and the event it posts, once the heap is full.
constexpr std::size_t kReserveBytes = std::size_t{4} << 20;

std::atomic<void*> g_reserve{nullptr};

}  // namespace

void SetMemoryAside() {
    void* expected = nullptr;
    void* reserve = std::malloc(kReserveBytes);
    if (!g_reserve.compare_exchange_strong(expected, reserve)) {
        std::free(reserve);
    }
}

void ReleaseMemorySetAside() {
    std::free(g_reserve.exchange(nullptr));
}

void ReportOutOfMemory(std::size_t size) {
    ReleaseMemorySetAside();
    std::array<char, 64> message;
    ReportRuntimeError(0, ComposeAllocationFailure(size, message));
}

}  // namespace tarnwick
