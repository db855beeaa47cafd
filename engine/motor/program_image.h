#pragma once
// What program transfers know of an image and of the motors' answers about
// it: the end marker, the abort sequence, the built-in images and the
// checksum answer.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace velkor::engine::transfer {

// Every sender appends it; the image itself does not carry it.
inline constexpr std::string_view kImageTerminator{"\xFF\xFF\x20", 3};
// Ends a download that the client cancelled.
inline constexpr std::string_view kAbortSequence{"123456789012345\xFF\xFF\x20", 18};

// The download flags.
inline constexpr std::int32_t kStopRunningMotor = 0x01;
inline constexpr std::int32_t kForce = 0x10;  // no checks, failures swallowed
inline constexpr std::int32_t kCompiled = 0x80;
inline constexpr std::int32_t kSkipProbe = 0x100;
// First end a load that may still be under way (a transfer broken off with
// the line), so that the commands before the image are not taken as image.
inline constexpr std::int32_t kEndLoadFirst = 0x200;

// Size limits of a download, in bytes.
inline constexpr std::size_t kLongestCompiledImage = 4500;
inline constexpr std::size_t kServoImageLimit = 28000;  // this long or longer is refused
inline constexpr std::size_t kLongestImage = 32767;
// The most an upload stores (with the CR it adds before each LF).
inline constexpr std::size_t kUploadBufferSize = 65536;

enum class BuiltInImage {
  PlainProbe,
  NewFirmwareProbe,
  ChannelOneProbe,
  HostProbe,
  EmptyProgram,      // the motor-level clear
  HostEmptyProgram,  // the host-level clear
};

// The image with its end marker, as the engine sends it whole.
std::string BuiltIn(BuiltInImage image);

// Servo-firmware motors take images whose version begins "463".
void MarkForServo(std::string& image);

// How strictly the status letter of a checksum answer is taken.
enum class ChecksumStatus { PassedOnly, PassedOrFailed };
// "XXXXXX YYYYYY P": two six-digit hexadecimal checksums and a status.
bool IsChecksumAnswer(std::string_view answer, ChecksumStatus accepted);
// The checksum of the stored program: characters 7 to 12.
std::uint32_t StoredChecksum(std::string_view answer);
// What a motor without program memory answers.
inline constexpr std::string_view kNoProgramMemory = " P";

// The checksum the motor must report after storing the image: the six
// hexadecimal digits at positions 5 to 10, or -1 when they are not that.
std::int64_t ExpectedChecksum(std::string_view image);

bool HasExtension(const std::filesystem::path& name, std::string_view extension);  // without regard to case

// Motor firmware version and image version agree well enough to load.
bool VersionCompatible(std::string_view imageVersion, std::string_view firmwareVersion);

}  // namespace velkor::engine::transfer
