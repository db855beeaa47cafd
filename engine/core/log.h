#pragma once
// The engine's one text log per process, shared by every host object.

#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::engine::log {

// Categories (bits of LogFlags).
inline constexpr std::uint32_t kComm = 1;       // IVNXComm errors, host creation, serial write retries
inline constexpr std::uint32_t kCMotion = 2;
inline constexpr std::uint32_t kPath = 4;
inline constexpr std::uint32_t kScan = 8;       // IVNXScan and IVNXErrors
inline constexpr std::uint32_t kMotor = 16;
inline constexpr std::uint32_t kAppend = 0x10000;        // open with "at" instead of "wt"
inline constexpr std::uint32_t kCloseRequest = 0x20000;  // not a category: closes the file

std::uint32_t Flags();
void SetFlags(std::uint32_t flags);
std::string FileName();
// Stores the name and closes the open file, so the next line opens the new one.
void SetFileName(std::string name);

// Writes "hh:mm:ss.mmm text\n" when the category is enabled; a file that
// cannot be opened silently suppresses the line. `kCloseRequest` closes.
void Write(std::uint32_t category, std::string_view text);

}  // namespace velkor::engine::log
