// Path generation as clients see it: coordinates arriving in the VARIANT
// forms clients use, and DataPairs coming back from the host object of the
// built library, early and late bound.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/core/errors.h"
#include "engine/motion/path_geometry.h"
#include "engine/motion/path_variants.h"
#include "tests/support/engine_error.h"
#include "tests/support/engine_failure.h"
#include "tests/support/test_environment.h"
#include "velkor/automation.h"
#include "velkor/dispatch.h"
#include "velkor/interfaces.h"

using velkor::testing::ErrorCodeOf;

namespace velkor::engine::motion {
namespace {

using ::velkor::testing::TakeFailure;

// A one-dimensional array of `type` from `lowerBound`, in a VARIANT.
template <class Element>
Variant ArrayOf(VARTYPE type, const std::vector<Element>& elements, LONG lowerBound = 1) {
  Variant array;
  array.vt = VT_ARRAY | type;
  array.parray = SafeArrayCreateVector(type, lowerBound, static_cast<ULONG>(elements.size()));
  for (std::size_t i = 0; i < elements.size(); ++i) {
    const LONG index = lowerBound + static_cast<LONG>(i);
    SafeArrayPutElement(array.parray, &index, &elements[i]);
  }
  return array;
}
Variant Doubles(const std::vector<double>& values, LONG lowerBound = 1) { return ArrayOf(VT_R8, values, lowerBound); }
Variant Variants(const std::vector<VARIANT>& elements, LONG lowerBound = 1) {
  return ArrayOf(VT_VARIANT, elements, lowerBound);
}

VARIANT Number(VARTYPE type, double value) {
  VARIANT number;
  VariantInit(&number);
  number.vt = type;
  switch (type) {
    case VT_I2: number.iVal = static_cast<SHORT>(value); break;
    case VT_I4: number.lVal = static_cast<LONG>(value); break;
    case VT_R4: number.fltVal = static_cast<FLOAT>(value); break;
    default: number.dblVal = value; break;
  }
  return number;
}

// A caller's variable, passed by reference.
VARIANT Reference(VARTYPE type, void* variable) {
  VARIANT reference;
  VariantInit(&reference);
  reference.vt = VT_BYREF | type;
  reference.byref = variable;
  return reference;
}

std::uint32_t ReadError(const VARIANT& coordinates) {
  return ErrorCodeOf([&] { ReadCoordinates(coordinates, kMostAxes); });
}

TEST(PathCoordinates, ArraysOfDoublesCountFromTheirLowerBound) {
  EXPECT_EQ(ReadCoordinates(Doubles({300, 400}), kMostAxes), (std::vector<double>{300, 400}));
  EXPECT_EQ(ReadCoordinates(Doubles({1, 2, 3}, 0), kMostAxes), (std::vector<double>{1, 2, 3}));
  EXPECT_EQ(ReadCoordinates(Doubles({-5}, -7), kMostAxes), (std::vector<double>{-5}));
  EXPECT_TRUE(ReadCoordinates(Doubles({}), kMostAxes).empty());
}

TEST(PathCoordinates, ArraysOfVariantsAndReferencesAreReadAsNumbers) {
  double referenced = 2.5;
  const Variant mixed =
      Variants({Number(VT_I4, 7), Number(VT_R4, 0.5), Number(VT_I2, -3), Reference(VT_R8, &referenced)}, 0);
  EXPECT_EQ(ReadCoordinates(mixed, kMostAxes), (std::vector<double>{7, 0.5, -3, 2.5}));

  // The whole array by reference, in both forms.
  Variant doubles = Doubles({1, 2});
  EXPECT_EQ(ReadCoordinates(Reference(VT_ARRAY | VT_R8, &doubles.parray), kMostAxes), (std::vector<double>{1, 2}));
  EXPECT_EQ(ReadCoordinates(Reference(VT_VARIANT, &doubles), kMostAxes), (std::vector<double>{1, 2}));
}

TEST(PathCoordinates, AnythingElseIsInvalidData) {
  EXPECT_EQ(ReadError(Variant()), 19u) << "empty";
  const VARIANT scalar = Number(VT_R8, 3);
  EXPECT_EQ(ReadError(scalar), 19u) << "a number, not an array";
  EXPECT_EQ(ReadError(ArrayOf(VT_I4, std::vector<LONG>{1, 2})), 19u) << "an array of longs";
  EXPECT_EQ(ReadError(Doubles(std::vector<double>(7, 1))), 19u) << "more coordinates than axes";
  EXPECT_EQ(ReadError(Doubles({1, std::numeric_limits<double>::quiet_NaN()})), 19u);
  EXPECT_EQ(ReadError(Doubles({std::numeric_limits<double>::infinity()})), 19u);

  Variant text;
  text.vt = VT_BSTR;
  text.bstrVal = AllocBstr("12");
  EXPECT_EQ(ReadError(Variants({Number(VT_R8, 1), text})), 19u) << "a string is no coordinate";
  VARIANT flag;
  VariantInit(&flag);
  flag.vt = VT_BOOL;
  flag.boolVal = VARIANT_TRUE;
  EXPECT_EQ(ReadError(Variants({flag})), 19u);
  EXPECT_EQ(ReadError(Variants({VARIANT{}})), 19u) << "an empty element";

  const SAFEARRAYBOUND bounds[2] = {{2, 1}, {2, 1}};
  Variant square;
  square.vt = VT_ARRAY | VT_R8;
  square.parray = SafeArrayCreate(VT_R8, 2, bounds);
  EXPECT_EQ(ReadError(square), 19u) << "two dimensions";

  Variant mislabelled = Variants({Number(VT_R8, 1), Number(VT_R8, 2)});
  mislabelled.vt = VT_ARRAY | VT_R8;
  EXPECT_EQ(ReadError(mislabelled), 19u) << "the array holds VARIANTs, not doubles";

  VARIANT missing;
  VariantInit(&missing);
  missing.vt = VT_ARRAY | VT_R8;
  EXPECT_EQ(ReadError(missing), 19u) << "no array at all";
}

// The host object from the built library, as a client creates it.
class PathInterfaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(CreateObject("VNXEngine.VNXHost", IID_IVNXPath, path_.OutVoid()), S_OK);
  }
  void Standard() {
    ASSERT_EQ(path_->put_TimeDelta(10), S_OK);
    ASSERT_EQ(path_->put_Acceleration(1), S_OK);
  }
  LONG StartClock() {
    LONG clock = -1;
    path_->get_StartClock(&clock);
    return clock;
  }

