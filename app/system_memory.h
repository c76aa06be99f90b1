// The memory the allocator and the fatal path take from the system, one file per system.
#pragma once

#include <cstddef>

namespace tarnwick {

// Blocks aligned beyond what malloc promises (Windows frees them with a function of their own);
// nullptr when there is no memory.
void* AllocateAligned(std::size_t size, std::size_t alignment);
void FreeAligned(void* block);

// Room set aside for the report of a failed allocation: given back, it lets the heap grow once
// more. It costs no memory while it is held, only room.
void* SetAside(std::size_t size);
void GiveBack(void* block);

}  // namespace tarnwick
