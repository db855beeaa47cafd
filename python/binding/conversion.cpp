#include "python/binding/conversion.h"

#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "python/binding/engine_object.h"
#include "velkor/bstr.h"

namespace velkor::python {

namespace {

struct ArrayDestroyer {
  void operator()(SAFEARRAY* array) const { SafeArrayDestroy(array); }
};
using OwnedArray = std::unique_ptr<SAFEARRAY, ArrayDestroyer>;

bool IsText(py::handle value) { return py::isinstance<py::str>(value) || py::isinstance<py::bytes>(value); }

bool IsSequence(py::handle value) { return !IsText(value) && PySequence_Check(value.ptr()) && py::hasattr(value, "__len__"); }

bool IsNumber(py::handle value) {
  return !py::isinstance<py::bool_>(value) && (py::isinstance<py::int_>(value) || py::isinstance<py::float_>(value));
}

void StoreInteger(py::handle value, VARIANT& variant) {
  int overflow = 0;
  const long long number = PyLong_AsLongLongAndOverflow(value.ptr(), &overflow);
  if (number == -1 && PyErr_Occurred()) throw py::error_already_set();
  if (!overflow && number >= std::numeric_limits<LONG>::min() && number <= std::numeric_limits<LONG>::max()) {
    variant.vt = VT_I4;
    variant.lVal = static_cast<LONG>(number);
  } else if (!overflow && number >= 0 && number <= std::numeric_limits<ULONG>::max()) {
    variant.vt = VT_UI4;  // the 32-bit unsigned members (GetMotorDWord's counterpart) need the top half
    variant.ulVal = static_cast<ULONG>(number);
  } else {
    throw py::value_error("the number " + py::str(value).cast<std::string>() + " does not fit in 32 bits");
  }
}

// One element of a sequence into the array at `indices`.
void PutElement(SAFEARRAY* array, VARTYPE type, const LONG* indices, py::handle element) {
  HRESULT status = S_OK;
  if (type == VT_R8) {
    const double number = element.cast<double>();
    status = SafeArrayPutElement(array, indices, &number);
  } else {
    Variant converted;
    ToVariant(element, converted);
    status = SafeArrayPutElement(array, indices, static_cast<const VARIANT*>(&converted));
  }
  if (FAILED(status)) throw std::bad_alloc();
}

void StoreSequence(py::handle value, VARIANT& variant) {
  const py::sequence outer = py::reinterpret_borrow<py::sequence>(value);
  const std::size_t count = outer.size();
  bool nested = count > 0;
  std::size_t width = 0;
  for (std::size_t i = 0; i < count && nested; ++i) {
    const py::object item = outer[i];
    if (!IsSequence(item)) nested = false;
    else if (i == 0) width = py::len(item);
    else if (py::len(item) != width) throw py::value_error("the rows of a two-dimensional array must be of one length");
  }
  bool numbers = true;
  for (std::size_t i = 0; i < count && numbers; ++i) {
    const py::object item = outer[i];
    if (nested) {
      for (const py::handle element : py::reinterpret_borrow<py::sequence>(item))
        if (!IsNumber(element)) numbers = false;
    } else if (!IsNumber(item)) {
      numbers = false;
    }
  }
  const VARTYPE type = numbers ? VT_R8 : VT_VARIANT;
  OwnedArray array;
  if (nested) {
    // First dimension along a row, second over the rows; lower bounds 0.
    const SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(width), 0}, {static_cast<ULONG>(count), 0}};
    array.reset(SafeArrayCreate(type, 2, bounds));
  } else {
    array.reset(SafeArrayCreateVector(type, 0, static_cast<ULONG>(count)));
  }
  if (!array) throw std::bad_alloc();
  for (std::size_t row = 0; row < count; ++row) {
    const py::object item = outer[row];
    if (nested) {
      const py::sequence inner = py::reinterpret_borrow<py::sequence>(item);
      for (std::size_t column = 0; column < width; ++column) {
        const LONG indices[2] = {static_cast<LONG>(column), static_cast<LONG>(row)};
        PutElement(array.get(), type, indices, inner[column]);
      }
    } else {
      const LONG index = static_cast<LONG>(row);
      PutElement(array.get(), type, &index, item);
    }
  }
  variant.vt = VT_ARRAY | type;
  variant.parray = array.release();
}

// Groups `items` (in memory order) into lists along every dimension but the
// last, which becomes the outer list.
py::object Nest(std::vector<py::object> items, const std::vector<std::size_t>& extents) {
  for (std::size_t d = 0; d + 1 < extents.size(); ++d) {
    std::vector<py::object> grouped;
    const std::size_t size = extents[d];
    for (std::size_t start = 0; start + size <= items.size(); start += size) {
      py::list group(size);
      for (std::size_t k = 0; k < size; ++k) group[k] = std::move(items[start + k]);
      grouped.push_back(std::move(group));
    }
    items = std::move(grouped);
  }
  py::list outer(items.size());
  for (std::size_t k = 0; k < items.size(); ++k) outer[k] = std::move(items[k]);
  return outer;
}

