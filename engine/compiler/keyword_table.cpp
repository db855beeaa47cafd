#include "engine/compiler/keyword_table.h"

#include <algorithm>
#include <utility>

namespace velkor::engine::compiler {
namespace {

// The order carries no meaning; lookup is by exact name.
constexpr KeywordEntry kListedEntries[] = {
    {"!", kCommand, 0, 0, {0}},
    {"BON", kCommand, 0, 0, {0}},
    {"BOFF", kCommand, 0, 0, {0}},
    {"BREAK", kCommand, 0, 0, {0}},
    {"BRKC", kCommand, 0, 0, {0}},
    {"BRKENG", kCommand, 0, 0, {0}},
    {"BRKF", kCommand, 0, 0, {0}},
    {"BRKG", kCommand, 0, 0, {0}},
    {"BRKI", kCommand, 0, 0, {0}},
    {"BRKRLS", kCommand, 0, 0, {0}},
    {"BRKSRV", kCommand, 0, 0, {0}},
    {"BRKTRJ", kCommand, 0, 0, {0}},
    {"CASE", kCommand, 0, 0, {0}},
    {"CI", kCommand, 0, 0, {0}},
    {"CMD", kCommand, 0, 0, {0}},
    {"CMD1", kCommand, 0, 0, {0}},
    {"DAT", kCommand, 0, 0, {0}},
    {"DAT1", kCommand, 0, 0, {0}},
    {"DD0", kCommand, 0, 0, {0}},
    {"DD1", kCommand, 0, 0, {0}},
    {"DE0", kCommand, 0, 0, {0}},
    {"DE1", kCommand, 0, 0, {0}},
    {"DEFAULT", kCommand, 0, 0, {0}},
    {"ECHO", kCommand, 0, 0, {0}},
    {"ECHO1", kCommand, 0, 0, {0}},
    {"ECHO_OFF", kCommand, 0, 0, {0}},
    {"ECHO_OFF1", kCommand, 0, 0, {0}},
    {"ELSE", kCommand, 0, 0, {0}},
    {"ELSEIF", kCommand, 0, 0, {0}},
    {"ENC0", kCommand, 0, 0, {0}},
    {"ENC1", kCommand, 0, 0, {0}},
    {"END", kCommand, 0, 0, {0}},
    {"ENDS", kCommand, 0, 0, {0}},
    {"ENDIF", kCommand, 0, 0, {0}},
    {"ES400", kCommand, 0, 0, {0}},
    {"ES1000", kCommand, 0, 0, {0}},
    {"FLON", kCommand, 0, 0, {0}},
    {"FLOFF", kCommand, 0, 0, {0}},
    {"G", kCommand, 0, 0, {0}},
    {"IF", kCommand, 0, 0, {0}},
    {"KGOFF", kCommand, 0, 0, {0}},
    {"KGON", kCommand, 0, 0, {0}},
    {"LIMD", kCommand, 0, 0, {0}},
    {"LIMH", kCommand, 0, 0, {0}},
    {"LIML", kCommand, 0, 0, {0}},
    {"LIMN", kCommand, 0, 0, {0}},
    {"LOAD", kCommand, 0, 0, {0}},
    {"LOCKP", kCommand, 0, 0, {0}},
    {"LOCKPROM", kCommand, 0, 0, {0}},
    {"LOOP", kCommand, 0, 0, {0}},
    {"MC", kCommand, 0, 0, {0}},
    {"MC2", kCommand, 0, 0, {0}},
    {"MC4", kCommand, 0, 0, {0}},
    {"MC8", kCommand, 0, 0, {0}},
    {"MD", kCommand, 0, 0, {0}},
    {"MD50", kCommand, 0, 0, {0}},
    {"MF0", kCommand, 0, 0, {0}},
    {"MF1", kCommand, 0, 0, {0}},
    {"MF2", kCommand, 0, 0, {0}},
    {"MF4", kCommand, 0, 0, {0}},
    {"MFR", kCommand, 0, 0, {0}},
    {"MP", kCommand, 0, 0, {0}},
    {"MS", kCommand, 0, 0, {0}},
    {"MS0", kCommand, 0, 0, {0}},
    {"MSR", kCommand, 0, 0, {0}},
    {"MT", kCommand, 0, 0, {0}},
    {"MTB", kCommand, 0, 0, {0}},
    {"MV", kCommand, 0, 0, {0}},
    {"MLC", kCommand, 0, 0, {0}},
    {"MLI", kCommand, 0, 0, {0}},
    {"MLO", kCommand, 0, 0, {0}},
    {"MLX", kCommand, 0, 0, {0}},
    {"OFF", kCommand, 0, 0, {0}},
    {"PID1", kCommand, 0, 0, {0}},
    {"PID2", kCommand, 0, 0, {0}},
    {"PID4", kCommand, 0, 0, {0}},
    {"PID8", kCommand, 0, 0, {0}},
    {"Q", kCommand, 0, 0, {0}},
    {"RCKS", kCommand, 0, 0, {0}},
    {"RCS", kCommand, 0, 0, {0}},
    {"RCS1", kCommand, 0, 0, {0}},
    {"RETURN", kCommand, 0, 0, {0}},
    {"RETURNF", kCommand, 0, 0, {0}},
    {"RETURNI", kCommand, 0, 0, {0}},
    {"RMODE", kCommand, 0, 0, {0}},
    {"RS2", kCommand, 0, 0, {0}},
    {"RS4", kCommand, 0, 0, {0}},
    {"RSP", kCommand, 0, 0, {0}},
    {"RUN", kCommand, 0, 0, {0}},
    {"RUN?", kCommand, 0, 0, {0}},
    {"RW", kCommand, 0, 0, {0}},
    {"SILENT", kCommand, 0, 0, {0}},
    {"SILENT1", kCommand, 0, 0, {0}},
    {"SLD", kCommand, 0, 0, {0}},
    {"SLE", kCommand, 0, 0, {0}},
    {"SLEEP", kCommand, 0, 0, {0}},
    {"SLEEP1", kCommand, 0, 0, {0}},
    {"STACK", kCommand, 0, 0, {0}},
    {"STUBA", kCommand, 0, 0, {0}},
    {"STUBB", kCommand, 0, 0, {0}},
    {"STUBC", kCommand, 0, 0, {0}},
    {"STUBD", kCommand, 0, 0, {0}},
    {"SWITCH", kCommand, 0, 0, {0}},
    {"TALK", kCommand, 0, 0, {0}},
    {"TALK1", kCommand, 0, 0, {0}},
    {"TWAIT", kCommand, 0, 0, {0}},
    {"UCP", kCommand, 0, 0, {0}},
    {"UDM", kCommand, 0, 0, {0}},
    {"UG", kCommand, 0, 0, {0}},
    {"ULIMDISABLE", kCommand, 0, 0, {0}},
    {"ULIMENABLE", kCommand, 0, 0, {0}},
    {"UP", kCommand, 0, 0, {0}},
    {"UPLOAD", kCommand, 0, 0, {0}},
    {"WAKE", kCommand, 0, 0, {0}},
    {"WAKE1", kCommand, 0, 0, {0}},
    {"WHILE", kCommand, 0, 0, {0}},
    {"X", kCommand, 0, 0, {0}},
    {"Z", kCommand, 0, 0, {0}},
    {"ZS", kCommand, 0, 0, {0}},
    {"Za", kCommand, 0, 0, {0}},
    {"Zb", kCommand, 0, 0, {0}},
    {"Zc", kCommand, 0, 0, {0}},
    {"Zd", kCommand, 0, 0, {0}},
    {"Ze", kCommand, 0, 0, {0}},
    {"Zf", kCommand, 0, 0, {0}},
    {"Zh", kCommand, 0, 0, {0}},
    {"Zl", kCommand, 0, 0, {0}},
    {"Zr", kCommand, 0, 0, {0}},
    {"Zs", kCommand, 0, 0, {0}},
    {"Zu", kCommand, 0, 0, {0}},
    {"Zv", kCommand, 0, 0, {0}},
    {"Zw", kCommand, 0, 0, {0}},
    {"Zy", kCommand, 0, 0, {0}},
    {"Zz", kCommand, 0, 0, {0}},
    {"CHN0", kCommand, kReadable, 0, {6}},
    {"CHN1", kCommand, kReadable, 0, {6}},
    {"LEN", kCommand, kReadable, 0, {6}},
    {"LEN1", kCommand, kReadable, 0, {6}},
    {"GETCHR", kCommand, kReadable, 0, {14}},
    {"GETCHR1", kCommand, kReadable, 0, {14}},
    {"UAI", kCommand, kReadable, 0, {3}},
    {"UAO", kCommand, kReadable, 0, {3}},
    {"UBI", kCommand, kReadable, 0, {3}},
    {"UBO", kCommand, kReadable, 0, {3}},
    {"UCI", kCommand, kReadable, 0, {3}},
    {"UCO", kCommand, kReadable, 0, {3}},
    {"UDI", kCommand, kReadable, 0, {3}},
    {"UDO", kCommand, kReadable, 0, {3}},
    {"UEI", kCommand, kReadable, 0, {3}},
    {"UEO", kCommand, kReadable, 0, {3}},
    {"UFI", kCommand, kReadable, 0, {3}},
    {"UFO", kCommand, kReadable, 0, {3}},
    {"UGI", kCommand, kReadable, 0, {3}},
    {"UGO", kCommand, kReadable, 0, {3}},
    {"S", kCommand, kReportable | kReadable, 0, {15}},
    {"F", kCommand, kAssignable | kReportable | kReadable, 0, {79}},
    {"A", kParameter, kAssignable | kReportable | kReadable, 0, {85}},
    {"CLK", kParameter, kAssignable | kReportable | kReadable, 0, {85}},
    {"E", kParameter, kAssignable | kReportable | kReadable, 0, {85}},
    {"D", kParameter, kAssignable | kReportable | kReadable, 0, {86}},
    {"KF", kParameter, kAssignable | kReportable | kReadable, 0, {86}},
    {"KG", kParameter, kAssignable | kReportable | kReadable, 0, {86}},
    {"P", kParameter, kAssignable | kReportable | kReadable, 0, {86}},
    {"V", kParameter, kAssignable | kReportable | kReadable, 0, {86}},
    {"KA", kParameter, kAssignable | kReportable | kReadable, 0, {82}},
    {"KD", kParameter, kAssignable | kReportable | kReadable, 0, {82}},
    {"KI", kParameter, kAssignable | kReportable | kReadable, 0, {82}},
    {"KL", kParameter, kAssignable | kReportable | kReadable, 0, {82}},
    {"KP", kParameter, kAssignable | kReportable | kReadable, 0, {82}},
    {"KV", kParameter, kAssignable | kReportable | kReadable, 0, {82}},
    {"KS", kParameter, kAssignable | kReportable | kReadable, 0, {79}},
    {"T", kParameter, kAssignable | kReportable | kReadable, 0, {83}},
    {"MOD", kParameter, kAssignable | kReportable | kReadable, 0, {93}},
    {"O1", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O2", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O3", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O4", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O5", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O6", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O7", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"O8", kParameter, kAssignable | kReportable | kReadable, 0, {3}},
    {"OA", kParameter, kAssignable | kReportable | kReadable, 0, {15}},
    {"CC", kParameter, kAssignable | kReadable, 0, {86}},
    {"CF", kParameter, kAssignable | kReadable, 0, {86}},
    {"CUR", kParameter, kAssignable | kReadable, 0, {86}},
    {"FD", kParameter, kAssignable | kReadable, 0, {86}},
    {"FDB", kParameter, kAssignable | kReadable, 0, {86}},
    {"FLIM", kParameter, kAssignable | kReadable, 0, {86}},
    {"FMB", kParameter, kAssignable | kReadable, 0, {86}},
    {"LLA", kParameter, kAssignable | kReadable, 0, {86}},
    {"LLB", kParameter, kAssignable | kReadable, 0, {86}},
    {"LWA", kParameter, kAssignable | kReadable, 0, {86}},
    {"LWB", kParameter, kAssignable | kReadable, 0, {86}},
    {"MFRATIO", kParameter, kAssignable | kReadable, 0, {86}},
    {"SLN", kParameter, kAssignable | kReadable, 0, {22}},
    {"SLP", kParameter, kAssignable | kReadable, 0, {22}},
    {"ADDR", kParameter, kAssignable | kReadable, 0, {75}},
    {"MFDIV", kParameter, kAssignable | kReadable, 0, {83}},
    {"MFMUL", kParameter, kAssignable | kReadable, 0, {83}},
    {"THS", kParameter, kAssignable | kReadable, 0, {84}},
    {"TH", kParameter, kAssignable | kReadable, 0, {79}},
    {"AMPS", kParameter, kAssignable | kReportable, 0, {17}},
    {"UA", kParameter, kAssignable | kReportable, 0, {67}},
    {"UB", kParameter, kAssignable | kReportable, 0, {67}},
    {"UC", kParameter, kAssignable | kReportable, 0, {67}},
    {"UD", kParameter, kAssignable | kReportable, 0, {67}},
    {"UE", kParameter, kAssignable | kReportable, 0, {67}},
    {"UF", kParameter, kAssignable | kReportable, 0, {67}},
    {"BAUD", kParameter, kAssignable, 0, {87}},
    {"BASE", kParameter, kAssignable, 0, {82}},
    {"SIZE", kParameter, kAssignable, 0, {82}},
    {"EPTR", kParameter, kAssignable, 0, {84}},
    {"THD", kParameter, kAssignable, 0, {84}},
    {"O", kParameter, kAssignable, 0, {86}},
    {"RES", kParameter, kAssignable, 0, {79}},
    {"VD", kParameter, kAssignable, 0, {21}},
    {"VL", kParameter, kAssignable, 0, {17}},
    {"WAIT", kParameter, kAssignable, 0, {85}},
    {"Ba", kParameter, kReportable | kReadable, 0, {3}},
    {"Bb", kParameter, kReportable | kReadable, 0, {3}},
    {"Bc", kParameter, kReportable | kReadable, 0, {3}},
    {"Bd", kParameter, kReportable | kReadable, 0, {3}},
    {"Be", kParameter, kReportable | kReadable, 0, {3}},
    {"Bf", kParameter, kReportable | kReadable, 0, {3}},
    {"Bh", kParameter, kReportable | kReadable, 0, {3}},
    {"Bi", kParameter, kReportable | kReadable, 0, {3}},
    {"Bk", kParameter, kReportable | kReadable, 0, {3}},
    {"Bl", kParameter, kReportable | kReadable, 0, {3}},
    {"Bm", kParameter, kReportable | kReadable, 0, {3}},
    {"Bo", kParameter, kReportable | kReadable, 0, {3}},
    {"Bp", kParameter, kReportable | kReadable, 0, {3}},
    {"Br", kParameter, kReportable | kReadable, 0, {3}},
    {"Bs", kParameter, kReportable | kReadable, 0, {3}},
    {"Bt", kParameter, kReportable | kReadable, 0, {3}},
    {"Bu", kParameter, kReportable | kReadable, 0, {3}},
    {"Bv", kParameter, kReportable | kReadable, 0, {3}},
    {"Bx", kParameter, kReportable | kReadable, 0, {3}},
    {"Bw", kParameter, kReportable | kReadable, 0, {3}},
    {"By", kParameter, kReportable | kReadable, 0, {3}},
    {"Bz", kParameter, kReportable | kReadable, 0, {3}},
    {"I1", kParameter, kReportable | kReadable, 0, {3}},
    {"I2", kParameter, kReportable | kReadable, 0, {3}},
    {"I3", kParameter, kReportable | kReadable, 0, {3}},
    {"I4", kParameter, kReportable | kReadable, 0, {3}},
    {"I5", kParameter, kReportable | kReadable, 0, {3}},
    {"I6", kParameter, kReportable | kReadable, 0, {3}},
    {"I7", kParameter, kReportable | kReadable, 0, {3}},
    {"I8", kParameter, kReportable | kReadable, 0, {3}},
    {"I9", kParameter, kReportable | kReadable, 0, {3}},
    {"I10", kParameter, kReportable | kReadable, 0, {3}},
    {"I11", kParameter, kReportable | kReadable, 0, {3}},
    {"I12", kParameter, kReportable | kReadable, 0, {3}},
    {"OF", kParameter, kReportable | kReadable, 0, {3}},
    {"CTR", kParameter, kReportable | kReadable, 0, {22}},
    {"I", kParameter, kReportable | kReadable, 0, {22}},
    {"IA", kParameter, kReportable | kReadable, 0, {18}},
    {"U", kParameter, kReportable | kReadable, 0, {12}},
    {"UAA", kParameter, kReportable | kReadable, 0, {17}},
    {"UBA", kParameter, kReportable | kReadable, 0, {17}},
    {"UCA", kParameter, kReportable | kReadable, 0, {17}},
    {"UDA", kParameter, kReportable | kReadable, 0, {17}},
    {"UEA", kParameter, kReportable | kReadable, 0, {17}},
    {"UFA", kParameter, kReportable | kReadable, 0, {17}},
    {"UGA", kParameter, kReportable | kReadable, 0, {17}},
    {"@P", kParameter, kReadable, 0, {22}},
    {"@PE", kParameter, kReadable, 0, {22}},
    {"TS", kParameter, kReadable, 0, {22}},
    {"VER", kParameter, kReadable, 0, {22}},
    {"VOLTS", kParameter, kReadable, 0, {22}},
    {"@V", kParameter, kReadable, 0, {19}},
    {"PWM", kParameter, kReadable, 0, {19}},
    {"CX", kParameter, kReadable, 0, {9}},
    {"TEMP", kParameter, kReadable, 0, {14}},
    {"UHA", kParameter, kReadable, 0, {17}},
    {"UIA", kParameter, kReadable, 0, {17}},
    {"UJA", kParameter, kReadable, 0, {17}},
    {"UKA", kParameter, kReadable, 0, {17}},
    {"ULA", kParameter, kReadable, 0, {17}},
    {"C", kIndexSuffix, 0, 1, {16, 0}},
    {"GOSUB", kIndexSuffix, 0, 1, {16, 0}},
    {"GOTO", kIndexSuffix, 0, 1, {16, 0}},
    {"SADDR", kIndexSuffix, 0, 1, {11, 0}},
    {"AINA", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AINB", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AINC", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AIND", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AINE", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AINF", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AING", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"AINH", kIndexSuffix, kReportable | kReadable, 1, {5, 15}},
    {"DINA", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DINB", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DINC", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DIND", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DINE", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DINF", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DING", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DINH", kIndexSuffix, kReportable | kReadable, 1, {8, 15}},
    {"DOUTA", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTB", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTC", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTD", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTE", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTF", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTG", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"DOUTH", kIndexSuffixParams, 0, 2, {8, 79, 0}},
    {"AOUTA", kCommaParams, 0, 1, {8, 0}},
    {"AOUTB", kCommaParams, 0, 1, {8, 0}},
    {"AOUTC", kCommaParams, 0, 1, {8, 0}},
    {"AOUTD", kCommaParams, 0, 1, {8, 0}},
    {"AOUTE", kCommaParams, 0, 1, {8, 0}},
    {"AOUTF", kCommaParams, 0, 1, {8, 0}},
    {"AOUTG", kCommaParams, 0, 1, {8, 0}},
    {"AOUTH", kCommaParams, 0, 1, {8, 0}},
    {"CCHN", kParenParams, 0, 2, {25, 4, 0}},
    {"OCHN", kParenParams, 0, 7, {25, 4, 26, 23, 3, 24, 27, 0}},
    {"VLD", kParenParams, 0, 2, {28, 20, 0}},
    {"VST", kParenParams, 0, 2, {28, 20, 0}},
    {"PRINT", kPrintList, 0, 0, {0}},
    {"PRINT1", kPrintList, 0, 0, {0}},
    {"PRINTA", kPrintList, 0, 0, {0}},
    {"PRINTB", kPrintList, 0, 0, {0}},
    {"PRINTC", kPrintList, 0, 0, {0}},
    {"PRINTD", kPrintList, 0, 0, {0}},
    {"PRINTE", kPrintList, 0, 0, {0}},
    {"PRINTF", kPrintList, 0, 0, {0}},
    {"PRINTG", kPrintList, 0, 0, {0}},
    {"PRINTH", kPrintList, 0, 0, {0}},
    // The internal entries: user variables and al, then aw, then ab. The
    // kind after the value kind is the kind of the index.
    {"", kParameter, kAssignable | kReadable, 0, {kExpressionAllowed | kAny32, 7}},
    {"", kParameter, kAssignable | kReadable, 0, {kExpressionAllowed | 19, 9}},
    {"", kParameter, kAssignable | kReadable, 0, {kExpressionAllowed | 14, 13}},
};

static_assert(std::size(kListedEntries) == kKeywordCount);

constexpr Structure StructureNamed(std::string_view name) {
  constexpr std::pair<std::string_view, Structure> kStructures[] = {
      {"IF", Structure::If},           {"ELSEIF", Structure::ElseIf},   {"ELSE", Structure::Else},
      {"ENDIF", Structure::EndIf},     {"SWITCH", Structure::Switch},   {"CASE", Structure::Case},
      {"DEFAULT", Structure::Default}, {"ENDS", Structure::EndSwitch},  {"WHILE", Structure::While},
      {"LOOP", Structure::Loop},       {"BREAK", Structure::Break},     {"END", Structure::End},
  };
  for (const auto& [structureName, structure] : kStructures) {
    if (structureName == name) return structure;
  }
  return Structure::None;
}

constexpr LabelRole LabelRoleNamed(std::string_view name) {
  if (name == "C") return LabelRole::Definition;
  if (name == "GOTO") return LabelRole::Goto;
  if (name == "GOSUB") return LabelRole::Gosub;
  return LabelRole::None;
}

// Only the plain commands are structures, and only index-suffix keywords
// name labels.
constexpr std::array<KeywordEntry, kKeywordCount> WithDerivedRoles(std::array<KeywordEntry, kKeywordCount> entries) {
  for (KeywordEntry& entry : entries) {
    if (entry.syntaxClass == kCommand) entry.structure = StructureNamed(entry.name);
    if (entry.syntaxClass == kIndexSuffix) entry.labelRole = LabelRoleNamed(entry.name);
  }
  return entries;
}

}  // namespace

constexpr std::array<KeywordEntry, kKeywordCount> kKeywordEntries = WithDerivedRoles(std::to_array(kListedEntries));

namespace {

constexpr std::size_t CountDerived(bool structures) {
  std::size_t count = 0;
  for (const KeywordEntry& entry : kKeywordEntries) {
    count += structures ? entry.structure != Structure::None : entry.labelRole != LabelRole::None;
  }
  return count;
}
static_assert(CountDerived(true) == 12 && CountDerived(false) == 3, "a structure or label keyword lost its name");

}  // namespace

// The lookup tables of FindKeyword.
namespace keyword_lookup {
namespace {

constexpr Slots BuildSlots() {
  Slots slots{};
  slots.fill(kEmptySlot);
  for (std::size_t index = 0; index < kKeywordCount; ++index) {
    const std::string_view name = kKeywordEntries[index].name;
    if (name.empty()) continue;
    std::size_t slot = Hash(name);
    while (slots[slot] != kEmptySlot) slot = NextSlot(slot);
    slots[slot] = static_cast<std::uint16_t>(index);
  }
  return slots;
}

// Most words of a program (variables, numbers) start with a character that
// no name starts with: they are turned away before hashing.
constexpr std::array<bool, 256> FirstCharacters() {
  std::array<bool, 256> first{};
  for (const KeywordEntry& entry : kKeywordEntries) {
    if (!entry.name.empty()) first[static_cast<unsigned char>(entry.name[0])] = true;
  }
  return first;
}

constexpr std::size_t LongestName() {
  std::size_t longest = 0;
  for (const KeywordEntry& entry : kKeywordEntries) longest = std::max(longest, entry.name.size());
  return longest;
}
static_assert(LongestName() == kLongestName);

}  // namespace

constexpr Slots kSlots = BuildSlots();
constexpr std::array<bool, 256> kStartsAName = FirstCharacters();

namespace {

constexpr bool SomeNameStartsWithADigit() {
  for (char digit = '0'; digit <= '9'; ++digit) {
    if (kStartsAName[static_cast<unsigned char>(digit)]) return true;
  }
  return false;
}
static_assert(!SomeNameStartsWithADigit(), "the tokenizer takes a word that starts with a digit for a number or nothing");

}  // namespace
}  // namespace keyword_lookup

std::span<const KeywordEntry> KeywordTable() { return kKeywordEntries; }

}  // namespace velkor::engine::compiler
