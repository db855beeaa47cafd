#pragma once
// Key paths as the platform treats them: segments separated by backslashes,
// compared without regard to (ASCII) case. Bytes above 0x7F are compared as
// they stand, so UTF-8 names match only when spelled alike.

#include <string>
#include <string_view>
#include <vector>

namespace velkor::registry::detail {

bool EqualsIgnoringCase(std::string_view a, std::string_view b);

// "A\\B\\C" against "a\\b": true. A path is not below itself; every path
// other than the root is below the root ("").
bool IsBelow(std::string_view path, std::string_view ancestor);

// Doubled, leading and trailing backslashes removed: "\\A\\\\B\\" -> "A\\B".
std::string NormalizeKeyPath(std::string_view path);

std::vector<std::string_view> Segments(std::string_view normalizedPath);

// The segment that follows `ancestor` in `path`; `path` must be below it.
std::string_view ChildSegment(std::string_view path, std::string_view ancestor);

}  // namespace velkor::registry::detail
