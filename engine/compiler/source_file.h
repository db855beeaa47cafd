#pragma once
// Reading program sources, plain or rich text, and naming their images.

#include <cstddef>
#include <filesystem>
#include <string>

namespace velkor::engine::compiler {

// Sources above this are refused: a motor holds 32 KiB of program, and an
// endless file (a device) must not take the machine's memory.
inline constexpr std::size_t kLongestSource = std::size_t{16} << 20;

// The whole file, with rich-text markup stripped when it begins "{\rtf".
// Throws engine error 34 when it cannot be read, 39 when it is longer than
// kLongestSource.
std::string ReadSourceFile(const std::filesystem::path& path);

// Removes rich-text markup, keeping the text with a CR LF for every
// paragraph mark and a TAB for every tab.
std::string StripRichText(std::string_view text);

// The image name for a source: its extension (from the last "." of the file
// name) replaced by ".vqx", or ".vqx" appended when it has none.
std::filesystem::path ImageNameFor(const std::filesystem::path& source);

}  // namespace velkor::engine::compiler
