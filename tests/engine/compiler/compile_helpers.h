#pragma once
// Shorthands for the compiler tests: compile a text, list its diagnostics
// and tokens.

#include <string>
#include <tuple>
#include <vector>

#include "engine/compiler/compiler.h"
#include "engine/compiler/tokenizer.h"

namespace velkor::testing {

// Code, line and column of a diagnostic, as the error list reports them.
using Place = std::tuple<int, int, int>;

inline std::vector<Place> PlacesOf(const engine::compiler::Compiler& compiler) {
  std::vector<Place> places;
  for (const auto& record : compiler.Errors().Records()) places.emplace_back(record.code, record.line, record.column);
  return places;
}

inline std::vector<Place> Diagnose(const std::string& program, int maxErrors = 50, int maxWarnings = 50) {
  engine::compiler::Compiler compiler;
  compiler.SetMaxErrors(maxErrors);
  compiler.SetMaxWarnings(maxWarnings);
  compiler.Compile(program);
  return PlacesOf(compiler);
}

// The image of a program that must compile without errors.
inline std::string ImageOf(const std::string& program) {
  engine::compiler::Compiler compiler;
  compiler.Compile(program);
  if (compiler.Errors().ErrorCount() != 0) return "<errors>";
  return compiler.Image();
}

// The header and label table stripped: the body alone.
inline std::string BodyOf(const std::string& image) {
  if (image.size() < 27) return image;
  const std::size_t slots = std::stoul(image.substr(23, 4), nullptr, 16);
  return image.substr(27 + 4 * slots);
}

}  // namespace velkor::testing
