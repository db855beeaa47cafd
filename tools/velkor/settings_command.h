#pragma once
// velkor settings: axis data files (.adf) from the command line, edited by
// the same rules as the setup window's fields.

#include <cstdio>
#include <optional>
#include <span>
#include <string_view>

#include "setup/files/axis_file.h"

namespace velkor::client {

// new FILE [--force] | show FILE | set FILE NAME=VALUE... | diff A B.
// Exit status: 0 done (diff: the files are equal), 1 diff: they differ,
// 2 bad usage, a file that cannot be read or written, or a rejected value.
int Settings(std::span<const std::string_view> arguments, std::FILE* out, std::FILE* err);

// An axis data file as stored, its warnings printed; nothing (and the reason
// printed) when it cannot be read.
std::optional<setup::OpenedAxisFile> OpenSettingsFile(std::string_view path, std::FILE* err);

}  // namespace velkor::client
