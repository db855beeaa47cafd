#include "engine/compiler/source_file.h"

#include <algorithm>
#include <iterator>

#include "engine/core/errors.h"
#include "platform/files/whole_file.h"

namespace velkor::engine::compiler {
namespace {

// Groups whose whole content is markup, not text.
constexpr std::string_view kSkippedDestinations[] = {
    "author",   "buptim",   "colortbl", "comment",  "creatim",  "doccomm",  "fonttbl",   "footer",  "footerf",
    "footerl",  "footerr",  "footnote", "ftncn",    "ftnsep",   "ftnsepc",  "header",    "headerf", "headerl",
    "headerr",  "info",     "keywords", "operator", "pict",     "printim",  "private1",  "revtim",  "rxe",
    "stylesheet", "subject", "tc",      "title",    "txe",      "xe",
};

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSkippedDestination(std::string_view word) {
  return std::find(std::begin(kSkippedDestinations), std::end(kSkippedDestinations), word) !=
         std::end(kSkippedDestinations);
}

class RichTextStripper {
 public:
  explicit RichTextStripper(std::string_view text) : text_(text) {}

  std::string Run() {
    std::string out;
    out.reserve(text_.size());
    while (position_ < text_.size()) {
      const char c = text_[position_++];
      if (c == '\r' || c == '\n' || c == '{' || c == '}') continue;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (position_ >= text_.size()) break;
      const char after = text_[position_];
      if (after == '{' || after == '}' || after == '\\') {
        out += after;
        ++position_;
      } else if (after == '*') {
        SkipPast('}');
      } else if (IsLetter(after)) {
        ControlWord(out);
      } else if (after == '\'') {
        position_ = std::min(position_ + 3, text_.size());  // \'hh: a character given in hex
      } else {
        position_ = std::min(position_ + 2, text_.size());
      }
    }
    return out;
  }

 private:
  void ControlWord(std::string& out) {
    const std::size_t start = position_;
    while (position_ < text_.size() && IsLetter(text_[position_])) ++position_;
    const std::string_view word = text_.substr(start, position_ - start);
    // The numeric parameter and the one space that ends a control word
    // belong to it, "\par" and "\tab" included.
    if (position_ < text_.size() && text_[position_] == '-') ++position_;
    while (position_ < text_.size() && IsDigit(text_[position_])) ++position_;
    if (IsSkippedDestination(word) || IsSkippedDestination(text_.substr(start, position_ - start))) {
      SkipGroup();
      return;
    }
    if (position_ < text_.size() && text_[position_] == ' ') ++position_;
    if (word == "tab") out += '\t';
    if (word == "par") out += "\r\n";
  }

  void SkipPast(char end) {
    const std::size_t found = text_.find(end, position_);
    position_ = found == std::string_view::npos ? text_.size() : found + 1;
  }

  // The rest of the group the control word opened, up to and including its
  // closing brace; escaped braces do not count.
  void SkipGroup() {
    int depth = 1;
    while (position_ < text_.size() && depth > 0) {
      const char c = text_[position_++];
      if (c == '\\') {
        ++position_;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}') {
        --depth;
      }
    }
    position_ = std::min(position_, text_.size());
  }

  std::string_view text_;
  std::size_t position_ = 0;
};

}  // namespace

std::string StripRichText(std::string_view text) { return RichTextStripper(text).Run(); }

std::string ReadSourceFile(const std::filesystem::path& path) {
  files::FileText file = files::ReadWholeFile(path, kLongestSource);
  if (file.outcome == files::ReadOutcome::TooLong) throw CVNXException(ErrorCode::FileTooLong);
  if (file.outcome != files::ReadOutcome::Done) throw CVNXException(ErrorCode::CannotOpenFile);
  if (file.text.starts_with("{\\rtf")) return StripRichText(file.text);
  return std::move(file.text);
}

std::filesystem::path ImageNameFor(const std::filesystem::path& source) {
  // Only the file name's own "." counts, not one in a folder name.
  std::filesystem::path image = source;
  const std::string name = source.filename().string();
  const std::size_t dot = name.rfind('.');
  image.replace_filename((dot == std::string::npos ? name : name.substr(0, dot)) + ".vqx");
  return image;
}

}  // namespace velkor::engine::compiler
