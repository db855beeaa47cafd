#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/compiler/keyword_table.h"
#include "engine/compiler/tokenizer.h"

namespace compiler = velkor::engine::compiler;
using compiler::Token;

namespace {

struct Tokenized {
  std::string text;
  compiler::TokenizedProgram program;
};

// Kept in one place so that the token views stay valid.
std::unique_ptr<Tokenized> Tokenize(std::string text) {
  auto result = std::make_unique<Tokenized>();
  result->text = std::move(text);
  compiler::SplitLines(result->text, result->program);
  for (std::uint32_t line = 0; line < result->program.lines.size(); ++line) {
    compiler::TokenizeLine(line, result->program);
  }
  return result;
}

std::vector<std::string> TextsOf(const std::string& line) {
  auto tokenized = Tokenize(line);
  std::vector<std::string> texts;
  for (const Token& token : tokenized->program.TokensOf(tokenized->program.lines[0])) texts.emplace_back(token.text);
  return texts;
}

Token Classified(std::string_view word) {
  Token token;
  token.text = word;
  compiler::ClassifyWord(token);
  return token;
}

using Texts = std::vector<std::string>;

}  // namespace

TEST(KeywordTable, HoldsEveryEntryOnceWithItsSignature) {
  const auto table = compiler::KeywordTable();
  ASSERT_EQ(table.size(), 331u);
  std::set<std::string_view> names;
  for (const auto& entry : table) {
    if (!entry.name.empty()) {
      EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    }
    EXPECT_LT(entry.name.size(), 20u);
  }
  EXPECT_EQ(names.size(), 328u);  // the three internal entries have no name

  const auto* kp = compiler::FindKeyword("KP");
  ASSERT_NE(kp, nullptr);
  EXPECT_EQ(kp->syntaxClass, compiler::kParameter);
  EXPECT_EQ(kp->access, compiler::kAssignable | compiler::kReportable | compiler::kReadable);
  EXPECT_EQ(kp->ValueKind(), compiler::kExpressionAllowed | 18);

  const auto* ochn = compiler::FindKeyword("OCHN");
  ASSERT_NE(ochn, nullptr);
  EXPECT_EQ(ochn->paramCount, 7);
  EXPECT_EQ(std::vector<int>(ochn->kinds.begin(), ochn->kinds.begin() + 7), (std::vector<int>{25, 4, 26, 23, 3, 24, 27}));

  const auto* dout = compiler::FindKeyword("DOUTC");
  ASSERT_NE(dout, nullptr);
  EXPECT_EQ(dout->syntaxClass, compiler::kIndexSuffixParams);
  EXPECT_EQ(dout->kinds[1], compiler::kExpressionAllowed | 15);

  EXPECT_EQ(compiler::ByteArrayEntry().kinds[0], compiler::kExpressionAllowed | 14);
  EXPECT_EQ(compiler::ByteArrayEntry().kinds[1], 13);
  EXPECT_EQ(compiler::WordArrayEntry().kinds[1], 9);
  EXPECT_EQ(compiler::UserVariableEntry().kinds[1], 7);
}

TEST(KeywordTable, LookupIsExactAndCaseSensitive) {
  EXPECT_NE(compiler::FindKeyword("Zs"), nullptr);
  EXPECT_NE(compiler::FindKeyword("ZS"), nullptr);
  EXPECT_NE(compiler::FindKeyword("Zs"), compiler::FindKeyword("ZS"));
  EXPECT_EQ(compiler::FindKeyword("zs"), nullptr);
  EXPECT_EQ(compiler::FindKeyword("END "), nullptr);
  EXPECT_EQ(compiler::FindKeyword(""), nullptr);
  EXPECT_NE(compiler::FindKeyword("RUN?"), nullptr);
  EXPECT_NE(compiler::FindKeyword("@PE"), nullptr);
}

TEST(Tokenizer, CutsLinesAtTheDelimiters) {
  EXPECT_EQ(TextsOf("a=b+c"), (Texts{"a", "=", "b", "+", "c"}));
  EXPECT_EQ(TextsOf("IF a>=10"), (Texts{"IF", "a", ">=", "10"}));
  EXPECT_EQ(TextsOf("x=-5"), (Texts{"x", "=", "-", "5"}));
  EXPECT_EQ(TextsOf("a == b != c <= d"), (Texts{"a", "==", "b", "!=", "c", "<=", "d"}));
  EXPECT_EQ(TextsOf("  \tKP = 40000"), (Texts{"KP", "=", "40000"}));
  EXPECT_EQ(TextsOf("al[a]=ab[3]"), (Texts{"al", "[", "a", "]", "=", "ab", "[", "3", "]"}));
  EXPECT_EQ(TextsOf("!"), (Texts{"!"}));
  EXPECT_EQ(TextsOf(""), Texts{});
}

TEST(Tokenizer, KeepsStringsAndCommentsWhole) {
  EXPECT_EQ(TextsOf("PRINT(\"A,B\",a)"), (Texts{"PRINT", "(", "\"", "A,B", "\"", ",", "a", ")"}));
  EXPECT_EQ(TextsOf("PRINT(\"  two  spaces \")"), (Texts{"PRINT", "(", "\"", "  two  spaces ", "\"", ")"}));
  EXPECT_EQ(TextsOf("PRINT(\"abc)"), (Texts{"PRINT", "(", "\"", "abc)"}));
  EXPECT_EQ(TextsOf("a=1 'set a"), (Texts{"a", "=", "1", "'", "set a"}));

  auto tokenized = Tokenize("PRINT(\"x\") 'note");
  auto tokens = tokenized->program.TokensOf(tokenized->program.lines[0]);
  EXPECT_TRUE(tokens[3].Is(compiler::kStringLiteral));
  EXPECT_TRUE(tokens[7].Is(compiler::kCommentText));
  EXPECT_EQ(tokens[6].text, "'");
  EXPECT_EQ(tokens[7].column, 12);
}

