#include "sim/firmware/expression.h"

#include <cctype>
#include <charconv>
#include <string>
#include <string_view>

namespace velkor::sim {
namespace {

constexpr std::string_view kOperators = "+-*/%&|^<>=!";

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '@'; }

std::int32_t Wrap(std::int64_t value) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::optional<std::int32_t> Term(std::string_view text, const ValueLookup& lookup, int depth);

std::optional<std::int32_t> Evaluate(std::string_view text, const ValueLookup& lookup, int depth);

// An array element whose index is an expression: "al[k+1]" is looked up as
// "al[7]" when k is 6.
std::optional<std::int32_t> Element(std::string_view text, const ValueLookup& lookup, int depth) {
  const std::size_t open = text.find('[');
  if (open == 0 || text.back() != ']') return std::nullopt;
  const std::string_view name = text.substr(0, open);
  for (char c : name)
    if (!IsNameChar(c)) return std::nullopt;
  const auto index = Evaluate(text.substr(open + 1, text.size() - open - 2), lookup, depth + 1);
  if (!index) return std::nullopt;
  return lookup(std::string(name) + "[" + std::to_string(*index) + "]");
}

std::optional<std::int32_t> Term(std::string_view text, const ValueLookup& lookup, int depth) {
  if (text.empty()) return std::nullopt;
  if (text[0] == '-') {
    // A sign before a name or a second sign: "-a", "a*-b".
    if (auto number = ParseNumber(text)) return number;
    auto value = Term(text.substr(1), lookup, depth);
    if (!value) return std::nullopt;
    return Wrap(-std::int64_t{*value});
  }
  if (auto number = ParseNumber(text)) return number;
  if (text.find('[') != std::string_view::npos) return Element(text, lookup, depth);
  for (char c : text) {
    if (!IsNameChar(c)) return std::nullopt;
  }
  return lookup(text);
}

std::optional<std::int32_t> Apply(std::string_view op, std::int32_t left, std::int32_t right) {
  std::int64_t a = left;
  std::int64_t b = right;
  if (op == "+") return Wrap(a + b);
  if (op == "-") return Wrap(a - b);
  if (op == "*") return Wrap(a * b);
  if (op == "/") return b == 0 ? 0 : Wrap(a / b);
  if (op == "%") return b == 0 ? 0 : Wrap(a % b);
  if (op == "&") return left & right;
  if (op == "|") return left | right;
  if (op == "^") return left ^ right;
  // Comparisons give 1 or 0, so that a condition is an expression too.
  if (op == "==" || op == "=") return left == right ? 1 : 0;
  if (op == "!=" || op == "<>") return left != right ? 1 : 0;
  if (op == "<") return left < right ? 1 : 0;
  if (op == ">") return left > right ? 1 : 0;
  if (op == "<=") return left <= right ? 1 : 0;
  if (op == ">=") return left >= right ? 1 : 0;
  return std::nullopt;
}

std::optional<std::int32_t> Evaluate(std::string_view text, const ValueLookup& lookup, int depth) {
  if (depth > 8 || text.empty()) return std::nullopt;  // indexes of indexes of ...: no program nests so deep
  // The first character may be the sign of the first term; the operator is
  // the first operator character after it outside an index.
  std::size_t at = 1;
  int brackets = text[0] == '[' ? 1 : 0;
  for (; at < text.size(); ++at) {
    if (text[at] == '[') ++brackets;
    if (text[at] == ']') --brackets;
    if (brackets == 0 && kOperators.find(text[at]) != std::string_view::npos) break;
  }
  if (at >= text.size()) return Term(text, lookup, depth);
  std::size_t width = 1;
  for (std::string_view pair : {"==", "!=", "<>", "<=", ">="})
    if (text.substr(at, 2) == pair) width = 2;
  auto left = Term(text.substr(0, at), lookup, depth);
  auto right = Term(text.substr(at + width), lookup, depth);
  if (!left || !right) return std::nullopt;
  return Apply(text.substr(at, width), *left, *right);
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
  return Evaluate(text, lookup, 0);
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
