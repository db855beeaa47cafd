#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "velkor/bstr.h"
#include "velkor/variant.h"

namespace {

constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;

// As on the platform, the element type is kept just in front of the
// descriptor; the block is allocated as one piece.
struct alignas(std::max_align_t) TypePrefix {
  VARTYPE type;
};

std::size_t DescriptorSize(UINT dimensions) {
  return offsetof(SAFEARRAY, rgsabound) + std::size_t{dimensions} * sizeof(SAFEARRAYBOUND);
}

TypePrefix* PrefixOf(SAFEARRAY* array) {
  return reinterpret_cast<TypePrefix*>(reinterpret_cast<unsigned char*>(array) - sizeof(TypePrefix));
}

ULONG ElementSize(VARTYPE type) {
  switch (type) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_R8: return 8;
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN: case VT_DISPATCH: return sizeof(IUnknown*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

USHORT FeaturesOf(VARTYPE type) {
  switch (type) {
    case VT_BSTR: return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_UNKNOWN: return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH: return FADF_HAVEVARTYPE | FADF_DISPATCH;
    case VT_VARIANT: return FADF_HAVEVARTYPE | FADF_VARIANT;
    default: return FADF_HAVEVARTYPE;
  }
}

// Bounds are stored last dimension first; dimension d (from 1) is here.
SAFEARRAYBOUND& BoundOf(SAFEARRAY* array, UINT dimension) { return array->rgsabound[array->cDims - dimension]; }

std::size_t ElementCount(SAFEARRAY* array) {
  std::size_t count = 1;
  for (UINT d = 0; d < array->cDims; ++d) count *= array->rgsabound[d].cElements;
  return count;
}

// Offset of an element; the first index varies fastest.
HRESULT OffsetOf(SAFEARRAY* array, const LONG* indices, std::size_t& offset) {
  std::size_t position = 0;
  std::size_t stride = 1;
  for (UINT d = 1; d <= array->cDims; ++d) {
    const SAFEARRAYBOUND& bound = BoundOf(array, d);
    const long long relative = static_cast<long long>(indices[d - 1]) - bound.lLbound;
    if (relative < 0 || relative >= static_cast<long long>(bound.cElements)) return DISP_E_BADINDEX;
    position += static_cast<std::size_t>(relative) * stride;
    stride *= bound.cElements;
  }
  offset = position * array->cbElements;
  return S_OK;
}

void ReleaseElements(SAFEARRAY* array) {
  if (!array->pvData) return;
  const std::size_t count = ElementCount(array);
  if (array->fFeatures & FADF_BSTR) {
    auto* items = static_cast<BSTR*>(array->pvData);
    for (std::size_t i = 0; i < count; ++i) SysFreeString(items[i]);
  } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* items = static_cast<IUnknown**>(array->pvData);
    for (std::size_t i = 0; i < count; ++i)
      if (items[i]) items[i]->Release();
  } else if (array->fFeatures & FADF_VARIANT) {
    auto* items = static_cast<VARIANT*>(array->pvData);
    for (std::size_t i = 0; i < count; ++i) VariantClear(&items[i]);
  }
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE type, UINT dimensions, const SAFEARRAYBOUND* bounds) {
  const ULONG elementSize = ElementSize(type);
  if (elementSize == 0 || dimensions == 0 || dimensions > 64 || !bounds) return nullptr;
  std::size_t count = 1;
  for (UINT d = 0; d < dimensions; ++d) {
    if (bounds[d].cElements != 0 && count > std::numeric_limits<std::size_t>::max() / 64 / bounds[d].cElements)
      return nullptr;
    count *= bounds[d].cElements;
  }
  if (count > (std::size_t{1} << 32)) return nullptr;

  auto* block = static_cast<unsigned char*>(std::calloc(1, sizeof(TypePrefix) + DescriptorSize(dimensions)));
  if (!block) return nullptr;
  auto* array = reinterpret_cast<SAFEARRAY*>(block + sizeof(TypePrefix));
  reinterpret_cast<TypePrefix*>(block)->type = type;
  array->cDims = static_cast<USHORT>(dimensions);
  array->fFeatures = FeaturesOf(type);
  array->cbElements = elementSize;
  for (UINT d = 1; d <= dimensions; ++d) BoundOf(array, d) = bounds[d - 1];
  if (count > 0) {
    array->pvData = std::calloc(count, elementSize);  // zero is VT_EMPTY, null BSTR, 0.0
    if (!array->pvData) {
      std::free(block);
      return nullptr;
    }
  }
  return array;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE type, LONG lowerBound, ULONG elements) {
  SAFEARRAYBOUND bound{elements, lowerBound};
  return SafeArrayCreate(type, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
  if (!array) return S_OK;
  if (array->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ReleaseElements(array);
  std::free(array->pvData);
  std::free(PrefixOf(array));
  return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* array) { return array ? array->cDims : 0; }
UINT SafeArrayGetElemsize(SAFEARRAY* array) { return array ? array->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* array, VARTYPE* type) {
  if (!array || !type) return E_INVALIDARG;
  *type = PrefixOf(array)->type;
  return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
  if (!array || !bound) return E_INVALIDARG;
  if (dimension < 1 || dimension > array->cDims) return DISP_E_BADINDEX;
  *bound = BoundOf(array, dimension).lLbound;
  return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, UINT dimension, LONG* bound) {
  if (!array || !bound) return E_INVALIDARG;
  if (dimension < 1 || dimension > array->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = BoundOf(array, dimension);
  *bound = static_cast<LONG>(static_cast<long long>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT SafeArrayPtrOfIndex(SAFEARRAY* array, const LONG* indices, void** element) {
  if (!array || !indices || !element) return E_INVALIDARG;
  std::size_t offset = 0;
  HRESULT status = OffsetOf(array, indices, offset);
  if (FAILED(status)) return status;
  *element = static_cast<unsigned char*>(array->pvData) + offset;
  return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, const LONG* indices, void* element) {
  void* slot = nullptr;
  if (!element) return E_INVALIDARG;
  HRESULT status = SafeArrayPtrOfIndex(array, indices, &slot);
  if (FAILED(status)) return status;
  // Copies, as the platform does: the caller owns what it gets.
  if (array->fFeatures & FADF_BSTR) {
    BSTR source = *static_cast<BSTR*>(slot);
    BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
    if (source && !copy) return E_OUTOFMEMORY;
    *static_cast<BSTR*>(element) = copy;
  } else if (array->fFeatures & FADF_VARIANT) {
    auto* target = static_cast<VARIANT*>(element);
    VariantInit(target);
    return VariantCopy(target, static_cast<VARIANT*>(slot));
  } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    IUnknown* object = *static_cast<IUnknown**>(slot);
    if (object) object->AddRef();
    *static_cast<IUnknown**>(element) = object;
  } else {
    std::memcpy(element, slot, array->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const LONG* indices, const void* element) {
  void* slot = nullptr;
  HRESULT status = SafeArrayPtrOfIndex(array, indices, &slot);
  if (FAILED(status)) return status;
  if (array->fFeatures & FADF_BSTR) {
    BSTR source = element ? static_cast<BSTR>(const_cast<void*>(element)) : nullptr;
    BSTR copy = source ? SysAllocStringLen(source, SysStringLen(source)) : nullptr;
    if (source && !copy) return E_OUTOFMEMORY;
    SysFreeString(*static_cast<BSTR*>(slot));
    *static_cast<BSTR*>(slot) = copy;
  } else if (array->fFeatures & FADF_VARIANT) {
    if (!element) return E_INVALIDARG;
    return VariantCopy(static_cast<VARIANT*>(slot), static_cast<const VARIANT*>(element));
  } else if (array->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* object = static_cast<IUnknown*>(const_cast<void*>(element));
    if (object) object->AddRef();
    if (auto* old = *static_cast<IUnknown**>(slot)) old->Release();
    *static_cast<IUnknown**>(slot) = object;
  } else {
    if (!element) return E_INVALIDARG;
    std::memcpy(slot, element, array->cbElements);
  }
  return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* array) {
  if (!array) return E_INVALIDARG;
  ++array->cLocks;
  return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* array) {
  if (!array) return E_INVALIDARG;
  if (array->cLocks == 0) return E_UNEXPECTED;
  --array->cLocks;
  return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* array, void** data) {
  if (!array || !data) return E_INVALIDARG;
  ++array->cLocks;
  *data = array->pvData;
  return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* array) { return SafeArrayUnlock(array); }

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** copy) {
  if (!source || !copy) return E_INVALIDARG;
  *copy = nullptr;
  if (source->cDims == 0 || source->cDims > 64) return E_INVALIDARG;
  SAFEARRAYBOUND bounds[64];
  for (UINT d = 1; d <= source->cDims; ++d) bounds[d - 1] = BoundOf(source, d);
  SAFEARRAY* result = SafeArrayCreate(PrefixOf(source)->type, source->cDims, bounds);
  if (!result) return E_OUTOFMEMORY;
  const std::size_t count = ElementCount(source);
  if (source->fFeatures & FADF_BSTR) {
    auto* from = static_cast<BSTR*>(source->pvData);
    auto* to = static_cast<BSTR*>(result->pvData);
    for (std::size_t i = 0; i < count; ++i) {
      if (!from[i]) continue;
      to[i] = SysAllocStringLen(from[i], SysStringLen(from[i]));
      if (!to[i]) {
        SafeArrayDestroy(result);
        return E_OUTOFMEMORY;
      }
    }
  } else if (source->fFeatures & FADF_VARIANT) {
    auto* from = static_cast<VARIANT*>(source->pvData);
    auto* to = static_cast<VARIANT*>(result->pvData);
    for (std::size_t i = 0; i < count; ++i) {
      HRESULT status = VariantCopy(&to[i], &from[i]);
      if (FAILED(status)) {
        SafeArrayDestroy(result);
        return status;
      }
    }
  } else if (source->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) {
    auto* from = static_cast<IUnknown**>(source->pvData);
    auto* to = static_cast<IUnknown**>(result->pvData);
    for (std::size_t i = 0; i < count; ++i)
      if ((to[i] = from[i])) to[i]->AddRef();
  } else if (count > 0) {
    std::memcpy(result->pvData, source->pvData, count * source->cbElements);
  }
  *copy = result;
  return S_OK;
}
