#pragma once
// The two-term arithmetic of the command language: an optional sign, a term,
// and at most one operator with a second term that may carry its own sign
// ("dd&63", "ff+1", "a*-2", "-@P", "al[k+1]"). Operators + - * / % & | ^
// and the comparisons == != <> < > <= >= (1 when true, else 0), so that a
// condition is an expression. No precedence, no third term. Values wrap to
// 32 bits as the motor's own arithmetic does; division by zero gives 0
// instead of a fault.

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace velkor::sim {

// Value of a name (variable, register, input), nothing when the name is unknown.
using ValueLookup = std::function<std::optional<std::int32_t>(std::string_view)>;

// Whole text must be a signed decimal number that fits 32 bits.
std::optional<std::int32_t> ParseNumber(std::string_view text);

std::optional<std::int32_t> EvaluateExpression(std::string_view text, const ValueLookup& lookup);
std::optional<bool> EvaluateComparison(std::string_view text, const ValueLookup& lookup);

}  // namespace velkor::sim
