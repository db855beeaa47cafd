#pragma once
// The text of an image while it is written: a cursor into room made before
// each line, so that the many small pieces of a line need no check of their
// own, and hexadecimal fields written by hand.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace velkor::engine::compiler {

inline constexpr std::array<char, 16> kHexDigits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                    '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};

// Upper-case hexadecimal, at least `digits` of them and more when the value
// needs them (as "%0*X" would write it).
inline std::string Hex(std::uint32_t value, std::size_t digits) {
  std::size_t needed = 1;
  while (needed < 8 && (value >> (4 * needed)) != 0) ++needed;
  std::string text(std::max(needed, digits), '0');
  for (std::size_t i = 0; i < needed; ++i) text[text.size() - 1 - i] = kHexDigits[(value >> (4 * i)) & 0xF];
  return text;
}

// The four digits of a body address.
inline void WriteAddress(char* at, std::uint16_t address) {
  at[0] = kHexDigits[address >> 12];
  at[1] = kHexDigits[(address >> 8) & 0xF];
  at[2] = kHexDigits[(address >> 4) & 0xF];
  at[3] = kHexDigits[address & 0xF];
}

class ImageText {
 public:
  // Replaces what `out` holds; its memory is kept.
  explicit ImageText(std::string& out) : out_(out) { out_.resize(out_.capacity()); }

  // Room for `count` more characters, to be filled by Put. The text always
  // spans its whole allocation, so that a write past the room made would
  // leave it (and show under the address sanitizer).
  void MakeRoom(std::size_t count) {
    if (out_.size() - used_ >= count) return;
    out_.resize(std::max(out_.size() * 2, used_ + count));
    out_.resize(out_.capacity());
  }
  void Put(char c) { out_[used_++] = c; }
  void Put(std::string_view text) {
    std::memcpy(out_.data() + used_, text.data(), text.size());
    used_ += text.size();
  }
  // Puts the text and returns the sum of its bytes taken as signed, both in
  // one go: most tokens are a few characters long.
  std::int32_t PutSummed(std::string_view text) {
    char* out = out_.data() + used_;
    std::int32_t sum = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
      out[i] = text[i];
      sum += static_cast<std::int8_t>(text[i]);
    }
    used_ += text.size();
    return sum;
  }

  // Leaves `count` characters to be filled in later.
  void Skip(std::size_t count) {
    MakeRoom(count);
    used_ += count;
  }

  std::size_t Size() const { return used_; }
  void FillAddress(std::size_t offset, std::uint16_t address) { WriteAddress(out_.data() + offset, address); }
  void Fill(std::size_t offset, std::string_view text) { std::memcpy(out_.data() + offset, text.data(), text.size()); }

  // Cuts the text to what was written, and puts `header` in place of the
  // first `reserved` characters.
  void Finish(std::size_t reserved, std::string_view header) {
    out_.resize(used_);
    if (header.size() == reserved) {
      Fill(0, header);
    } else {
      out_.replace(0, reserved, header);  // a field wider than usual
    }
  }

 private:
  std::string& out_;
  std::size_t used_ = 0;
};

}  // namespace velkor::engine::compiler
