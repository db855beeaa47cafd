#pragma once
// The samples of one generated path in the order a client receives them:
// per sample the position of each axis, then the clock. The values lie in
// one block with the axes of a sample side by side, which is also the memory
// order of the automation array built from it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velkor::engine::motion {

class PathTable {
 public:
  PathTable() = default;
  // Room for `samples` samples is reserved; std::bad_alloc when there is none.
  PathTable(std::int32_t axisCount, std::size_t samples) : axisCount_(axisCount) {
    values_.reserve(Stride() * samples);
  }

  std::int32_t AxisCount() const { return axisCount_; }
  std::size_t Size() const { return values_.size() / Stride(); }
  bool Empty() const { return values_.empty(); }
  // Axis from 0.
  double Position(std::size_t sample, std::int32_t axis) const {
    return values_[sample * Stride() + static_cast<std::size_t>(axis)];
  }
  std::int32_t Clock(std::size_t sample) const {
    return static_cast<std::int32_t>(values_[sample * Stride() + Stride() - 1]);
  }
  // AxisCount() + 1 values per sample, the clock last.
  std::span<const double> Values() const { return values_; }

  // `positions` holds at least AxisCount() values; the first of them are used.
  void Append(const double* positions, std::int32_t clock) {
    values_.insert(values_.end(), positions, positions + axisCount_);
    values_.push_back(static_cast<double>(clock));
  }

 private:
  std::size_t Stride() const { return static_cast<std::size_t>(axisCount_) + 1; }

  std::int32_t axisCount_ = 0;
  std::vector<double> values_;
};

}  // namespace velkor::engine::motion
