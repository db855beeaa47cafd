#pragma once
// A motor's program memory: the image that follows "LOAD" or "LOADC" is taken
// apart as the motor does it. The header gives the checksum and length the
// host expects, the label table is skipped, and the body is kept as the
// keyword text the jump templates stand for, with their targets beside it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velkor::sim {

// The three bytes that end every image on the line.
inline constexpr std::string_view kImageEnd = "\xFF\xFF\x20";

// A structure keyword or jump of the body and the address it carries.
struct StoredJump {
  std::uint16_t at = 0;  // body offset of the keyword text it stands for
  char kind = 0;  // the template letter: I, A, E, S, c, X, W, L, B or G
  std::uint16_t target = 0;
};

class StoredProgram {
 public:
  // What a motor that was never loaded holds: nothing, and that passes.
  StoredProgram() = default;
  // `image` without its end marker.
  static StoredProgram FromImage(std::string_view image);
  // What is left of an image too long for the memory: fails its check.
  static StoredProgram Broken();

  const std::string& Body() const { return body_; }
  const std::vector<StoredJump>& Jumps() const { return jumps_; }
  // Where label n is defined, from the image's label table.
  std::optional<std::uint16_t> LabelAddress(std::uint32_t label) const;
  bool WellFormed() const { return well_formed_; }
  std::uint32_t HeaderChecksum() const { return header_checksum_; }  // low 24 bits
  std::uint32_t LabelChecksum() const { return label_checksum_; }
  std::uint32_t HeaderLength() const { return header_length_; }
  // Sum of the body bytes taken as signed, low 24 bits.
  std::uint32_t BodyChecksum() const;
  bool Passes() const;
  // "%06X %06X %c": the header's label checksum, the body's checksum, 'P'
  // or 'F' (the header's checksum against the body's).
  std::string ChecksumAnswer() const;

 private:
  bool Parse(std::string_view image, std::size_t checksumWidth);

  std::string body_;
  std::vector<StoredJump> jumps_;
  std::vector<std::uint16_t> labels_;  // label table: body address by label number
  std::uint32_t header_checksum_ = 0;
  std::uint32_t label_checksum_ = 0;
  std::uint32_t header_length_ = 0;
  bool well_formed_ = true;
};

// Collects the bytes of an image as they arrive, up to its end marker.
class ImageReceiver {
 public:
  // True when `byte` completed the end marker; the image is then ready.
  bool Take(std::uint8_t byte);
  // A character the receiver could not decode.
  void Spoil();
  // The program the image makes; clears the receiver for the next one.
  StoredProgram Finish();

 private:
  std::string image_;  // without the end marker bytes seen so far
  std::string marker_;  // the start of an end marker, held back
  bool overflowed_ = false;
};

}  // namespace velkor::sim
