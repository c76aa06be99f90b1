// COM from the system, with CoInitialize and CoUninitialize called by name from ole32.dll.
#include <windows.h>

#include <objbase.h>

#include "web/com.h"

namespace tarnwick {

namespace {

using CoInitializeFunction = HRESULT(WINAPI*)(LPVOID);
using CoUninitializeFunction = void(WINAPI*)();

struct Ole32 {
    CoInitializeFunction initialize = nullptr;
    CoUninitializeFunction uninitialize = nullptr;
};

// Looked up once; the library stays loaded for the life of the process, as COM needs it to.
const Ole32& TheOle32() {
    static const Ole32 functions = [] {
        Ole32 found;
        if (const HMODULE ole32 = ::LoadLibraryW(L"ole32.dll")) {
            // GetProcAddress gives every function the one type FARPROC.
            found.initialize = reinterpret_cast<CoInitializeFunction>(
                reinterpret_cast<void*>(::GetProcAddress(ole32, "CoInitialize")));
            found.uninitialize = reinterpret_cast<CoUninitializeFunction>(
                reinterpret_cast<void*>(::GetProcAddress(ole32, "CoUninitialize")));
        }
        return found;
    }();
    return functions;
}

}  // namespace

bool EnterSystemCom() {
    const Ole32& ole32 = TheOle32();
    if (ole32.initialize == nullptr || ole32.uninitialize == nullptr) {
        return false;
    }
    // S_FALSE (already initialised here) still needs its CoUninitialize; a thread in another
    // apartment model does not get one.
    return SUCCEEDED(ole32.initialize(nullptr));
}

void LeaveSystemCom() {
    TheOle32().uninitialize();
}

}  // namespace tarnwick
