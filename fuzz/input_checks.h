#pragma once
// The parsers that read what others wrote, each with what must hold for any
// bytes at all. Every check returns the invariants the input broke (empty
// when all held). Shared by the fuzz targets, which abort on a violation,
// and by the regression test that runs their seeds.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace velkor::fuzz {

using Violations = std::vector<std::string>;

// A registry file (UTF-8 or UTF-16): read, written and read again gives the
// same hive; what is not an export is never taken for one.
Violations CheckRegistryText(std::span<const std::uint8_t> bytes);
// An INI file: read and written gives it back byte for byte; setting a key
// changes that key and nothing else.
Violations CheckProfileText(std::span<const std::uint8_t> bytes);
// A stream table (the first byte chooses 1 to 6 axes): every accepted sample
// holds what host mode will take.
Violations CheckSampleTable(std::span<const std::uint8_t> bytes);
// The motors' answers: numbers, checksum answers, host-mode status answers
// and version comparisons, against what they mean.
Violations CheckAnswers(std::span<const std::uint8_t> bytes);

}  // namespace velkor::fuzz
