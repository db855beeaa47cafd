#include "sim/firmware/expression.h"

#include <cctype>
#include <charconv>
#include <string_view>

namespace velkor::sim {
namespace {

constexpr std::string_view kOperators = "+-*/%&|^";

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '[' || c == ']' || c == '_';
}

std::optional<std::int32_t> Term(std::string_view text, const ValueLookup& lookup) {
  if (text.empty()) return std::nullopt;
  if (auto number = ParseNumber(text)) return number;
  for (char c : text) {
    if (!IsNameChar(c)) return std::nullopt;
  }
  return lookup(text);
}

std::int32_t Wrap(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::optional<std::int32_t> Apply(char op, std::int32_t left, std::int32_t right) {
  std::int64_t a = left;
  std::int64_t b = right;
  switch (op) {
    case '+': return Wrap(a + b);
    case '-': return Wrap(a - b);
    case '*': return Wrap(a * b);
    case '/': return b == 0 ? 0 : Wrap(a / b);
    case '%': return b == 0 ? 0 : Wrap(a % b);
    case '&': return left & right;
    case '|': return left | right;
    case '^': return left ^ right;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::int32_t> ParseNumber(std::string_view text) {
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return std::nullopt;
  // Numbers from 2^31 to 2^32-1 are taken as their 32-bit pattern, as a
  // motor that keeps only 32 bits would.
  if (value < INT32_MIN || value > static_cast<std::int64_t>(UINT32_MAX)) return std::nullopt;
  return Wrap(value);
}

std::optional<std::int32_t> EvaluateExpression(std::string_view text, const ValueLookup& lookup) {
  // The first character may be the sign of the first term; the operator is
  // the first operator character after it.
  std::size_t at = 1;
  while (at < text.size() && kOperators.find(text[at]) == std::string_view::npos) ++at;
  if (at >= text.size()) return Term(text, lookup);
  auto left = Term(text.substr(0, at), lookup);
  auto right = Term(text.substr(at + 1), lookup);
  if (!left || !right) return std::nullopt;
  return Apply(text[at], *left, *right);
}

std::optional<bool> EvaluateComparison(std::string_view text, const ValueLookup& lookup) {
  struct Relation {
    std::string_view token;
    int kind;
  };
  // Two-character relations first so that "<=" is not read as "<".
  static constexpr Relation kRelations[] = {{"==", 0}, {"!=", 1}, {"<>", 1}, {"<=", 2},
                                            {">=", 3}, {"<", 4},  {">", 5},  {"=", 0}};
  for (const Relation& relation : kRelations) {
    std::size_t at = text.find(relation.token);
    if (at == std::string_view::npos || at == 0) continue;
    auto left = EvaluateExpression(text.substr(0, at), lookup);
    auto right = EvaluateExpression(text.substr(at + relation.token.size()), lookup);
    if (!left || !right) return std::nullopt;
    switch (relation.kind) {
      case 0: return *left == *right;
      case 1: return *left != *right;
      case 2: return *left <= *right;
      case 3: return *left >= *right;
      case 4: return *left < *right;
      case 5: return *left > *right;
    }
  }
  return std::nullopt;
}

}  // namespace velkor::sim
