#include "engine/motion/path_variants.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "engine/core/errors.h"

namespace velkor::engine::motion {

namespace {

[[noreturn]] void Refuse() { throw CVNXException(ErrorCode::InvalidData); }

// The one level of indirection a caller's variable adds.
const VARIANT& Referenced(const VARIANT& value) {
  return value.vt == (VT_BYREF | VT_VARIANT) && value.pvarVal ? *value.pvarVal : value;
}

template <class T>
double Scalar(const VARIANT& value, T direct) {
  return (value.vt & VT_BYREF) ? static_cast<double>(*static_cast<const T*>(value.byref)) : static_cast<double>(direct);
}

// A number held by an element of a VARIANT array, directly or by reference;
// booleans, strings and the like are not coordinates.
std::optional<double> NumberOf(const VARIANT& element) {
  const VARIANT& value = Referenced(element);
  if ((value.vt & VT_ARRAY) || ((value.vt & VT_BYREF) && !value.byref)) return std::nullopt;
  switch (value.vt & ~VT_BYREF) {
    case VT_R8: return Scalar(value, value.dblVal);
    case VT_R4: return Scalar(value, value.fltVal);
    case VT_I1: return Scalar(value, static_cast<signed char>(value.cVal));
    case VT_UI1: return Scalar(value, value.bVal);
    case VT_I2: return Scalar(value, value.iVal);
    case VT_UI2: return Scalar(value, value.uiVal);
    case VT_I4: return Scalar(value, value.lVal);
    case VT_UI4: return Scalar(value, value.ulVal);
    case VT_INT: return Scalar(value, value.intVal);
    case VT_UINT: return Scalar(value, value.uintVal);
    default: return std::nullopt;
  }
}

// Holds the array's data in place while it is read.
class AccessedData {
 public:
  explicit AccessedData(SAFEARRAY* array) : array_(array) {
    if (FAILED(SafeArrayAccessData(array_, &data_))) Refuse();
  }
  AccessedData(const AccessedData&) = delete;
  AccessedData& operator=(const AccessedData&) = delete;
  ~AccessedData() { SafeArrayUnaccessData(array_); }
  void* get() const { return data_; }

 private:
  SAFEARRAY* array_;
  void* data_ = nullptr;
};

}  // namespace

std::vector<double> ReadCoordinates(const VARIANT& coordinates, std::size_t mostCoordinates) {
  const VARIANT& value = Referenced(coordinates);
  const VARTYPE element = value.vt & VT_TYPEMASK;
  if ((value.vt & ~(VT_BYREF | VT_TYPEMASK)) != VT_ARRAY || (element != VT_R8 && element != VT_VARIANT)) Refuse();
  SAFEARRAY* array = (value.vt & VT_BYREF) ? (value.pparray ? *value.pparray : nullptr) : value.parray;
  if (!array || SafeArrayGetDim(array) != 1) Refuse();
  // The array itself must hold what the VARIANT says it holds.
  VARTYPE stored = VT_EMPTY;
  const UINT size = element == VT_R8 ? sizeof(double) : sizeof(VARIANT);
  if (FAILED(SafeArrayGetVartype(array, &stored)) || stored != element || SafeArrayGetElemsize(array) != size)
    Refuse();

  LONG lower = 0;
  LONG upper = 0;
  if (FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper))) Refuse();
  const long long count = static_cast<long long>(upper) - lower + 1;
  if (count < 0 || static_cast<unsigned long long>(count) > mostCoordinates) Refuse();

  std::vector<double> values(static_cast<std::size_t>(count));
  if (values.empty()) return values;
  AccessedData data(array);
  if (!data.get()) Refuse();
  for (std::size_t i = 0; i < values.size(); ++i) {
    std::optional<double> number;
    if (element == VT_R8) number = static_cast<const double*>(data.get())[i];
    else number = NumberOf(static_cast<const VARIANT*>(data.get())[i]);
    if (!number || !std::isfinite(*number)) Refuse();
    values[i] = *number;
  }
  return values;
}

void StoreDataPairs(const PathTable& samples, VARIANT& dataPairs) {
  const SAFEARRAYBOUND bounds[2] = {{static_cast<ULONG>(samples.AxisCount() + 1), 1},
                                    {static_cast<ULONG>(samples.Size()), 1}};
  SAFEARRAY* array = SafeArrayCreate(VT_R8, 2, bounds);
  if (!array) throw CVNXException(ErrorCode::OutOfMemory);
  if (!samples.Empty()) {
    void* data = nullptr;
    SafeArrayAccessData(array, &data);
    std::memcpy(data, samples.Values().data(), samples.Values().size_bytes());
    SafeArrayUnaccessData(array);
  }
  VariantInit(&dataPairs);
  dataPairs.vt = VT_ARRAY | VT_R8;
  dataPairs.parray = array;
}

}  // namespace velkor::engine::motion