TEST(Tokenizer, RecordsColumnsAndLabels) {
  auto tokenized = Tokenize("C7 GOTO12\n\tKP=1 C0\n");
  const auto& program = tokenized->program;
  auto first = program.TokensOf(program.lines[0]);
  EXPECT_EQ(first[1].column, 3);
  auto second = program.TokensOf(program.lines[1]);
  EXPECT_EQ(second[0].column, 1);  // a tab counts as one character
  EXPECT_EQ(second[3].column, 6);
  EXPECT_EQ(second[3].indexInLine, 3u);
  ASSERT_EQ(program.labels.size(), 2u);
  EXPECT_EQ(program.tokens[program.labels[0]].value, 7);
  EXPECT_EQ(program.tokens[program.labels[1]].value, 0);
}

TEST(Tokenizer, ClassifiesWordsInOrder) {
  struct Case {
    std::string_view word;
    std::uint32_t tokenClass;
    std::string_view entry;  // the entry's name; "*" for an internal entry
    std::int32_t value;
  };
  const Case cases[] = {
      {"GOTO12", compiler::kKeyword, "GOTO", 12},
      {"C7", compiler::kKeyword, "C", 7},
      {"I10", compiler::kKeyword, "I10", 10},  // exact match before suffix stripping
      {"DINA5", compiler::kKeyword, "DINA", 5},
      {"a", compiler::kUserVariable, "*", 0},
      {"www", compiler::kUserVariable, "*", 0},
      {"ab", compiler::kArrayName, "*", 0},
      {"123", compiler::kNumber, "", 123},
      {"RP", compiler::kReportKeyword, "P", 0},
      {"Ra", compiler::kReportVariable, "*", 0},
      {"Ral", compiler::kReportArray, "*", 0},
      {"RAMPS", compiler::kReportKeyword, "AMPS", 0},
      {"RDINA5", compiler::kReportKeyword, "DINA", 5},
      {"RUN", compiler::kKeyword, "RUN", 0},
      {"A100", compiler::kShortAssign, "A", 100},
      {"BAUD9600", compiler::kShortAssign, "BAUD", 9600},
      {"a5", compiler::kShortAssign, "*", 5},
      {"RES5", compiler::kShortAssign, "RES", 5},
      {"xyz", 0, "", 0},
      {"pq", 0, "", 0},
      {"xxx", 0, "", 0},
      {"A1x", 0, "", 0},  // a short assignment needs a whole decimal suffix
      {"RD5", 0, "", 5},  // D is not an index-suffix keyword
      {"ra", 0, "", 0},
  };
  for (const Case& c : cases) {
    const Token token = Classified(c.word);
    EXPECT_EQ(token.tokenClass, c.tokenClass) << c.word;
    EXPECT_EQ(token.value, c.value) << c.word;
    if (c.entry.empty()) {
      EXPECT_EQ(token.entry, nullptr) << c.word;
    } else if (c.entry == "*") {
      ASSERT_NE(token.entry, nullptr) << c.word;
      EXPECT_TRUE(token.entry->name.empty()) << c.word;
    } else {
      ASSERT_NE(token.entry, nullptr) << c.word;
      EXPECT_EQ(token.entry->name, c.entry) << c.word;
    }
  }
  EXPECT_TRUE(Classified("C7").hasSuffix);
  EXPECT_TRUE(compiler::IsLabelDefinition(Classified("C7")));
  EXPECT_FALSE(compiler::IsLabelDefinition(Classified("CHN0")));
}

TEST(Tokenizer, SaturatesDigitsBeyondThirtyTwoBits) {
  const Token big = Classified("99999999999999999999999");
  EXPECT_EQ(big.tokenClass, compiler::kNumber);
  EXPECT_EQ(big.value, 2147483647);
  EXPECT_GT(big.wide, 2147483647);
  const Token edge = Classified("2147483648");
  EXPECT_EQ(edge.wide, 2147483648);
  EXPECT_EQ(Classified("2147483647").wide, 2147483647);
}

TEST(LineSplitting, CountsLinesAndKeepsEveryIndex) {
  auto plain = Tokenize("a=1\nEND");
  auto withFinal = Tokenize("a=1\nEND\n");
  ASSERT_EQ(plain->program.lines.size(), 3u);
  ASSERT_EQ(withFinal->program.lines.size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(plain->program.lines[i].text, withFinal->program.lines[i].text);
    EXPECT_EQ(plain->program.lines[i].lineIndex, withFinal->program.lines[i].lineIndex);
  }
  EXPECT_EQ(plain->program.lines[2].lineIndex, 2);

  // Empty lines keep their numbers, with bare LF as with CR LF.
  auto blank = Tokenize("a=1\n\nEND\n");
  auto blankCrLf = Tokenize("a=1\r\n\r\nEND\r\n");
  ASSERT_EQ(blank->program.lines.size(), 4u);
  EXPECT_EQ(blank->program.lines[2].text, "END");
  EXPECT_EQ(blank->program.lines[2].lineIndex, 2);
  EXPECT_EQ(blankCrLf->program.lines[2].text, "END");
  EXPECT_EQ(blankCrLf->program.lines[0].text, "a=1");

  auto empty = Tokenize("");
  EXPECT_EQ(empty->program.lines.size(), 2u);
  EXPECT_EQ(empty->program.lines[1].lineIndex, 1);
}
