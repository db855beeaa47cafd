#pragma once
// The reference count of an automation object: the last Release destroys it.

#include <atomic>

#include "engine/core/module.h"
#include "velkor/automation_types.h"

namespace velkor::engine {

template <class Object>
class ReferenceCount : private module::Counted {
 public:
  ULONG Increment() { return ++count_; }
  ULONG Decrement(Object* object) {
    ULONG left = --count_;
    if (left == 0) delete object;  // objects are made by MakeObject and owned by their references
    return left;
  }

 private:
  std::atomic<ULONG> count_{1};
};

// Makes an object with one reference; null when memory runs out.
template <class Object, class... Arguments>
Object* MakeObject(Arguments&&... arguments) {
  return new (std::nothrow) Object(std::forward<Arguments>(arguments)...);
}

}  // namespace velkor::engine
