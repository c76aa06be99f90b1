#include <malloc.h>
#include <windows.h>

#include "app/system_memory.h"

namespace tarnwick {

void* AllocateAligned(std::size_t size, std::size_t alignment) {
    return ::_aligned_malloc(size, alignment);
}

void FreeAligned(void* block) {
    ::_aligned_free(block);
}

// Address space, reserved and not committed: on a 32-bit system running out of memory is
// running out of room, and the heap takes this room back once it is released.
void* SetAside(std::size_t size) {
    return ::VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
}

void GiveBack(void* block) {
    if (block != nullptr) {
        ::VirtualFree(block, 0, MEM_RELEASE);
    }
}

}  // namespace tarnwick
