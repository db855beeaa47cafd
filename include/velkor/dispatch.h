#pragma once
// Late binding (IDispatch) for interfaces declared from a member list: the
// argument conversions are derived from each member's C++ signature, so the
// dispatch table cannot disagree with the vtable.

#include <cstring>
#include <span>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "velkor/automation_types.h"
#include "velkor/bstr.h"
#include "velkor/unknown.h"
#include "velkor/variant.h"

namespace velkor::dispatch {

enum class MemberKind { method, propget, propput };

using Invoker = HRESULT (*)(IDispatch* self, const DISPPARAMS* parameters, VARIANT* result);

struct Member {
  DISPID dispid;
  MemberKind kind;
  std::string_view name;
  std::string_view parameters;  // as written in the member list, e.g. "(LONG Motor, BSTR FileName)"
  Invoker invoke;
};

namespace detail {

template <class T>
constexpr VARTYPE VarTypeOf() {
  if constexpr (std::is_same_v<T, VARIANT_BOOL>) return VT_BOOL;
  else if constexpr (std::is_enum_v<T> || std::is_same_v<T, LONG>) return VT_I4;
  else if constexpr (std::is_same_v<T, SHORT>) return VT_I2;
  else if constexpr (std::is_same_v<T, USHORT>) return VT_UI2;
  else if constexpr (std::is_same_v<T, BYTE>) return VT_UI1;
  else if constexpr (std::is_same_v<T, ULONG>) return VT_UI4;
  else if constexpr (std::is_same_v<T, DOUBLE>) return VT_R8;
  else if constexpr (std::is_same_v<T, BSTR>) return VT_BSTR;
  else if constexpr (std::is_same_v<T, VARIANT>) return VT_VARIANT;
  else if constexpr (std::is_pointer_v<T> && std::is_base_of_v<IDispatch, std::remove_pointer_t<T>>) return VT_DISPATCH;
  else {
    static_assert(sizeof(T) == 0, "type without an automation mapping");
    return VT_EMPTY;
  }
}

inline const VARIANT& Dereference(const VARIANT& argument) {
  return argument.vt == (VT_BYREF | VT_VARIANT) && argument.pvarVal ? *argument.pvarVal : argument;
}

// Reads a value of the given type out of the variant in place.
template <class T>
T ValueOf(const VARIANT& converted) {
  if constexpr (std::is_same_v<T, VARIANT_BOOL>) return converted.boolVal;
  else if constexpr (std::is_enum_v<T>) return static_cast<T>(converted.lVal);
  else if constexpr (std::is_same_v<T, LONG>) return converted.lVal;
  else if constexpr (std::is_same_v<T, SHORT>) return converted.iVal;
  else if constexpr (std::is_same_v<T, USHORT>) return converted.uiVal;
  else if constexpr (std::is_same_v<T, BYTE>) return converted.bVal;
  else if constexpr (std::is_same_v<T, ULONG>) return converted.ulVal;
  else if constexpr (std::is_same_v<T, DOUBLE>) return converted.dblVal;
  else if constexpr (std::is_same_v<T, BSTR>) return converted.bstrVal;
}

// An [in] argument, converted to the member's type for the length of the call.
template <class T>
class InSlot {
 public:
  HRESULT Load(const VARIANT* argument) {
    if (!argument) return DISP_E_PARAMNOTFOUND;
    const VARIANT& source = Dereference(*argument);
    if constexpr (std::is_same_v<T, BYTE>) {
      // A script's True is -1; an 8-bit flag takes it as 1.
      if (source.vt == VT_BOOL) {
        value_.vt = VT_UI1;
        value_.bVal = source.boolVal ? 1 : 0;
        return S_OK;
      }
    }
    return VariantChangeType(&value_, &source, 0, VarTypeOf<T>());
  }
  T Get() const { return ValueOf<T>(value_); }

