// libFuzzer entry: arbitrary bytes through the whole compile. A broken
// invariant is a crash, so that the fuzzer keeps the input that caused it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz/compile_one_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const velkor::fuzz::InputReport report = velkor::fuzz::CompileOneInput(std::span(data, size));
  if (report.violations.empty()) return 0;
  for (const std::string& violation : report.violations) std::fprintf(stderr, "violation: %s\n", violation.c_str());
  std::abort();
}