  ::velkor::testing::TemporaryRegistry registry_;
  ComPtr<IVNXPath> path_;
};

struct Bounds {
  LONG firstRow = 0, lastRow = 0, firstSample = 0, lastSample = 0;
};

Bounds BoundsOf(SAFEARRAY* array) {
  Bounds bounds;
  SafeArrayGetLBound(array, 1, &bounds.firstRow);
  SafeArrayGetUBound(array, 1, &bounds.lastRow);
  SafeArrayGetLBound(array, 2, &bounds.firstSample);
  SafeArrayGetUBound(array, 2, &bounds.lastSample);
  return bounds;
}

double At(SAFEARRAY* array, LONG row, LONG sample) {
  const LONG indices[2] = {row, sample};
  double value = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(SafeArrayGetElement(array, indices, &value), S_OK);
  return value;
}

TEST_F(PathInterfaceTest, DataPairsHoldTheAxesThenTheClockOfEverySample) {
  Standard();
  ASSERT_EQ(path_->put_StartClock(5), S_OK);
  Variant pairs;
  ASSERT_EQ(path_->CreateLinePath(10, Doubles({300, 400}), &pairs), S_OK);
  ASSERT_EQ(pairs.vt, VT_ARRAY | VT_R8);
  SAFEARRAY* array = pairs.parray;
  ASSERT_EQ(SafeArrayGetDim(array), 2u);
  VARTYPE type = VT_EMPTY;
  SafeArrayGetVartype(array, &type);
  EXPECT_EQ(type, VT_R8);
  const Bounds bounds = BoundsOf(array);
  EXPECT_EQ(bounds.firstRow, 1);
  EXPECT_EQ(bounds.lastRow, 3) << "two axes and the clock";
  EXPECT_EQ(bounds.firstSample, 1);
  const LONG samples = bounds.lastSample;
  ASSERT_GT(samples, 2);

  for (LONG sample = 1; sample <= samples; ++sample) EXPECT_EQ(At(array, 3, sample), 5 + 10 * (sample - 1));
  EXPECT_EQ(At(array, 1, 1), 0);
  EXPECT_NEAR(At(array, 1, samples), 300, 1e-9);
  EXPECT_NEAR(At(array, 2, samples), 400, 1e-9);
  EXPECT_EQ(StartClock(), 5 + 10 * samples);

  // The first index runs fastest in memory.
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
  const auto* values = static_cast<const double*>(data);
  EXPECT_EQ(values[3 * 1 + 0], At(array, 1, 2));
  EXPECT_EQ(values[3 * 1 + 1], At(array, 2, 2));
  EXPECT_EQ(values[3 * 1 + 2], 15);
  SafeArrayUnaccessData(array);
}

