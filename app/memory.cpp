// The global allocation functions: a failed allocation is the fatal runtime error
// "分配 %d 字节内存失败!" instead of an exception that nothing in the program catches.
// The nothrow forms keep their promise of a null result, for callers that can do without.
#include <cstdlib>
#include <new>

#include "app/fatal_error.h"
#include "app/fault_points.h"
#include "app/system_memory.h"

namespace {

// kPlain for the plain forms; any other alignment, even a small one, comes from the aligned
// pair, since the aligned forms of delete give it back there.
constexpr std::size_t kPlain = 0;

void* TryAllocate(std::size_t size, std::size_t alignment) {
#ifdef TARNWICK_FAULT_INJECTION
    if (tarnwick::fault::AllocationFails(size)) {
        return nullptr;
    }
#endif
    if (size == 0) {
        size = 1;
    }
    if (alignment == kPlain) {
        return std::malloc(size);
    }
    return tarnwick::AllocateAligned(size, alignment);
}

void* Allocate(std::size_t size, std::size_t alignment) {
    void* block = TryAllocate(size, alignment);
    if (block == nullptr) {
        tarnwick::ReportOutOfMemory(size);
    }
    return block;
}

std::size_t Alignment(std::align_val_t alignment) {
    return static_cast<std::size_t>(alignment);
}

}  // namespace

void* operator new(std::size_t size) {
    return Allocate(size, kPlain);
}
void* operator new[](std::size_t size) {
    return Allocate(size, kPlain);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return Allocate(size, Alignment(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return Allocate(size, Alignment(alignment));
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return TryAllocate(size, kPlain);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return TryAllocate(size, kPlain);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return TryAllocate(size, Alignment(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return TryAllocate(size, Alignment(alignment));
}

void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete[](void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    std::free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    tarnwick::FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    tarnwick::FreeAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    tarnwick::FreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    tarnwick::FreeAligned(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    std::free(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    tarnwick::FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    tarnwick::FreeAligned(block);
}
