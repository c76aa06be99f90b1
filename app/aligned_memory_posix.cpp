#include <cstdlib>

#include "app/aligned_memory.h"

namespace tarnwick {

void* AllocateAligned(std::size_t size, std::size_t alignment) {
    void* block = nullptr;
    return ::posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

void FreeAligned(void* block) {
    std::free(block);
}

}  // namespace tarnwick