TEST_F(PathInterfaceTest, LengthsGiveTheirSamplesAndAnEmptyTableForNothing) {
  Standard();
  Variant pairs;
  ASSERT_EQ(path_->GeneratePath(10, 1000, &pairs), S_OK);
  Bounds bounds = BoundsOf(pairs.parray);
  EXPECT_EQ(bounds.lastRow, 2);
  ASSERT_EQ(bounds.lastSample, 11);
  EXPECT_EQ(At(pairs.parray, 1, 1), 50);
  EXPECT_EQ(At(pairs.parray, 2, 1), 10);
  EXPECT_EQ(At(pairs.parray, 1, 11), 1000);
  EXPECT_EQ(At(pairs.parray, 2, 11), 110);

  Variant none;
  ASSERT_EQ(path_->GeneratePath(10, 0, &none), S_OK);
  ASSERT_EQ(none.vt, VT_ARRAY | VT_R8);
  bounds = BoundsOf(none.parray);
  EXPECT_EQ(bounds.lastRow, 2);
  EXPECT_EQ(bounds.firstSample, 1);
  EXPECT_EQ(bounds.lastSample, 0) << "no samples";

  Variant one;
  ASSERT_EQ(path_->CreatePath(10, 0, &one), S_OK);
  bounds = BoundsOf(one.parray);
  ASSERT_EQ(bounds.lastSample, 1);
  EXPECT_EQ(At(one.parray, 1, 1), 0);
  EXPECT_EQ(At(one.parray, 2, 1), 130) << "twelve samples, then the empty path's one";
}

// Whether every sample of a table lies in the first quadrant.
bool InFirstQuadrant(SAFEARRAY* array) {
  const Bounds bounds = BoundsOf(array);
  for (LONG sample = 1; sample <= bounds.lastSample; ++sample)
    if (At(array, 1, sample) < -1e-9 || At(array, 2, sample) < -1e-9) return false;
  return true;
}

TEST_F(PathInterfaceTest, ArcsTakeVariantArraysAndTheirDirection) {
  Standard();
  ASSERT_EQ(path_->put_TimeDelta(1), S_OK);
  ASSERT_EQ(path_->put_StartPoint(1, 10), S_OK);
  const Variant center = Doubles({0, 0}, 0);
  Variant quarter;
  ASSERT_EQ(path_->CreateArcPath(2, Variants({Number(VT_I4, 0), Number(VT_I4, 10)}), center, vnx_counterclockwise,
                                 &quarter),
            S_OK);
  EXPECT_TRUE(InFirstQuadrant(quarter.parray));
  const LONG quarterSamples = BoundsOf(quarter.parray).lastSample;
  EXPECT_GT(quarterSamples, 5);

  // Now at (0, 10): clockwise is the short way back to (10, 0).
  Variant back;
  ASSERT_EQ(path_->CreateArcPath(2, Doubles({10, 0}), center, vnx_clockwise, &back), S_OK);
  EXPECT_TRUE(InFirstQuadrant(back.parray));
  EXPECT_EQ(BoundsOf(back.parray).lastSample, quarterSamples);
  EXPECT_NEAR(At(back.parray, 1, quarterSamples), 10, 1e-9);

  Variant again;
  ASSERT_EQ(path_->CreateArcPath(2, Doubles({0, 10}), center, static_cast<enum_arcdirection>(5), &again), S_OK)
      << "anything but clockwise is counterclockwise";
  EXPECT_TRUE(InFirstQuadrant(again.parray));
  EXPECT_EQ(BoundsOf(again.parray).lastSample, quarterSamples);
}

