#include "engine/compiler/compiler.h"

#include <new>

#include "engine/compiler/image.h"
#include "engine/compiler/parser.h"
#include "engine/compiler/source_file.h"
#include "engine/compiler/tokenizer.h"
#include "engine/core/errors.h"
#include "platform/files/whole_file.h"

namespace velkor::engine::compiler {
namespace {

// Running out of memory anywhere in a run is the engine's error 31.
template <class Body>
auto OutOfMemoryAsEngineError(Body&& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    throw CVNXException(ErrorCode::OutOfMemory);
  } catch (const std::length_error&) {
    throw CVNXException(ErrorCode::OutOfMemory);
  }
}

}  // namespace

void Compiler::SetMaxErrors(std::int32_t count) {
  if (count < 1) throw CVNXException(ErrorCode::InvalidData);
  maxErrors_ = count;
}

void Compiler::SetMaxWarnings(std::int32_t count) {
  if (count < 1) throw CVNXException(ErrorCode::InvalidData);
  maxWarnings_ = count;
}

void Compiler::Reset() {
  program_.Clear();
  errors_.Reset(maxErrors_, maxWarnings_);
  text_.clear();
}

void Compiler::Compile(std::string text) {
  OutOfMemoryAsEngineError([&] {
    Reset();
    text_ = std::move(text);
    SplitLines(text_, program_);
    // Programs have about one token for every three characters, short
    // statements (a=b+c) up to one for every character. Reserving for one in
    // two saves regrowth in most programs, and pages that no token reaches
    // are never touched.
    program_.tokens.reserve(text_.size() / 2 + 16);
    for (std::uint32_t line = 0; line < program_.lines.size(); ++line) TokenizeLine(line, program_);
    Parse(program_, errors_);
  });
}

void Compiler::CompileFile(const std::filesystem::path& source) {
  // A file that cannot be read still ends the previous run's results.
  Reset();
  std::string text = OutOfMemoryAsEngineError([&] { return ReadSourceFile(source); });
  Compile(std::move(text));
}

bool Compiler::MakeImage(const std::filesystem::path& source, const std::filesystem::path& image) {
  // An image written over its own source would lose the program.
  std::error_code error;
  if (std::filesystem::equivalent(source, image, error)) throw CVNXException(ErrorCode::CannotWriteFile);
  CompileFile(source);
  if (errors_.ErrorCount() > 0) return false;
  RenderImageInto(imageBuffer_);
  // Written whole or not at all: an older image stays as it was on failure.
  const bool written = files::ReplaceFile(image, imageBuffer_);
  imageBuffer_.clear();
  if (!written) throw CVNXException(ErrorCode::CannotWriteFile);
  return true;
}

std::string Compiler::Image() {
  std::string image;
  RenderImageInto(image);
  return image;
}

void Compiler::RenderImageInto(std::string& out) {
  OutOfMemoryAsEngineError([&] { WriteImage(program_, out); });
}

}  // namespace velkor::engine::compiler
