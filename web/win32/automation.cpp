#include "web/win32/automation.h"

#include "web/win32/ole.h"

#include <climits>
#include <cstring>
#include <vector>

#include "text/wide_text.h"

namespace tarnwick::automation {

namespace {

DISPID MemberId(IDispatch& object, const wchar_t* member) {
    DISPID id = DISPID_UNKNOWN;
    auto* name = const_cast<LPOLESTR>(member);
    if (FAILED(object.GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) {
        return DISPID_UNKNOWN;
    }
    return id;
}

// One Invoke; the arguments go to the object last first, as DISPPARAMS wants them.
bool Invoke(IDispatch& object, const wchar_t* member, WORD flags,
            std::initializer_list<Variant*> arguments, VARIANT* result) {
    const DISPID id = MemberId(object, member);
    if (id == DISPID_UNKNOWN) {
        return false;
    }
    std::vector<VARIANT> reversed;
    reversed.reserve(arguments.size());
    for (auto argument = std::rbegin(arguments); argument != std::rend(arguments); ++argument) {
        reversed.push_back((*argument)->value());  // shallow: the Variants keep ownership
    }
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS parameters{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        parameters.rgdispidNamedArgs = &namedPut;
        parameters.cNamedArgs = 1;
    }
    return SUCCEEDED(object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &parameters, result,
                                   nullptr, nullptr));
}

}  // namespace

Variant Variant::Integer(int number) {
    Variant variant;
    variant.value_.vt = VT_I4;
    variant.value_.lVal = number;
    return variant;
}

Variant Variant::Boolean(bool truth) {
    Variant variant;
    variant.value_.vt = VT_BOOL;
    variant.value_.boolVal = truth ? VARIANT_TRUE : VARIANT_FALSE;
    return variant;
}

Variant Variant::String(std::string_view text) {
    const std::wstring wide = WideFromText(text);
    Variant variant;
    variant.value_.vt = VT_BSTR;
    variant.value_.bstrVal = ole::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (variant.value_.bstrVal == nullptr) {
        variant.value_.vt = VT_EMPTY;
    }
    return variant;
}

Variant Variant::Bytes(const ByteSet& bytes) {
    Variant variant;
    if (bytes.size() > static_cast<std::size_t>(ULONG_MAX)) {
        return variant;
    }
    SAFEARRAY* array = ole::SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (array == nullptr) {
        return variant;
    }
    void* data = nullptr;
    if (FAILED(ole::SafeArrayAccessData(array, &data))) {
        ole::SafeArrayDestroy(array);
        return variant;
    }
    if (!bytes.empty()) {
        std::memcpy(data, bytes.data(), bytes.size());
    }
    ole::SafeArrayUnaccessData(array);
    variant.value_.vt = VT_ARRAY | VT_UI1;
    variant.value_.parray = array;
    return variant;
}

DispatchRef CreateByProgId(const wchar_t* progId) {
    CLSID classId{};
    if (FAILED(ole::CLSIDFromProgID(progId, &classId))) {
        return nullptr;
    }
    void* object = nullptr;
    if (FAILED(ole::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                     &object))) {
        return nullptr;
    }
    return DispatchRef(static_cast<IDispatch*>(object));
}

// A call tries a method first; a write, a property write first; a read, a property read, then
// a method.
bool CallMethod(IDispatch& object, const wchar_t* member, std::initializer_list<Variant*> arguments,
                Variant* result) {
    Variant ignored;
    return Invoke(object, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, arguments,
                  (result != nullptr ? result : &ignored)->get());
}

bool WriteProperty(IDispatch& object, const wchar_t* member,
                   std::initializer_list<Variant*> arguments) {
    return Invoke(object, member, DISPATCH_PROPERTYPUT, arguments, nullptr);
}

Variant ReadVariant(IDispatch& object, const wchar_t* member) {
    Variant result;
    if (!Invoke(object, member, DISPATCH_PROPERTYGET | DISPATCH_METHOD, {}, result.get())) {
        return Variant();
    }
    return result;
}

Text VariantToText(const Variant& value) {
    if (value.value().vt != VT_BSTR || value.value().bstrVal == nullptr) {
        return {};
    }
    const BSTR text = value.value().bstrVal;
    return TextFromWide(std::wstring_view(text, ole::SysStringLen(text)));
}

double VariantToNumber(const Variant& value) {
    Variant number;
    if (FAILED(
            ole::VariantChangeType(number.get(), const_cast<VARIANT*>(&value.value()), 0, VT_R8))) {
        return 0;
    }
    return number.value().dblVal;
}

ByteSet VariantToByteSet(const Variant& value) {
    const VARIANT& variant = value.value();
    if (variant.vt != (VT_ARRAY | VT_UI1) || variant.parray == nullptr ||
        ole::SafeArrayGetDim(variant.parray) != 1) {
        return {};
    }
    LONG lower = 0;
    LONG upper = -1;
    ole::SafeArrayGetLBound(variant.parray, 1, &lower);
    ole::SafeArrayGetUBound(variant.parray, 1, &upper);
    if (upper < lower) {
        return {};
    }
    void* data = nullptr;
    if (FAILED(ole::SafeArrayAccessData(variant.parray, &data))) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(data);
    ByteSet result(bytes, bytes + (static_cast<std::size_t>(upper - lower) + 1));
    ole::SafeArrayUnaccessData(variant.parray);
    return result;
}

}  // namespace tarnwick::automation
