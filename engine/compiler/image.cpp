#include "engine/compiler/image.h"

#include <algorithm>
#include <cstdio>

namespace velkor::engine::compiler {
namespace {

// Keywords that the body writes with a space after them.
bool TakesTrailingSpace(const Token& token) {
  if (!token.Is(kKeyword)) return false;
  switch (StructureOf(token.entry)) {
    case Structure::If:
    case Structure::ElseIf:
    case Structure::While:
    case Structure::Switch:
    case Structure::Case: return true;
    default: return false;
  }
}

bool IsWritten(const Token& token) { return !token.IsApostrophe() && !token.Is(kCommentText); }

bool NeedsLeadingSpace(const Token& token) { return token.statementStart && token.indexInLine > 0; }

std::int32_t SignedSum(std::string_view text) {
  std::int32_t sum = 0;
  for (char c : text) sum += static_cast<std::int8_t>(c);
  return sum;
}

void AppendHex(std::string& out, const char* format, std::uint32_t value) {
  char buffer[16];
  const int length = std::snprintf(buffer, sizeof buffer, format, value);
  out.append(buffer, static_cast<std::size_t>(std::clamp(length, 0, static_cast<int>(sizeof buffer) - 1)));
}

class BodyWriter {
 public:
  BodyWriter(const TokenizedProgram& program, const ImageLayout& layout, std::string& out)
      : program_(program), out_(out), bodyEnd_(static_cast<std::uint16_t>(layout.bodyLength)) {}

  void Run() {
    for (const SourceLine& line : program_.lines) {
      if (!program_.IsProgramLine(line)) continue;
      for (const Token& token : program_.TokensOf(line)) {
        if (!IsWritten(token)) continue;
        if (NeedsLeadingSpace(token)) out_ += ' ';
        WriteToken(token);
      }
      out_ += '\n';
    }
  }

 private:
  // A link with nothing after it (a structure closed by the last token)
  // points just past the body, which keeps every address inside the image's
  // range.
  std::uint16_t AddressOf(const Token* token) const { return token ? token->address : bodyEnd_; }

  // Where a false condition of IF or ELSEIF goes: into the condition of the
  // next ELSEIF, or to the token after ELSE or ENDIF.
  std::uint16_t FalseTarget(const Token& branch) const {
    const Token* next = branch.next;
    if (next && next->Is(kKeyword) && StructureOf(next->entry) == Structure::ElseIf) {
      return static_cast<std::uint16_t>(next->address + 4);
    }
    return AddressOf(next);
  }

  std::uint16_t EndOfIfBlock(const Token& branch) const {
    return branch.partner ? AddressOf(branch.partner->partner) : bodyEnd_;
  }

  std::uint16_t NextCaseTarget(const Token& caseToken) const {
    const Token* next = caseToken.next;
    if (next && StructureOf(next->entry) == Structure::Case) return static_cast<std::uint16_t>(next->address + 1);
    return AddressOf(next);
  }

  // A SWITCH's partner is its ENDS, a WHILE's the token after its LOOP.
  std::uint16_t BreakExit(const Token& breakToken) const {
    const Token* owner = breakToken.partner;
    return owner ? AddressOf(owner->partner) : bodyEnd_;
  }

  void Template(const char* format, std::uint32_t address) { AppendHex(out_, format, address); }

