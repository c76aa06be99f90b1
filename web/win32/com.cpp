// COM from the system, with CoInitialize and CoUninitialize called by name from ole32.dll.
#include "web/com.h"
#include "web/win32/ole.h"

namespace tarnwick {

bool EnterSystemCom() {
    // S_FALSE (already initialised here) still needs its CoUninitialize; a thread in another
    // apartment model does not get one, nor does a system without the functions.
    return SUCCEEDED(ole::CoInitialize(nullptr));
}

void LeaveSystemCom() {
    ole::CoUninitialize();
}

}  // namespace tarnwick
