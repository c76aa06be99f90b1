#include "web/win32/ole.h"

#include <oleauto.h>

#include "web/win32/library_function.h"

namespace tarnwick::ole {

namespace {

struct Functions {
    decltype(&::CoInitialize) coInitialize = nullptr;
    decltype(&::CoUninitialize) coUninitialize = nullptr;
    decltype(&::CLSIDFromProgID) clsidFromProgId = nullptr;
    decltype(&::CoCreateInstance) coCreateInstance = nullptr;
    decltype(&::SysAllocStringLen) sysAllocStringLen = nullptr;
    decltype(&::SysStringLen) sysStringLen = nullptr;
    decltype(&::SafeArrayCreateVector) safeArrayCreateVector = nullptr;
    decltype(&::SafeArrayAccessData) safeArrayAccessData = nullptr;
    decltype(&::SafeArrayUnaccessData) safeArrayUnaccessData = nullptr;
    decltype(&::SafeArrayDestroy) safeArrayDestroy = nullptr;
    decltype(&::SafeArrayGetDim) safeArrayGetDim = nullptr;
    decltype(&::SafeArrayGetLBound) safeArrayGetLBound = nullptr;
    decltype(&::SafeArrayGetUBound) safeArrayGetUBound = nullptr;
    decltype(&::VariantClear) variantClear = nullptr;
    decltype(&::VariantChangeType) variantChangeType = nullptr;
};

// Looked up once; the libraries stay loaded for the life of the process, as COM needs them to.
const Functions& The() {
    static const Functions functions = [] {
        Functions found;
        const HMODULE ole32 = ::LoadLibraryW(L"ole32.dll");
        FindLibraryFunction(found.coInitialize, ole32, "CoInitialize");
        FindLibraryFunction(found.coUninitialize, ole32, "CoUninitialize");
        FindLibraryFunction(found.clsidFromProgId, ole32, "CLSIDFromProgID");
        FindLibraryFunction(found.coCreateInstance, ole32, "CoCreateInstance");
        const HMODULE oleaut32 = ::LoadLibraryW(L"oleaut32.dll");
        FindLibraryFunction(found.sysAllocStringLen, oleaut32, "SysAllocStringLen");
        FindLibraryFunction(found.sysStringLen, oleaut32, "SysStringLen");
        FindLibraryFunction(found.safeArrayCreateVector, oleaut32, "SafeArrayCreateVector");
        FindLibraryFunction(found.safeArrayAccessData, oleaut32, "SafeArrayAccessData");
        FindLibraryFunction(found.safeArrayUnaccessData, oleaut32, "SafeArrayUnaccessData");
        FindLibraryFunction(found.safeArrayDestroy, oleaut32, "SafeArrayDestroy");
        FindLibraryFunction(found.safeArrayGetDim, oleaut32, "SafeArrayGetDim");
        FindLibraryFunction(found.safeArrayGetLBound, oleaut32, "SafeArrayGetLBound");
        FindLibraryFunction(found.safeArrayGetUBound, oleaut32, "SafeArrayGetUBound");
        FindLibraryFunction(found.variantClear, oleaut32, "VariantClear");
        FindLibraryFunction(found.variantChangeType, oleaut32, "VariantChangeType");
        return found;
    }();
    return functions;
}

// Calls the function when the system has it, else gives the failure value.
template <typename Function, typename Result, typename... Args>
Result CallOr(Function function, Result failure, Args... args) {
    return function != nullptr ? function(args...) : failure;
}

}  // namespace

HRESULT CoInitialize(LPVOID reserved) {
    return CallOr(The().coInitialize, E_NOTIMPL, reserved);
}

void CoUninitialize() {
    if (The().coUninitialize != nullptr) {
        The().coUninitialize();
    }
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID classId) {
    return CallOr(The().clsidFromProgId, E_NOTIMPL, progId, classId);
}

HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                         LPVOID* object) {
    const Functions& functions = The();
    if (functions.coCreateInstance == nullptr) {
        return E_NOTIMPL;
    }
    return functions.coCreateInstance(classId, outer, context, interfaceId, object);
}

BSTR SysAllocStringLen(const OLECHAR* text, UINT length) {
    return CallOr(The().sysAllocStringLen, BSTR{nullptr}, text, length);
}

UINT SysStringLen(BSTR text) {
    return CallOr(The().sysStringLen, UINT{0}, text);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lower, ULONG count) {
    return CallOr(The().safeArrayCreateVector, static_cast<SAFEARRAY*>(nullptr), type, lower,
                  count);
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
    return CallOr(The().safeArrayAccessData, E_NOTIMPL, array, data);
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) {
    return CallOr(The().safeArrayUnaccessData, E_NOTIMPL, array);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    return CallOr(The().safeArrayDestroy, E_NOTIMPL, array);
}

UINT SafeArrayGetDim(SAFEARRAY* array) {
    return CallOr(The().safeArrayGetDim, UINT{0}, array);
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    return CallOr(The().safeArrayGetLBound, E_NOTIMPL, array, dimension, bound);
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
    return CallOr(The().safeArrayGetUBound, E_NOTIMPL, array, dimension, bound);
}

HRESULT VariantClear(VARIANTARG* value) {
    return CallOr(The().variantClear, E_NOTIMPL, value);
}

HRESULT VariantChangeType(VARIANTARG* to, VARIANTARG* from, USHORT flags, VARTYPE type) {
    return CallOr(The().variantChangeType, E_NOTIMPL, to, from, flags, type);
}

}  // namespace tarnwick::ole
