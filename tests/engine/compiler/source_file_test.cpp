#include <gtest/gtest.h>

#include "engine/compiler/source_file.h"
#include "tests/engine/compiler/compile_helpers.h"
#include "tests/support/test_environment.h"

namespace compiler = velkor::engine::compiler;
using compiler::StripRichText;

TEST(RichText, KeepsTheTextAndItsParagraphs) {
  EXPECT_EQ(StripRichText("{\\rtf1\\ansi\\deff0 a=1 \\par END}"), "a=1 \r\nEND");
  EXPECT_EQ(StripRichText("{\\rtf1 PRINT(\"x\\tab y\")}"), "PRINT(\"x\ty\")");
  EXPECT_EQ(StripRichText("{\\rtf1 a\\{b\\}c\\\\d}"), "a{b}c\\d");
  EXPECT_EQ(StripRichText("{\\rtf1\r\n a=1\r\n}"), " a=1");
  EXPECT_EQ(StripRichText("{\\rtf1\\fs-20 x}"), "x");
}

TEST(RichText, SkipsMarkupGroups) {
  EXPECT_EQ(StripRichText("{\\rtf1{\\fonttbl{\\f0\\fmodern Courier;}{\\f1 Arial;}}\\f0 END}"), "END");
  EXPECT_EQ(StripRichText("{\\rtf1{\\colortbl;\\red0\\green0\\blue0;}{\\info{\\title P}{\\author me}}END}"), "END");
  EXPECT_EQ(StripRichText("{\\rtf1{\\*\\generator Writer;}END}"), "END");
  EXPECT_EQ(StripRichText("{\\rtf1{\\stylesheet{\\s0 \\{Normal\\};}}a}"), "a");
  EXPECT_EQ(StripRichText("{\\rtf1 caf\\'e9 x}"), "caf x");  // a hex escape goes whole
  EXPECT_EQ(StripRichText("{\\rtf1 a\\~b}"), "a");           // any other escape takes the next character too
}

TEST(RichText, EndsSafelyOnTruncatedMarkup) {
  for (const char* text : {"{\\rtf1 \\", "{\\rtf1{\\fonttbl{", "{\\rtf1 \\*", "{\\rtf1 \\'", "{\\rtf1 \\par"}) {
    EXPECT_NO_THROW(StripRichText(text)) << text;
  }
}

TEST(SourceFile, CompilesRichTextLikeThePlainText) {
  velkor::testing::TemporaryFolder folder;
  const auto rtf = folder.path() / "prog.rtf";
  velkor::testing::WriteFile(rtf, "{\\rtf1\\ansi{\\fonttbl\\f0 Courier;}\\f0 a=1 \\par END\\par}");
  compiler::Compiler fromFile;
  fromFile.CompileFile(rtf);
  ASSERT_EQ(fromFile.Errors().ErrorCount(), 0);
  EXPECT_EQ(fromFile.Image(), velkor::testing::ImageOf("a=1\nEND"));
}

TEST(SourceFile, ImageNameReplacesTheFileNamesExtension) {
  EXPECT_EQ(compiler::ImageNameFor("prog.src"), "prog.vqx");
  EXPECT_EQ(compiler::ImageNameFor("/a/b/prog.v2.txt"), "/a/b/prog.v2.vqx");
  EXPECT_EQ(compiler::ImageNameFor("prog"), "prog.vqx");
  EXPECT_EQ(compiler::ImageNameFor("./dir.d/prog"), "./dir.d/prog.vqx");  // a folder's "." does not count
}
