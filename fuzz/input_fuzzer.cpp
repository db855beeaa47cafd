// libFuzzer entry for one of the input checks, chosen when it is built
// (VELKOR_FUZZ_CHECK names the function). A broken invariant is a crash, so
// that the fuzzer keeps the input that caused it.

#include <cstdio>
#include <cstdlib>

#include "fuzz/input_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const velkor::fuzz::Violations violations = velkor::fuzz::VELKOR_FUZZ_CHECK(std::span(data, size));
  if (violations.empty()) return 0;
  for (const std::string& violation : violations) std::fprintf(stderr, "violation: %s\n", violation.c_str());
  std::abort();
}
