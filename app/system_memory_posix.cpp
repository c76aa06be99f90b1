#include <cstdlib>

#include "app/system_memory.h"

namespace tarnwick {

void* AllocateAligned(std::size_t size, std::size_t alignment) {
    void* block = nullptr;
    return ::posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

void FreeAligned(void* block) {
    std::free(block);
}

// Pages that nothing touches are not backed by memory.
void* SetAside(std::size_t size) {
    return std::malloc(size);
}

void GiveBack(void* block) {
    std::free(block);
}

}  // namespace tarnwick
