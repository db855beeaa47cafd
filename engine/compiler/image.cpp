#include "engine/compiler/image.h"

#include <algorithm>
#include <vector>

#include "engine/compiler/image_text.h"
#include "engine/core/errors.h"

namespace velkor::engine::compiler {
namespace {

constexpr std::uint32_t kLongestBody = 0xFFFFFF;

// Keywords that the body writes with a space after them.
bool TakesTrailingSpace(const Token& token) {
  if (!token.Is(kKeyword)) return false;
  switch (StructureOf(token.Entry())) {
    case Structure::If:
    case Structure::ElseIf:
    case Structure::While:
    case Structure::Switch:
    case Structure::Case: return true;
    default: return false;
  }
}

bool IsWritten(const Token& token) { return !token.Is(kCommentText) && !token.IsApostrophe(); }

// Jumps and the structure keywords but ENDIF and END, which the body holds
// as templates; every other token is written as it stands.
bool IsLowered(const Token& token) {
  if (!token.Is(kKeyword)) return false;
  const KeywordEntry* entry = token.Entry();
  if (IsJump(entry)) return true;
  switch (StructureOf(entry)) {
    case Structure::None:
    case Structure::EndIf:
    case Structure::End: return false;
    default: return true;
  }
}

// A statement that does not begin its line is set off by a space.
bool NeedsLeadingSpace(const Token& token, std::size_t indexInLine) { return token.statementStart && indexInLine > 0; }

std::int32_t SignedSum(std::string_view text) {
  std::int32_t sum = 0;
  for (char c : text) sum += static_cast<std::int8_t>(c);
  return sum;
}

std::uint32_t LabelSlotCount(const TokenizedProgram& program) {
  std::int32_t highestLabel = -1;
  for (std::uint32_t position : program.labels) highestLabel = std::max(highestLabel, program.tokens[position].value);
  return highestLabel < 0 ? 4 : (static_cast<std::uint32_t>(highestLabel) + 4) / 4 * 4;
}

// '$', the version, then the body checksum, the body length, the label
// checksum and the label slot count.
std::string Header(std::int32_t bodyChecksum, std::uint32_t bodyLength, std::uint32_t labelChecksum,
                   std::uint32_t labelSlots) {
  // Six digits always: the field's place is fixed, and the motor compares
  // only the low 24 bits. A negative sum written in eight digits would shift
  // every field after it and could never verify.
  return '$' + std::to_string(kImageVersion) + Hex(static_cast<std::uint32_t>(bodyChecksum) & 0xFFFFFFu, 6) +
         Hex(bodyLength, 6) + Hex(labelChecksum, 6) + Hex(labelSlots, 4);
}

// The address a template carries: that of a token (of the end of the body
// for none) plus a few bytes.
struct Destination {
  std::uint32_t token = kNoToken;
  std::uint16_t offset = 0;
};

// One pass over the tokens gives the addresses and writes the body. The
// templates mostly point a little forward: their destinations are found
// while writing, when the links they follow lie close by, and their
// addresses filled in soon after the destination got its own, while it is
// still in the cache.
class ImageWriter {
 public:
  ImageWriter(TokenizedProgram& program, std::string& out) : program_(program), text_(out) {}

  void Run() {
    const std::uint32_t labelSlots = LabelSlotCount(program_);
    const std::size_t headerSize = Header(0, 0, 0, labelSlots).size();
    text_.Skip(headerSize + std::size_t{4} * labelSlots);
    const BodyCount body = WriteBody();
    // The header's length field has six digits; a longer body could only be
    // described by a malformed header.
    if (body.length > kLongestBody) throw CVNXException(ErrorCode::FileTooLong);
    for (const PendingAddress& pending : waiting_) Fill(pending);
    for (const PendingAddress& pending : late_) Fill(pending);
    const std::uint32_t labelChecksum = WriteLabelTable(headerSize, labelSlots);
    text_.Finish(headerSize, Header(body.checksum, body.length, labelChecksum, labelSlots));
  }

 private:
  struct PendingAddress {
    std::uint32_t at;  // the offset of the four digits in the text
    Destination destination;
    std::uint16_t round;  // of FillReady when the template was written
  };
  // FillReady runs after this many tokens, and a template that waits longer
  // than a few rounds (a far jump) is filled after the body.
  static constexpr std::uint32_t kTokensPerRound = 1024;
  static constexpr std::uint16_t kRoundsToWait = 3;

