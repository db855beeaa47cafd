#include "engine/core/module.h"

namespace velkor::engine::module {

namespace {
std::atomic<long> references{0};
}

void AddReference() { ++references; }
void RemoveReference() { --references; }
long References() { return references.load(); }

}  // namespace velkor::engine::module
