#include "platform/files/text.h"

namespace velkor::files {

bool StripByteOrderMark(std::string_view& text) {
  if (text.substr(0, kByteOrderMark.size()) != kByteOrderMark) return false;
  text.remove_prefix(kByteOrderMark.size());
  return true;
}

std::string_view Trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace velkor::files