  // The body as the motor stores it, the templates decoded.
  struct BodyCount {
    std::uint32_t length = 0;   // addresses are this, taken to 16 bits
    std::int32_t checksum = 0;  // sum of the bytes taken as signed
    void Add(char c) {
      ++length;
      checksum += c;
    }
  };

  BodyCount WriteBody() {
    BodyCount body;
    std::uint32_t addressedBelow = 0;  // every token before this position has its address
    // Comments take no bytes, but a structure closed just before one links
    // to it: the tokens from here on take the address of the next token
    // written.
    std::uint32_t firstUnaddressed = kNoToken;
    std::uint32_t nextRound = kTokensPerRound;
    for (const SourceLine& line : program_.lines) {
      if (line.tokenCount == 0) continue;
      if (line.firstToken >= nextRound) {
        FillReady(addressedBelow);
        nextRound = line.firstToken + kTokensPerRound;
      }
      // A token takes at most its text, a space before it and the seven
      // characters by which ELSEIF's two templates outgrow its name.
      text_.MakeRoom(line.text.size() + std::size_t{8} * line.tokenCount + 1);
      for (std::uint32_t i = 0; i < line.tokenCount; ++i) {
        const std::uint32_t position = line.firstToken + i;
        Token& token = program_.tokens[position];
        if (!IsWritten(token)) {
          if (firstUnaddressed == kNoToken) firstUnaddressed = position;
          continue;
        }
        if (NeedsLeadingSpace(token, i)) {
          body.Add(' ');
          text_.Put(' ');
        }
        token.address = static_cast<std::uint16_t>(body.length);
        addressedBelow = position + 1;
        if (firstUnaddressed != kNoToken) {
          GiveAddress(firstUnaddressed, position, token.address);
          firstUnaddressed = kNoToken;
        }
        const std::string_view tokenText = line.TextOf(token);
        body.length += token.length;
        if (IsLowered(token)) {
          body.checksum += SignedSum(tokenText);
          if (TakesTrailingSpace(token)) body.Add(' ');
          WriteTemplates(token, tokenText);
        } else {
          body.checksum += text_.PutSummed(tokenText);
        }
      }
      if (program_.IsProgramLine(line)) {
        body.Add('\n');
        text_.Put('\n');
      }
    }
    if (firstUnaddressed != kNoToken) {
      GiveAddress(firstUnaddressed, static_cast<std::uint32_t>(program_.tokens.size()),
                  static_cast<std::uint16_t>(body.length));
    }
    bodyEnd_ = static_cast<std::uint16_t>(body.length);
    return body;
  }

  void Fill(const PendingAddress& pending) {
    const std::uint16_t base = AddressOf(pending.destination.token);
    text_.FillAddress(pending.at, static_cast<std::uint16_t>(base + pending.destination.offset));
  }

  // Fills the templates whose destination has its address by now.
  void FillReady(std::uint32_t addressedBelow) {
    std::size_t kept = 0;
    for (const PendingAddress& pending : waiting_) {
      if (pending.destination.token < addressedBelow) {
        Fill(pending);
      } else if (static_cast<std::uint16_t>(round_ - pending.round) >= kRoundsToWait) {
        late_.push_back(pending);
      } else {
        waiting_[kept++] = pending;
      }
    }
    waiting_.resize(kept);
    ++round_;
  }

  void GiveAddress(std::uint32_t from, std::uint32_t to, std::uint16_t address) {
    for (std::uint32_t position = from; position < to; ++position) program_.tokens[position].address = address;
  }

  // $, the letter and four digits, filled in once the destination has its
  // address.
  void Template(char letter, Destination destination) {
    text_.Put('$');
    text_.Put(letter);
    waiting_.push_back(PendingAddress{static_cast<std::uint32_t>(text_.Size()), destination, round_});
    text_.Put(std::string_view("0000"));
  }

