#include "velkor/variant.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "velkor/bstr.h"

void VariantInit(VARIANT* variant) {
  if (!variant) return;
  variant->vt = VT_EMPTY;
  variant->wReserved1 = variant->wReserved2 = variant->wReserved3 = 0;
  variant->dblVal = 0;
  variant->byref = nullptr;
}

HRESULT VariantClear(VARIANT* variant) {
  if (!variant) return E_POINTER;
  if ((variant->vt & VT_BYREF) == 0) {
    if (variant->vt & VT_ARRAY) {
      SafeArrayDestroy(variant->parray);
    } else {
      switch (variant->vt) {
        case VT_BSTR: SysFreeString(variant->bstrVal); break;
        case VT_UNKNOWN:
        case VT_DISPATCH:
          if (variant->punkVal) variant->punkVal->Release();
          break;
        default: break;
      }
    }
  }
  VariantInit(variant);
  return S_OK;
}

HRESULT VariantCopy(VARIANT* destination, const VARIANT* source) {
  if (!destination || !source) return E_POINTER;
  if (destination == source) return S_OK;
  VARIANT copy = *source;
  if ((source->vt & VT_BYREF) == 0) {
    if (source->vt & VT_ARRAY) {
      if (source->parray) {
        HRESULT status = SafeArrayCopy(source->parray, &copy.parray);
        if (FAILED(status)) return status;
      }
    } else if (source->vt == VT_BSTR && source->bstrVal) {
      copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
      if (!copy.bstrVal) return E_OUTOFMEMORY;
    } else if ((source->vt == VT_UNKNOWN || source->vt == VT_DISPATCH) && source->punkVal) {
      source->punkVal->AddRef();
    }
  }
  VariantClear(destination);
  *destination = copy;
  return S_OK;
}

namespace {

// The value of a scalar variant as a number (integers exactly, as long long)
// or as a double; strings are parsed as decimal text.
struct Number {
  bool integral = true;
  long long whole = 0;
  double real = 0;
};

HRESULT ReadNumber(const VARIANT& source, Number& number) {
  switch (source.vt) {
    case VT_EMPTY: number.whole = 0; return S_OK;
    case VT_I1: number.whole = source.cVal; return S_OK;
    case VT_UI1: number.whole = source.bVal; return S_OK;
    case VT_I2: number.whole = source.iVal; return S_OK;
    case VT_UI2: number.whole = source.uiVal; return S_OK;
    case VT_I4: number.whole = source.lVal; return S_OK;
    case VT_INT: number.whole = source.intVal; return S_OK;
    case VT_UI4: number.whole = source.ulVal; return S_OK;
    case VT_UINT: number.whole = source.uintVal; return S_OK;
    case VT_BOOL: number.whole = source.boolVal ? -1 : 0; return S_OK;
    case VT_R4: number.integral = false; number.real = source.fltVal; return S_OK;
    case VT_R8: number.integral = false; number.real = source.dblVal; return S_OK;
    case VT_BSTR: {
      std::string text = velkor::BstrToUtf8(source.bstrVal);
      std::size_t first = text.find_first_not_of(" \t");
      std::size_t last = text.find_last_not_of(" \t");
      if (first == std::string::npos) return DISP_E_TYPEMISMATCH;
      text = text.substr(first, last - first + 1);
      if (text == "True" || text == "true" || text == "#TRUE#") { number.whole = -1; return S_OK; }
      if (text == "False" || text == "false" || text == "#FALSE#") { number.whole = 0; return S_OK; }
      errno = 0;
      char* end = nullptr;
      long long whole = std::strtoll(text.c_str(), &end, 10);
      if (end && *end == 0 && errno == 0) { number.whole = whole; return S_OK; }
      errno = 0;
      double real = std::strtod(text.c_str(), &end);
      if (end && *end == 0 && errno == 0 && std::isfinite(real)) {
        number.integral = false;
        number.real = real;
        return S_OK;
      }
      return DISP_E_TYPEMISMATCH;
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

// Reals become integers by rounding half to even, as the platform does.
HRESULT ToWhole(const Number& number, long long& whole) {
  if (number.integral) {
    whole = number.whole;
    return S_OK;
  }
  if (!std::isfinite(number.real) || std::fabs(number.real) > 9.2e18) return DISP_E_OVERFLOW;
  whole = static_cast<long long>(std::nearbyint(number.real));
  return S_OK;
}

template <class T>
HRESULT InRange(long long whole, T& out) {
  if (whole < static_cast<long long>(std::numeric_limits<T>::min()) ||
      whole > static_cast<long long>(std::numeric_limits<T>::max()))
    return DISP_E_OVERFLOW;
  out = static_cast<T>(whole);
  return S_OK;
}

std::string NumberText(const Number& number) {
  if (number.integral) return std::to_string(number.whole);
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", number.real);
  return text;
}

}  // namespace

HRESULT VariantChangeType(VARIANT* destination, const VARIANT* source, USHORT, VARTYPE type) {
  if (!destination || !source) return E_POINTER;
  const VARIANT& from = source->vt == (VT_BYREF | VT_VARIANT) && source->pvarVal ? *source->pvarVal : *source;
  if (from.vt == type) return VariantCopy(destination, &from);
  if (type == VT_VARIANT) return VariantCopy(destination, &from);

  VARIANT result;
  VariantInit(&result);
  result.vt = type;
  if ((type == VT_UNKNOWN || type == VT_DISPATCH) && (from.vt == VT_UNKNOWN || from.vt == VT_DISPATCH)) {
    if (!from.punkVal) {
      result.punkVal = nullptr;
    } else {
      void* object = nullptr;
      HRESULT status = from.punkVal->QueryInterface(type == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &object);
      if (FAILED(status)) return DISP_E_TYPEMISMATCH;
      result.punkVal = static_cast<IUnknown*>(object);
    }
  } else {
    Number number;
    if (from.vt == VT_NULL) return DISP_E_TYPEMISMATCH;
    HRESULT status = ReadNumber(from, number);
    if (FAILED(status)) return status;
    long long whole = 0;
    switch (type) {
      case VT_BSTR: {
        std::string text = from.vt == VT_BOOL ? (from.boolVal ? "True" : "False") : NumberText(number);
        result.bstrVal = velkor::AllocBstr(text);
        if (!result.bstrVal) return E_OUTOFMEMORY;
        break;
      }
      case VT_R8: result.dblVal = number.integral ? static_cast<double>(number.whole) : number.real; break;
      case VT_R4: {
        double value = number.integral ? static_cast<double>(number.whole) : number.real;
        if (std::fabs(value) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
        result.fltVal = static_cast<float>(value);
        break;
      }
      case VT_BOOL:
        result.boolVal = (number.integral ? number.whole != 0 : number.real != 0) ? VARIANT_TRUE : VARIANT_FALSE;
        break;
      default: {
        status = ToWhole(number, whole);
        if (FAILED(status)) return status;
        switch (type) {
          case VT_I1: status = InRange(whole, result.cVal); break;
          case VT_UI1: status = InRange(whole, result.bVal); break;
          case VT_I2: status = InRange(whole, result.iVal); break;
          case VT_UI2: status = InRange(whole, result.uiVal); break;
          case VT_I4: status = InRange(whole, result.lVal); break;
          case VT_INT: status = InRange(whole, result.intVal); break;
          case VT_UI4: status = InRange(whole, result.ulVal); break;
          case VT_UINT: status = InRange(whole, result.uintVal); break;
          default: return DISP_E_BADVARTYPE;
        }
        if (FAILED(status)) return status;
      }
    }
  }
  VariantClear(destination);
  *destination = result;
  return S_OK;
}
