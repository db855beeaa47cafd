#include <gtest/gtest.h>

#include <cctype>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/compiler/keyword_table.h"
#include "engine/compiler/label_index.h"
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
  const auto& program = tokenized->program;
  for (const Token& token : program.TokensOf(program.lines[0])) texts.emplace_back(program.TextOf(token));
  return texts;
}

Token Classified(std::string_view word) {
  Token token;
  compiler::ClassifyWord(word, token);
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

// Exact and case-sensitive: "Zs" and "ZS" are two entries, "zs" none.
TEST(KeywordTable, FindsEveryNameWholeAndNothingElse) {
  for (const auto& entry : compiler::KeywordTable()) {
    if (entry.name.empty()) continue;
    EXPECT_EQ(compiler::FindKeyword(entry.name), &entry) << entry.name;
    // A name one character longer or shorter, or in lower case, is another
    // name or none.
    const std::string longer = std::string(entry.name) + "Z";
    const std::string_view shorter = entry.name.substr(0, entry.name.size() - 1);
    for (std::string_view other : {std::string_view(longer), shorter}) {
      if (const auto* found = compiler::FindKeyword(other)) {
        EXPECT_EQ(found->name, other) << entry.name;
      }
    }
    std::string lower(entry.name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower != entry.name) {
      EXPECT_EQ(compiler::FindKeyword(lower), nullptr) << entry.name;
    }
  }
  EXPECT_EQ(compiler::FindKeyword("ULIMDISABLEX"), nullptr);  // longer than any name
  EXPECT_EQ(compiler::FindKeyword("END "), nullptr);
  EXPECT_EQ(compiler::FindKeyword(""), nullptr);
  EXPECT_EQ(compiler::FindKeyword(std::string_view("IF\0", 3)), nullptr);
}

TEST(KeywordTable, KnowsItsStructuresAndLabelKeywords) {
  using compiler::Structure;
  const std::pair<const char*, Structure> structures[] = {
      {"IF", Structure::If},           {"ELSEIF", Structure::ElseIf},  {"ELSE", Structure::Else},
      {"ENDIF", Structure::EndIf},     {"SWITCH", Structure::Switch},  {"CASE", Structure::Case},
      {"DEFAULT", Structure::Default}, {"ENDS", Structure::EndSwitch}, {"WHILE", Structure::While},
      {"LOOP", Structure::Loop},       {"BREAK", Structure::Break},    {"END", Structure::End},
  };
  for (const auto& [name, structure] : structures) {
    EXPECT_EQ(compiler::StructureOf(compiler::FindKeyword(name)), structure) << name;
  }
  std::size_t structureCount = 0;
  std::set<std::string_view> labelKeywords;
  for (const auto& entry : compiler::KeywordTable()) {
    structureCount += compiler::StructureOf(&entry) != Structure::None;
    if (compiler::IsJump(&entry) || compiler::IsLabelEntry(&entry)) labelKeywords.insert(entry.name);
  }
  EXPECT_EQ(structureCount, std::size(structures));
  EXPECT_EQ(labelKeywords, (std::set<std::string_view>{"C", "GOSUB", "GOTO"}));
  EXPECT_TRUE(compiler::IsLabelEntry(compiler::FindKeyword("C")));
  EXPECT_FALSE(compiler::IsJump(compiler::FindKeyword("C")));
  EXPECT_EQ(compiler::StructureOf(nullptr), Structure::None);
  EXPECT_FALSE(compiler::IsJump(nullptr));
}

TEST(LabelIndex, FindsTheFirstDefinitionOfEveryNumber) {
  // Every number defined twice, the list filled to its capacity; the two
  // oversized ones both saturate to the largest int32.
  std::string text;
  for (int pass = 0; pass < 2; ++pass) {
    for (int number = 0; number < 499; ++number) text += "C" + std::to_string(number * 131) + " ";
  }
  text += "C99999999999 C2147483647";
  auto tokenized = Tokenize(text);
  const auto& program = tokenized->program;
  ASSERT_EQ(program.labels.size(), compiler::kLabelCapacity);
  const compiler::LabelIndex index(program);
  for (int number = 0; number < 499; ++number) {
    EXPECT_EQ(index.FirstDefinition(number * 131), program.labels[static_cast<std::size_t>(number)]) << number;
  }
  EXPECT_EQ(index.FirstDefinition(2147483647), program.labels[998]);
  for (int missing : {1, 130, 499 * 131, 65531, -1}) EXPECT_EQ(index.FirstDefinition(missing), compiler::kNoToken);
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
  EXPECT_EQ(tokenized->program.TextOf(tokens[6]), "'");
  EXPECT_TRUE(tokens[6].IsApostrophe());
  EXPECT_FALSE(tokens[4].IsApostrophe());
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
  EXPECT_EQ(program.TextOf(second[3]), "C0");
  EXPECT_TRUE(second[3].lastInLine);
  EXPECT_FALSE(second[2].lastInLine);
  EXPECT_TRUE(first[1].lastInLine);
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
    const auto* entry = token.Entry();
    EXPECT_EQ(!entry ? "" : entry->name.empty() ? "*" : entry->name, c.entry) << c.word;
  }
  EXPECT_TRUE(Classified("C7").hasSuffix);
  EXPECT_TRUE(compiler::IsLabelDefinition(Classified("C7")));
  EXPECT_FALSE(compiler::IsLabelDefinition(Classified("CHN0")));
}

TEST(Tokenizer, SaturatesDigitsBeyondThirtyTwoBits) {
  const Token big = Classified("99999999999999999999999");
  EXPECT_EQ(big.tokenClass, compiler::kNumber);
  EXPECT_EQ(big.value, 2147483647);
  EXPECT_GT(big.Wide(), 2147483648);
  const Token edge = Classified("2147483648");
  EXPECT_EQ(edge.value, 2147483647);
  EXPECT_EQ(edge.Wide(), 2147483648);
  EXPECT_EQ(Classified("2147483647").Wide(), 2147483647);
  EXPECT_GT(Classified("2147483649").Wide(), 2147483648);
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
