#include "platform/registry/key_path.h"

namespace velkor::registry::detail {

namespace {
char Folded(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Folded(a[i]) != Folded(b[i])) return false;
  }
  return true;
}

bool IsBelow(std::string_view path, std::string_view ancestor) {
  if (ancestor.empty()) return !path.empty();
  return path.size() > ancestor.size() + 1 && path[ancestor.size()] == '\\' &&
         EqualsIgnoringCase(path.substr(0, ancestor.size()), ancestor);
}

std::string NormalizeKeyPath(std::string_view path) {
  std::string normalized;
  normalized.reserve(path.size());
  for (std::string_view segment : Segments(path)) {
    if (!normalized.empty()) normalized += '\\';
    normalized += segment;
  }
  return normalized;
}

std::vector<std::string_view> Segments(std::string_view path) {
  std::vector<std::string_view> segments;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) segments.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return segments;
}

std::string_view ChildSegment(std::string_view path, std::string_view ancestor) {
  std::string_view rest = ancestor.empty() ? path : path.substr(ancestor.size() + 1);
  return rest.substr(0, rest.find('\\'));
}

}  // namespace velkor::registry::detail