TEST_F(PathInterfaceTest, FailuresTellTheirCodeAndLeaveTheResultAlone) {
  Variant pairs;
  EXPECT_EQ(path_->GeneratePath(10, 100, &pairs), E_FAIL) << "TimeDelta 0";
  auto failure = TakeFailure();
  EXPECT_EQ(failure.description, "Invalid Data!");
  EXPECT_EQ(failure.helpContext, 19u);
  EXPECT_EQ(failure.iid, IID_IVNXPath);
  EXPECT_EQ(pairs.vt, VT_EMPTY);

  Standard();
  EXPECT_EQ(path_->CreateLinePath(10, Doubles(std::vector<double>(7, 1)), &pairs), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(path_->CreatePath(1e-9, 1000, &pairs), E_FAIL) << "beyond the sample limit";
  failure = TakeFailure();
  EXPECT_EQ(failure.description, "Out of memory!");
  EXPECT_EQ(failure.helpContext, 31u);
  EXPECT_EQ(path_->CreatePath(10, 100, nullptr), E_POINTER);
  EXPECT_EQ(StartClock(), 0) << "nothing was generated";
  EXPECT_EQ(pairs.vt, VT_EMPTY);
}

TEST_F(PathInterfaceTest, PropertiesKeepTheirValuesAndSetupTimeDeltaSetsOnlyTheStep) {
  ASSERT_EQ(path_->put_EndSpeed(2), S_OK);
  ASSERT_EQ(path_->put_StartSpeed(3), S_OK);
  ASSERT_EQ(path_->put_Acceleration(4), S_OK);
  ASSERT_EQ(path_->put_StartClock(50), S_OK);
  ASSERT_EQ(path_->put_Plane(2), S_OK);
  ASSERT_EQ(path_->put_StartPoint(6, -1.5), S_OK);
  ASSERT_EQ(path_->put_SlowToEndSpeed(7), S_OK);

  const VARIANT minimum = Number(VT_I4, 1), allowed = Number(VT_I4, 2), preceding = Number(VT_I4, 3);
  ASSERT_EQ(path_->SetupTimeDelta(8, minimum, allowed, preceding), S_OK);

  // Read back only after every one is set, so that no property stands in for another.
  const auto read = [&]<class Value>(HRESULT (IVNXPath::*get)(Value*)) {
    Value value{};
    EXPECT_EQ((path_.get()->*get)(&value), S_OK);
    return value;
  };
  EXPECT_EQ(read(&IVNXPath::get_TimeDelta), 8);
  EXPECT_EQ(read(&IVNXPath::get_EndSpeed), 2);
  EXPECT_EQ(read(&IVNXPath::get_StartSpeed), 3);
  EXPECT_EQ(read(&IVNXPath::get_Acceleration), 4);
  EXPECT_EQ(read(&IVNXPath::get_StartClock), 50);
  EXPECT_EQ(read(&IVNXPath::get_Plane), 2);
  EXPECT_EQ(read(&IVNXPath::get_SlowToEndSpeed), 1) << "any non-zero value is stored as 1";
  double real = 0;
  path_->get_StartPoint(6, &real);
  EXPECT_EQ(real, -1.5);

  EXPECT_EQ(path_->SetupTimeDelta(-1, minimum, allowed, preceding), E_FAIL);
  EXPECT_EQ(path_->put_Plane(3), E_FAIL);
  EXPECT_EQ(path_->get_StartPoint(7, &real), E_FAIL);
  EXPECT_EQ(TakeFailure().helpContext, 19u);
  EXPECT_EQ(path_->get_TimeDelta(nullptr), E_POINTER);
}

TEST_F(PathInterfaceTest, LateBoundCallsGiveTheSameTable) {
  Standard();
  // The dispatch part of IVNXPath itself: the object's default IDispatch is IVNXComm's.
  IDispatch* dispatch = path_.get();
  std::u16string name = u"CreateLinePath";
  LPOLESTR names[] = {name.data()};
  DISPID dispid = 0;
  ASSERT_EQ(dispatch->GetIDsOfNames(GUID_NULL, names, 1, 0, &dispid), S_OK);

  // Arguments in reverse order; the end point by reference, as scripts pass variables.
  Variant end = Doubles({3, 4});
  VARIANT arguments[2] = {Reference(VT_VARIANT, &end), Number(VT_I4, 1)};
  DISPPARAMS parameters{arguments, nullptr, 2, 0};
  Variant result;
  ASSERT_EQ(dispatch->Invoke(dispid, GUID_NULL, 0, DISPATCH_METHOD, &parameters, &result, nullptr, nullptr), S_OK);
  ASSERT_EQ(result.vt, VT_ARRAY | VT_R8);
  const Bounds bounds = BoundsOf(result.parray);
  EXPECT_EQ(bounds.lastRow, 3);
  EXPECT_NEAR(At(result.parray, 1, bounds.lastSample), 3, 1e-9);
  EXPECT_NEAR(At(result.parray, 2, bounds.lastSample), 4, 1e-9);
}

}  // namespace
}  // namespace velkor::engine::motion