 private:
  Variant value_;
};

// VARIANT arguments are passed as given; a missing optional one arrives as the
// platform's "parameter not found" error value.
template <>
class InSlot<VARIANT> {
 public:
  HRESULT Load(const VARIANT* argument) {
    if (argument) {
      value_ = Dereference(*argument);
    } else {
      VariantInit(&value_);
      value_.vt = VT_ERROR;
      value_.scode = DISP_E_PARAMNOTFOUND;
    }
    return S_OK;
  }
  VARIANT Get() const { return value_; }

 private:
  VARIANT value_{};
};

// The [out, retval] argument; what the member returned is moved into the
// caller's result, or released when the caller wants none.
template <class T>
class OutSlot {
 public:
  OutSlot() {
    if constexpr (std::is_same_v<T, VARIANT>) VariantInit(&value_);
  }
  OutSlot(const OutSlot&) = delete;
  OutSlot& operator=(const OutSlot&) = delete;
  ~OutSlot() { Discard(); }
  HRESULT Load(const VARIANT*) { return S_OK; }
  T* Get() { return &value_; }
  void Store(VARIANT* result) {
    if (!result) return;
    VariantClear(result);
    if constexpr (std::is_same_v<T, VARIANT>) {
      *result = value_;
      VariantInit(&value_);
    } else if constexpr (std::is_same_v<T, BSTR>) {
      result->vt = VT_BSTR;
      result->bstrVal = std::exchange(value_, nullptr);
    } else if constexpr (std::is_pointer_v<T>) {
      result->vt = VT_DISPATCH;
      result->pdispVal = std::exchange(value_, nullptr);
    } else {
      VARIANT stored{};
      stored.vt = VarTypeOf<T>();
      if constexpr (std::is_same_v<T, VARIANT_BOOL>) stored.boolVal = value_;
      else if constexpr (std::is_enum_v<T>) stored.lVal = static_cast<LONG>(value_);
      else if constexpr (std::is_same_v<T, LONG>) stored.lVal = value_;
      else if constexpr (std::is_same_v<T, SHORT>) stored.iVal = value_;
      else if constexpr (std::is_same_v<T, USHORT>) stored.uiVal = value_;
      else if constexpr (std::is_same_v<T, BYTE>) stored.bVal = value_;
      else if constexpr (std::is_same_v<T, ULONG>) stored.ulVal = value_;
      else if constexpr (std::is_same_v<T, DOUBLE>) stored.dblVal = value_;
      *result = stored;
    }
  }