  // A lowered keyword's templates, and what follows them in place of the
  // rest of its name.
  void WriteTemplates(const Token& token, std::string_view text) {
    const KeywordEntry* entry = token.Entry();
    if (IsJump(entry)) {
      const bool isGoto = entry->labelRole == LabelRole::Goto;
      Template(isGoto ? 'B' : 'G', {token.next});
      text_.Put(isGoto ? std::string_view("O") : std::string_view("UB"));
      text_.Put(text.substr(entry->name.size()));
      return;
    }
    switch (StructureOf(entry)) {
      case Structure::If: Template('I', FalseTarget(token)); return;
      case Structure::ElseIf:
        Template('A', EndOfIfBlock(token));
        text_.Put('E');
        Template('I', FalseTarget(token));
        return;
      case Structure::Else:
        Template('E', EndOfIfBlock(token));
        text_.Put('E');
        return;
      case Structure::Switch:
        Template('S', {token.next, 1});
        text_.Put(std::string_view("TCH "));
        return;
      case Structure::Case:
        text_.Put(std::string_view("$C"));
        Template('c', NextCaseTarget(token));
        text_.Put(' ');
        return;
      case Structure::Default: text_.Put(std::string_view("$DEFAULT")); return;
      case Structure::Break:
        Template('X', BreakExit(token));
        text_.Put(std::string_view("AK"));
        return;
      case Structure::EndSwitch: text_.Put(std::string_view("$eNDS")); return;
      case Structure::While:
        Template('W', {token.partner});
        text_.Put(std::string_view("LE "));
        return;
      case Structure::Loop:
        Template('L', {token.partner});
        text_.Put('P');
        return;
      default: text_.Put(text); return;
    }
  }

  // A link with nothing after it (a structure closed by the last token)
  // points just past the body, which keeps every address inside the image's
  // range.
  std::uint16_t AddressOf(std::uint32_t position) const {
    return position == kNoToken ? bodyEnd_ : program_.tokens[position].address;
  }

  // Where a false condition of IF or ELSEIF goes: into the condition of the
  // next ELSEIF of the same IF, or to the token after ELSE or ENDIF. That
  // token may be an ELSEIF of an enclosing IF: its "$A" part, which leaves
  // the enclosing block, is the target then, not its condition.
  Destination FalseTarget(const Token& branch) const {
    const std::uint32_t opener =
        StructureOf(branch.Entry()) == Structure::If ? program_.PositionOf(branch) : branch.partner;
    const Token* next = program_.Linked(branch.next);
    if (next && next->Is(kKeyword) && StructureOf(next->Entry()) == Structure::ElseIf && next->partner == opener) {
      return {branch.next, 4};
    }
    return {branch.next};
  }

  Destination EndOfIfBlock(const Token& branch) const {
    const Token* opener = program_.Linked(branch.partner);
    return {opener ? opener->partner : kNoToken};
  }

  Destination NextCaseTarget(const Token& caseToken) const {
    const Token* next = program_.Linked(caseToken.next);
    if (next && StructureOf(next->Entry()) == Structure::Case) return {caseToken.next, 1};
    return {caseToken.next};
  }

  // A SWITCH's partner is its ENDS, a WHILE's the token after its LOOP.
  Destination BreakExit(const Token& breakToken) const {
    const Token* owner = program_.Linked(breakToken.partner);
    return {owner ? owner->partner : kNoToken};
  }

  // Each slot holds the address of the first definition of its label. The
  // checksum, which it returns, counts every definition.
  std::uint32_t WriteLabelTable(std::size_t offset, std::uint32_t labelSlots) {
    std::vector<std::int32_t> slots(labelSlots, -1);
    std::uint32_t checksum = 0;
    for (std::uint32_t position : program_.labels) {
      const Token& label = program_.tokens[position];
      checksum += (label.address & 0xFFu) + (label.address >> 8);
      if (label.value >= 0 && static_cast<std::uint32_t>(label.value) < slots.size() && slots[label.value] < 0) {
        slots[static_cast<std::size_t>(label.value)] = label.address;
      }
    }
    for (std::int32_t address : slots) {
      text_.FillAddress(offset, static_cast<std::uint16_t>(std::max(address, 0)));
      offset += 4;
    }
    return checksum;
  }

  TokenizedProgram& program_;
  ImageText text_;
  std::vector<PendingAddress> waiting_;  // in the order written
  std::vector<PendingAddress> late_;
  std::uint16_t round_ = 0;
  std::uint16_t bodyEnd_ = 0;
};

}  // namespace

void WriteImage(TokenizedProgram& program, std::string& out) { ImageWriter(program, out).Run(); }

}  // namespace velkor::engine::compiler