  void WriteToken(const Token& token) {
    if (token.Is(kStringLiteral) || !token.Is(kKeyword)) {
      out_ += token.text;
      return;
    }
    if (IsJump(token.entry)) {
      const bool isGoto = token.entry->name == "GOTO";
      Template(isGoto ? "$B%04X" : "$G%04X", AddressOf(token.next));
      out_ += isGoto ? "O" : "UB";
      out_ += token.text.substr(token.entry->name.size());
      return;
    }
    switch (StructureOf(token.entry)) {
      case Structure::If: Template("$I%04X", FalseTarget(token)); return;
      case Structure::ElseIf:
        Template("$A%04X", EndOfIfBlock(token));
        out_ += 'E';
        Template("$I%04X", FalseTarget(token));
        return;
      case Structure::Else:
        Template("$E%04X", EndOfIfBlock(token));
        out_ += 'E';
        return;
      case Structure::Switch:
        Template("$S%04X", static_cast<std::uint16_t>(AddressOf(token.next) + 1));
        out_ += "TCH ";
        return;
      case Structure::Case:
        out_ += "$C";
        Template("$c%04X", NextCaseTarget(token));
        out_ += ' ';
        return;
      case Structure::Default: out_ += "$DEFAULT"; return;
      case Structure::Break:
        Template("$X%04X", BreakExit(token));
        out_ += "AK";
        return;
      case Structure::EndSwitch: out_ += "$eNDS"; return;
      case Structure::While:
        Template("$W%04X", AddressOf(token.partner));
        out_ += "LE ";
        return;
      case Structure::Loop:
        Template("$L%04X", AddressOf(token.partner));
        out_ += 'P';
        return;
      default: out_ += token.text; return;
    }
  }

  const TokenizedProgram& program_;
  std::string& out_;
  std::uint16_t bodyEnd_;
};

}  // namespace

ImageLayout AssignAddresses(TokenizedProgram& program) {
  ImageLayout layout;
  std::uint32_t length = 0;  // addresses are this, taken to 16 bits
  std::int32_t sum = 0;
  std::vector<Token*> unaddressed;
  for (const SourceLine& line : program.lines) {
    if (line.tokenCount == 0) continue;
    for (Token& token : program.TokensOf(line)) {
      if (!IsWritten(token)) {
        // A comment takes no bytes, but a structure closed just before it
        // links to it: it takes the address of the next token written.
        unaddressed.push_back(&token);
        continue;
      }
      if (NeedsLeadingSpace(token)) {
        ++length;
        sum += ' ';
      }
      token.address = static_cast<std::uint16_t>(length);
      for (Token* comment : unaddressed) comment->address = token.address;
      unaddressed.clear();
      length += static_cast<std::uint32_t>(token.text.size());
      sum += SignedSum(token.text);
      if (TakesTrailingSpace(token)) {
        ++length;
        sum += ' ';
      }
    }
    if (program.IsProgramLine(line)) {
      ++length;
      sum += '\n';
    }
  }
  for (Token* comment : unaddressed) comment->address = static_cast<std::uint16_t>(length);
  layout.bodyChecksum = sum;
  layout.bodyLength = length;

  std::int32_t highestLabel = -1;
  for (std::uint32_t position : program.labels) {
    const Token& label = program.tokens[position];
    layout.labelChecksum += (label.address & 0xFFu) + (label.address >> 8);
    highestLabel = std::max(highestLabel, label.value);
  }
  layout.labelSlots = highestLabel < 0 ? 4 : (static_cast<std::uint32_t>(highestLabel) + 4) / 4 * 4;
  return layout;
}

std::string RenderImage(const TokenizedProgram& program, const ImageLayout& layout) {
  std::string out;
  out.reserve(32 + layout.labelSlots * 4 + layout.bodyLength * 2);
  out += '$';
  out += std::to_string(kImageVersion);
  // Six digits always: the field's place is fixed, and the motor compares
  // only the low 24 bits. A negative sum written in eight digits would shift
  // every field after it and could never verify.
  AppendHex(out, "%06X", static_cast<std::uint32_t>(layout.bodyChecksum) & 0xFFFFFFu);
  AppendHex(out, "%06X", layout.bodyLength);
  AppendHex(out, "%06X", layout.labelChecksum);
  AppendHex(out, "%04X", layout.labelSlots);

  // Each slot holds the address of the first definition of its label.
  std::vector<std::int32_t> slots(layout.labelSlots, -1);
  for (std::uint32_t position : program.labels) {
    const Token& label = program.tokens[position];
    if (label.value >= 0 && static_cast<std::uint32_t>(label.value) < slots.size() && slots[label.value] < 0) {
      slots[static_cast<std::size_t>(label.value)] = label.address;
    }
  }
  for (std::int32_t address : slots) AppendHex(out, "%04X", static_cast<std::uint32_t>(std::max(address, 0)));

  BodyWriter(program, layout, out).Run();
  return out;
}

}  // namespace velkor::engine::compiler
