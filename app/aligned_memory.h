// Blocks aligned beyond what malloc promises, one pair of functions per system: Windows frees
// them with a function of their own.
#pragma once

#include <cstddef>

namespace tarnwick {

// nullptr when there is no memory.
void* AllocateAligned(std::size_t size, std::size_t alignment);
void FreeAligned(void* block);

}  // namespace tarnwick
