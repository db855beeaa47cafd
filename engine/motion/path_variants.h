#pragma once
// What crosses the automation boundary for path generation: coordinates
// arriving as a VARIANT, and the sample table leaving as DataPairs.

#include <vector>

#include "engine/motion/path_table.h"
#include "velkor/variant.h"

namespace velkor::engine::motion {

// The coordinates of a one-dimensional array, element i for axis
// i - lower bound + 1. Accepted: an array of doubles (VT_ARRAY | VT_R8) or of
// VARIANTs that hold numbers (VT_ARRAY | VT_VARIANT), either also by
// reference, and a VARIANT by reference to one of those. Anything else, an
// element that is not a finite number, or more than `mostCoordinates`
// elements is error 19.
std::vector<double> ReadCoordinates(const VARIANT& coordinates, std::size_t mostCoordinates);

// A two-dimensional array of doubles, both lower bounds 1: the first index
// runs over the axes and then the clock, the second over the samples. Written
// into `dataPairs` as it comes (an out argument is not cleared first); error
// 31 when the array cannot be made.
void StoreDataPairs(const PathTable& samples, VARIANT& dataPairs);

}  // namespace velkor::engine::motion
