// The automation bridge: an IDispatch object driven by member name, with its BSTRs, VARIANTs
// and SAFEARRAYs held by owners that release them on every path. Failures are results.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <initializer_list>
#include <memory>
#include <string_view>

#include "text/values.h"
#include "web/win32/ole.h"

namespace tarnwick::automation {

struct ReleaseInterface {
    void operator()(IUnknown* object) const { object->Release(); }
};
using DispatchRef = std::unique_ptr<IDispatch, ReleaseInterface>;

// A VARIANT that clears itself.
class Variant {
  public:
    Variant() { value_.vt = VT_EMPTY; }
    ~Variant() { ole::VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : Variant() { std::swap(value_, other.value_); }

    static Variant Integer(int number);
    static Variant Boolean(bool truth);
    // Text in code page 936, as UTF-16 for the object.
    static Variant String(std::string_view text);
    // A one-dimensional array of unsigned bytes.
    static Variant Bytes(const ByteSet& bytes);

    VARIANT* get() { return &value_; }
    const VARIANT& value() const { return value_; }

  private:
    VARIANT value_{};
};

// The object created from a ProgID on this thread; empty when there is none.
DispatchRef CreateByProgId(const wchar_t* progId);

// Member access by name. Arguments are given in their natural order.
// result, when given, gets what the method gives back.
bool CallMethod(IDispatch& object, const wchar_t* member, std::initializer_list<Variant*> arguments,
                Variant* result = nullptr);
bool WriteProperty(IDispatch& object, const wchar_t* member,
                   std::initializer_list<Variant*> arguments);
Variant ReadVariant(IDispatch& object, const wchar_t* member);

// Conversions of what a read gives; empty values for anything else.
Text VariantToText(const Variant& value);
double VariantToNumber(const Variant& value);
ByteSet VariantToByteSet(const Variant& value);

}  // namespace tarnwick::automation
