// The COM and OLE Automation functions that the request object needs, found by name in
// ole32.dll and oleaut32.dll at the first request rather than imported: the window's start loads
// neither library. Each gives its failure value (an error, null, 0) where the system lacks it.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace tarnwick::ole {

HRESULT CoInitialize(LPVOID reserved);
void CoUninitialize();
HRESULT CLSIDFromProgID(LPCOLESTR progId, LPCLSID classId);
HRESULT CoCreateInstance(REFCLSID classId, LPUNKNOWN outer, DWORD context, REFIID interfaceId,
                         LPVOID* object);

BSTR SysAllocStringLen(const OLECHAR* text, UINT length);
UINT SysStringLen(BSTR text);
SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lower, ULONG count);
HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data);
HRESULT SafeArrayUnaccessData(SAFEARRAY* array);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
UINT SafeArrayGetDim(SAFEARRAY* array);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound);
HRESULT VariantClear(VARIANTARG* value);
HRESULT VariantChangeType(VARIANTARG* to, VARIANTARG* from, USHORT flags, VARTYPE type);

}  // namespace tarnwick::ole
