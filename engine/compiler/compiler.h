#pragma once
// One compile run from text or file to diagnostics and, when the program has
// no error, the compiled image. Every run replaces the previous one's
// results; the memory for them is kept, so a compiler used again runs
// faster.

#include <cstdint>
#include <filesystem>
#include <string>

#include "engine/compiler/diagnostics.h"
#include "engine/compiler/tokens.h"

namespace velkor::engine::compiler {

class Compiler {
 public:
  // The limits of the next run; values below 1 are refused with error 19.
  void SetMaxErrors(std::int32_t count);
  void SetMaxWarnings(std::int32_t count);
  std::int32_t MaxErrors() const { return maxErrors_; }
  std::int32_t MaxWarnings() const { return maxWarnings_; }

  // Checks the program text; the diagnostics are in Errors().
  void Compile(std::string text);
  // The same for a file (plain or rich text); error 34 when unreadable.
  void CompileFile(const std::filesystem::path& source);
  // Compiles the file and, when it has no error, replaces `image` with the
  // compiled image (error 35 when that fails). True when it was written.
  bool MakeImage(const std::filesystem::path& source, const std::filesystem::path& image);

  // The image of the last run; call only when it had no error.
  std::string Image();

  const ErrorList& Errors() const { return errors_; }
  const TokenizedProgram& Program() const { return program_; }

 private:
  void Reset();
  void RenderImageInto(std::string& out);

  std::int32_t maxErrors_ = 50;
  std::int32_t maxWarnings_ = 50;
  std::string text_;  // the lines are views into it
  TokenizedProgram program_;
  ErrorList errors_;
  std::string imageBuffer_;  // MakeImage's image, only while it is written
};

}  // namespace velkor::engine::compiler
