#pragma once
// The library's count of live objects and server locks, which decides
// whether it may be unloaded.

#include <atomic>

#include "velkor/automation_types.h"

namespace velkor::engine::module {

void AddReference();
void RemoveReference();
long References();

// Counts an automation object (or class factory) for its whole life.
class Counted {
 public:
  Counted() { AddReference(); }
  Counted(const Counted&) : Counted() {}
  Counted& operator=(const Counted&) = default;
  ~Counted() { RemoveReference(); }
};

}  // namespace velkor::engine::module
