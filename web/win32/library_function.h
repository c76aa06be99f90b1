// A function of a system library, found by name: for what older Windows lack, and for libraries
// the window's start need not load. The library stays loaded for the life of the process.
#pragma once

#include <windows.h>

namespace tarnwick {

// Null where the library or the function is absent (library null: absent too).
template <typename Function>
Function LibraryFunction(HMODULE library, const char* name) {
    // GetProcAddress gives every function the one type FARPROC.
    return library != nullptr ? reinterpret_cast<Function>(
                                    reinterpret_cast<void*>(::GetProcAddress(library, name)))
                              : nullptr;
}

// The same, into a slot whose type names the function's.
template <typename Function>
void FindLibraryFunction(Function& slot, HMODULE library, const char* name) {
    slot = LibraryFunction<Function>(library, name);
}

template <typename Function>
Function LibraryFunction(const wchar_t* library, const char* name) {
    return LibraryFunction<Function>(::LoadLibraryW(library), name);
}

}  // namespace tarnwick