py::object FromArray(SAFEARRAY* array) {
  if (!array) return py::list();
  VARTYPE type = VT_EMPTY;
  if (FAILED(SafeArrayGetVartype(array, &type))) throw py::type_error("an array of unknown element type");
  const UINT dimensions = SafeArrayGetDim(array);
  std::vector<std::size_t> extents;
  std::size_t total = 1;
  for (UINT d = 1; d <= dimensions; ++d) {
    LONG lower = 0;
    LONG upper = -1;
    SafeArrayGetLBound(array, d, &lower);
    SafeArrayGetUBound(array, d, &upper);
    const long long extent = static_cast<long long>(upper) - lower + 1;
    extents.push_back(extent > 0 ? static_cast<std::size_t>(extent) : 0);
    total *= extents.back();
  }
  const UINT size = SafeArrayGetElemsize(array);
  std::vector<py::object> items;
  items.reserve(total);
  void* data = nullptr;
  if (total > 0) {
    if (FAILED(SafeArrayAccessData(array, &data))) throw py::type_error("an array that cannot be read");
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < total; ++i) {
      const unsigned char* element = bytes + i * size;
      if (type == VT_VARIANT) {
        items.push_back(FromVariant(*reinterpret_cast<const VARIANT*>(element)));
      } else {
        // A borrowed copy of the element inside a VARIANT of its type.
        VARIANT view{};
        view.vt = type;
        std::memcpy(&view.lVal, element, std::min<std::size_t>(size, sizeof(DOUBLE)));
        items.push_back(FromVariant(view));
      }
    }
    SafeArrayUnaccessData(array);
  }
  return Nest(std::move(items), extents);
}

}  // namespace

void ToVariant(py::handle value, VARIANT& variant) {
  if (value.is_none()) return;
  if (py::isinstance<py::bool_>(value)) {
    variant.vt = VT_BOOL;
    variant.boolVal = value.cast<bool>() ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (py::isinstance<py::int_>(value) || (!py::isinstance<py::float_>(value) && PyIndex_Check(value.ptr()))) {
    StoreInteger(py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr())), variant);
  } else if (py::isinstance<py::float_>(value)) {
    variant.vt = VT_R8;
    variant.dblVal = value.cast<double>();
  } else if (py::isinstance<py::str>(value)) {
    variant.bstrVal = AllocBstr(value.cast<std::string>());
    variant.vt = VT_BSTR;
  } else if (py::isinstance<EngineObject>(value)) {
    variant.pdispVal = value.cast<const EngineObject&>().Dispatch();
    variant.pdispVal->AddRef();
    variant.vt = VT_DISPATCH;
  } else if (IsSequence(value)) {
    StoreSequence(value, variant);
  } else {
    throw py::type_error("the engine takes no " + py::str(py::type::handle_of(value).attr("__name__")).cast<std::string>());
  }
}

py::object FromVariant(const VARIANT& variant) {
  if (variant.vt == (VT_BYREF | VT_VARIANT)) return variant.pvarVal ? FromVariant(*variant.pvarVal) : py::none();
  if (variant.vt & VT_ARRAY) return FromArray((variant.vt & VT_BYREF) ? *variant.pparray : variant.parray);
  switch (variant.vt) {
    case VT_EMPTY: case VT_NULL: case VT_ERROR: return py::none();
    case VT_BOOL: return py::bool_(variant.boolVal != VARIANT_FALSE);
    case VT_I1: return py::int_(static_cast<signed char>(variant.cVal));
    case VT_UI1: return py::int_(variant.bVal);
    case VT_I2: return py::int_(variant.iVal);
    case VT_UI2: return py::int_(variant.uiVal);
    case VT_I4: return py::int_(variant.lVal);
    case VT_UI4: return py::int_(variant.ulVal);
    case VT_INT: return py::int_(variant.intVal);
    case VT_UINT: return py::int_(variant.uintVal);
    case VT_R4: return py::float_(variant.fltVal);
    case VT_R8: return py::float_(variant.dblVal);
    case VT_BSTR: return py::str(BstrToUtf8(variant.bstrVal));
    case VT_DISPATCH:
      if (!variant.pdispVal) return py::none();
      variant.pdispVal->AddRef();
      return py::cast(EngineObject(ComPtr<IDispatch>::Attach(variant.pdispVal), IID_IDispatch));
    default: throw py::type_error("the engine answered with a value of type " + std::to_string(variant.vt));
  }
}

}  // namespace velkor::python
