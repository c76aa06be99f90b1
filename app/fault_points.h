// Fault points of the test-only build (tarnwick_faulty). The shipped executable is compiled
// without TARNWICK_FAULT_INJECTION and has none of them.
#pragma once

#ifdef TARNWICK_FAULT_INJECTION
#include <cstddef>

namespace tarnwick::fault {

bool AllocationFails(std::size_t size);  // must not allocate
bool WindowCreationFails();
void NoteExitHandlerRun();

}  // namespace tarnwick::fault
#endif
