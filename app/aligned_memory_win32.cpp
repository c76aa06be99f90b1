#include <malloc.h>

#include "app/aligned_memory.h"

namespace tarnwick {

void* AllocateAligned(std::size_t size, std::size_t alignment) {
    return ::_aligned_malloc(size, alignment);
}

void FreeAligned(void* block) {
    ::_aligned_free(block);
}

}  // namespace tarnwick