 private:
  void Discard() {
    if constexpr (std::is_same_v<T, VARIANT>) VariantClear(&value_);
    else if constexpr (std::is_same_v<T, BSTR>) SysFreeString(std::exchange(value_, nullptr));
    else if constexpr (std::is_pointer_v<T>) {
      if (auto* object = std::exchange(value_, nullptr)) object->Release();
    }
  }
  T value_{};
};

// A BSTR is itself a pointer; only a pointer to something else is a result.
template <class T>
constexpr bool kIsResult = std::is_pointer_v<T> && !std::is_same_v<T, BSTR>;

template <class T>
using Slot = std::conditional_t<kIsResult<T>, OutSlot<std::remove_pointer_t<T>>, InSlot<T>>;

template <class T>
constexpr bool kOptional = std::is_same_v<T, VARIANT>;

template <class... Arguments>
constexpr bool HasResult() {
  constexpr bool results[] = {kIsResult<Arguments>..., false};
  return sizeof...(Arguments) > 0 && results[sizeof...(Arguments) - 1];
}

// In-arguments the caller must give: trailing VARIANTs may be left out.
template <class... Arguments>
constexpr std::size_t RequiredArguments(std::size_t inCount) {
  constexpr bool optional[] = {kOptional<Arguments>..., false};
  std::size_t n = inCount;
  while (n > 0 && optional[n - 1]) --n;
  return n;
}

template <class Interface, class... Arguments, std::size_t... Index>
HRESULT InvokeWith(HRESULT (Interface::*member)(Arguments...), IDispatch* self, const DISPPARAMS* parameters,
                   VARIANT* result, std::index_sequence<Index...>) {
  constexpr std::size_t count = sizeof...(Arguments);
  constexpr bool hasResult = HasResult<Arguments...>();
  constexpr std::size_t inCount = hasResult ? count - 1 : count;
  constexpr std::size_t required = RequiredArguments<Arguments...>(inCount);
  const UINT given = parameters ? parameters->cArgs : 0;
  if (given < required || given > inCount) return DISP_E_BADPARAMCOUNT;

  std::tuple<Slot<Arguments>...> slots;
  // Arguments arrive last first; the value of a property put is the last one.
  HRESULT status = S_OK;
  ((status = SUCCEEDED(status)
                 ? std::get<Index>(slots).Load(Index < given ? &parameters->rgvarg[given - 1 - Index] : nullptr)
                 : status),
   ...);
  if (FAILED(status)) return status;
  status = (static_cast<Interface*>(self)->*member)(std::get<Index>(slots).Get()...);
  if constexpr (hasResult) {
    if (SUCCEEDED(status)) std::get<count - 1>(slots).Store(result);
  }
  return status;
}

template <class Interface, class... Arguments>
HRESULT InvokeMember(HRESULT (Interface::*member)(Arguments...), IDispatch* self, const DISPPARAMS* parameters,
                     VARIANT* result) {
  return InvokeWith(member, self, parameters, result, std::index_sequence_for<Arguments...>{});
}

}  // namespace detail

template <auto member>
HRESULT Invoke(IDispatch* self, const DISPPARAMS* parameters, VARIANT* result) {
  return detail::InvokeMember(member, self, parameters, result);
}

// Chooses the member a late-bound call means: a put for the put flags, else
// the property get or the method of that DISPID.
const Member* FindMember(std::span<const Member> members, DISPID dispid, WORD flags);

// Case-insensitive name look-up, as the platform does it.
const Member* FindMemberByName(std::span<const Member> members, std::u16string_view name);

// Fills the platform's exception record from the thread's error information.
void FillExceptionInfo(HRESULT status, EXCEPINFO* exception);

// Provides IDispatch for an interface from its member table; the class that
// implements the interface supplies IUnknown and the members themselves.
template <class Interface, const auto& members>
class DispatchImpl : public Interface {
 public:
  HRESULT GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* dispids) override {
    if (!names || !dispids) return E_POINTER;
    if (count == 0) return S_OK;
    HRESULT status = S_OK;
    const Member* found = names[0] ? FindMemberByName(members, std::u16string_view(names[0])) : nullptr;
    dispids[0] = found ? found->dispid : DISPID_UNKNOWN;
    if (!found) status = DISP_E_UNKNOWNNAME;
    for (UINT i = 1; i < count; ++i) {  // named arguments are not offered
      dispids[i] = DISPID_UNKNOWN;
      status = DISP_E_UNKNOWNNAME;
    }
    return status;
  }
  HRESULT Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* parameters, VARIANT* result,
                 EXCEPINFO* exception, UINT* argumentError) override {
    if (argumentError) *argumentError = 0;
    const Member* member = FindMember(members, dispid, flags);
    if (!member) return DISP_E_MEMBERNOTFOUND;
    if (parameters && parameters->cNamedArgs > 0) {
      bool onlyPutValue = member->kind == MemberKind::propput && parameters->cNamedArgs == 1 &&
                          parameters->rgdispidNamedArgs && parameters->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
      if (!onlyPutValue) return DISP_E_PARAMNOTFOUND;
    }
    HRESULT status = member->invoke(static_cast<IDispatch*>(static_cast<Interface*>(this)), parameters, result);
    if (FAILED(status) && exception && status != DISP_E_BADPARAMCOUNT && status != DISP_E_TYPEMISMATCH &&
        status != DISP_E_OVERFLOW && status != DISP_E_PARAMNOTFOUND) {
      FillExceptionInfo(status, exception);
      return DISP_E_EXCEPTION;
    }
    return status;
  }
};

}  // namespace velkor::dispatch
