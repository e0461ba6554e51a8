// The parser and the operators, case by case, and every message they raise.
#include "expr/vr6_sql.h"

#include <gtest/gtest.h>

#include "expr/expr_fixture.h"

namespace velorin {
namespace {

using testing::Evaluate;

struct Case {
  const char* text;
  const char* expected;
};

void CheckCases(const std::vector<Case>& cases, TvrExpUserLink* link = nullptr) {
  for (const Case& c : cases) EXPECT_EQ(Evaluate(c.text, link), c.expected) << c.text;
}

TEST(ExpressionOperators, NumbersGroupAndBindByLevel) {
  CheckCases({
      {"10 - 4 - 3", "N:3"},
      {"1 + 2 * 3", "N:7"},
      {"(1 + 2) * 3", "N:9"},
      {"2 ^ 3", "N:8"},
      {"2 ** 3", "N:8"},
      {"2 ^ 0", "N:2"},
      {"2 ^ 1", "N:2"},
      {"2 ^ -5", "N:2"},
      {"7 / 2", "N:3.5"},
      {"-5", "N:-5"},
      {"3 * -2", "N:-6"},
      {"+4", "N:4"},
      {"1 < 2", "B:.T."},
      {"2 <= 2", "B:.T."},
      {"2 =< 1", "B:.F."},
      {"3 => 3", "B:.T."},
      {"1 <> 2", "B:.T."},
      {"1 != 1", "B:.F."},
      {"1 # 2", "B:.T."},
      {"2 GT 1 .AND. 1 LT 2 .AND. 1 EQ 1 .AND. 1 LE 1 .AND. 1 GE 1", "B:.T."},
  });
}

TEST(ExpressionOperators, SignBeforeAnOperandThatIsNoNumberNegatesIt) {
  CheckCases({
      {"-(2 + 3)", "N:-5"},
      {"- (2 + 3) * 2", "N:-10"},
      {"- -5", "N:5"},
      {"10 - -(1)", "N:11"},
      {"-'A'", "error: A number value is required but invalid"},
      {"-", "error: Target value missing for - operation"},
      {"2 * -", "error: Target value missing for - operation"},
  });
}

TEST(ExpressionOperators, PowerStopsAndRefusesWhatIsOutOfRange) {
  CheckCases({
      {"0.5 ^ 5000", "N:0"},
      {"1 ^ 2147483647", "N:1"},
      {"-1 ^ 2147483647", "N:-1"},
      {"2 ^ 2000", "error: Floating point overflow"},
      {"2 ^ 3000000000", "error: A number value is required but invalid"},
      {"2 ^ -3000000000", "error: A number value is required but invalid"},
  });
}

TEST(ExpressionOperators, ArithmeticFaultsRaise) {
  CheckCases({
      {"1 / 0", "error: Division by zero"},
      {"0 / 0", "error: Invalid floating point operation"},
      {"1E300 * 1E300", "error: Floating point overflow"},
      {"-1E308 - 1E308", "error: Floating point overflow"},
  });
}

TEST(ExpressionOperators, BooleansAndNot) {
  CheckCases({
      {"1 = 1 .AND. 2 = 2", "B:.T."},
      {"1 = 2 .OR. 2 = 2", "B:.T."},
      {".NOT. 1 = 2", "B:.T."},
      {"!(1 = 2)", "B:.T."},
      {"NOT .T.", "B:.F."},
      {".T. = .F.", "B:.F."},
      {".T. # .F.", "B:.T."},
      {".T. .AND.(1 = 1)", "B:.T."},
      {".T. + .F.", "error: A number value is required but invalid"},
      {".T. > .F.", "error: A assigned value is required but invalid"},
      {".NOT. 1", "error: A boolean value is required but invalid"},
      {"1 = .NOT. 2", "error: Target value missing for .NOT. operation"},
  });
}

TEST(ExpressionOperators, TextsJoinAndCompare) {
  CheckCases({
      {"'AB ' + 'C'", "T:AB C"},
      {"'AB  ' - 'C'", "T:ABC  "},
      {"'ABC' = 'ABC   '", "B:.T."},
      {"'ABC' = 'AB'", "B:.F."},
      {"'AB' < 'ABC'", "B:.T."},
      {"'IVANOV' = 'IV*'", "B:.T."},
      {"'XIVANOV' = 'IV*'", "B:.F."},
      {"'XABY' = '*AB*'", "B:.T."},
      {"'XYAB' = '*AB'", "B:.T."},
      {"'ABAB' = '*AB'", "B:.F."},
      {"'ANYTHING' = '*'", "B:.T."},
      {"'abc' = 'ABC'", "B:.F."},
      {"'A' * 'B'", "error: A assigned value is required but invalid"},
      {"'A' = 1", "error: The two sides of an operation do not match"},
      {"PADR('A', 300) + PADR('B', 300)", "error: Value longer than 511 bytes in +"},
  });
  EXPECT_EQ(Evaluate("'abc' = 'ABC'", nullptr, true), "B:.T.");
  EXPECT_EQ(Evaluate("'ivanov' = 'IV*'", nullptr, true), "B:.T.");
  EXPECT_EQ(Evaluate("'IVANOV' = 'IV*'", nullptr, false, false), "B:.F.");
}

TEST(ExpressionOperators, DatesMixWithNumbers) {
  CheckCases({
      {"DTOS({20240131})", "T:20240131"},
      {"{20240131} - {20240101}", "D:30"},
      {"DTOS(30 + {20240101})", "T:20240131"},
      {"{20240101} + 30 > 0", "B:.T."},
      {"{}", "D:0"},
  });
  // A date plus a number is a number; a number plus a date is a date.
  EXPECT_EQ(Evaluate("{20240101} + 30").substr(0, 2), "N:");
  EXPECT_EQ(Evaluate("30 + {20240101}").substr(0, 2), "D:");
}

TEST(ExpressionParser, QuirksThatStoredExpressionsRelyOn) {
  CheckCases({
      {"1=1.AND.2=2", "error: The two sides of an operation do not match"},
      {"'It''s'", "error: Expression cannot be evaluated"},
      {"[It's]", "T:It's"},
      {"\"a'b\"", "T:a'b"},
      {"TRUE", "B:.T."},
      {"FALSE", "B:.F."},
      {".F.", "B:.F."},
      {"1 == 1", "error: A assigned value is required but invalid"},
      {"1 LIKE 1", "error: A assigned value is required but invalid"},
      {"'A' POS 'B'", "error: A assigned value is required but invalid"},
      {"'A' $ 'B'", "error: Expression cannot be evaluated"},
      {"UPPER (X)", "error: Field/variable UPPER is unknown"},
      {"'A' -> 'B'", "error: Field/variable . is unknown"},
      {"()", "type 1"},
      {"'unclosed", "T:unclosed"},
  });
}

TEST(ExpressionParser, LiteralsKeepBytesThatLookLikeOperatorCodes) {
  // Иванов and Щ (0xD9), and the bytes 0x81 to 0x9D of code page 1251.
  std::string cyrillic = "\xC8\xE2\xE0\xED\xEE\xE2\xD9";
  std::string high;
  for (int b = 0x81; b <= 0x9D; ++b) high += static_cast<char>(b);
  EXPECT_EQ(Evaluate("'" + cyrillic + "'"), "T:" + cyrillic);
  EXPECT_EQ(Evaluate("'" + high + "'"), "T:" + high);
  EXPECT_EQ(Evaluate("'" + high + "' = '" + high + "'"), "B:.T.");
}

TEST(ExpressionMessages, EveryParserMessage) {
  CheckCases({
      {"(1 + 2", "error: Missing closing parentheses"},
      {"UPPER('a'", "error: Missing closing parentheses"},
      {"1 2", "error: Expression cannot be evaluated"},
      {"FOO(1)", "error: There is no function for FOO"},
      {"X + 1", "error: Field/variable X is unknown"},
      {"UPPER(1)", "error: Text needed for Argument 1 of UPPER"},
      {"LEFT('A', 'B')", "error: Number needed for Argument 2 of LEFT"},
      {"DTOS('A')", "error: Date needed for Argument 1 of DTOS"},
      {"IIF(1, 2, 3)", "error: Boolean needed for Argument 1 of IIF"},
      {"LEFT(, 1)", "error: Argument 1 of LEFT is empty"},
      {"LEFT('A', )", "error: Argument 2 of LEFT is empty"},
      {"1 +", "error: Target value missing for + operation"},
      {"{20240199x}", "error: '20240199x' is not a valid date"},
  });
  EXPECT_EQ(Evaluate(std::string(512, '1')), "error: Expression text longer than 511 characters");
  // A number word that is no double reads 0.
  EXPECT_EQ(Evaluate(std::string(511, '1')), "N:0");
}

TEST(ExpressionHandler, TextWidthsAndOperandCount) {
  TvrExpHandler handler(nullptr);
  handler.SetExpression("UPPER( 'ab' ) + STR(12.345, 8, 2)");
  EXPECT_EQ(handler.ExpressionText(), "UPPER(\"ab\")+STR(12.345,8,2)");
  EXPECT_EQ(handler.ResultType(), exp_type::kText);
  EXPECT_EQ(handler.LargestWidth(), 6);
  EXPECT_EQ(handler.LargestDecimals(), 3);
  EXPECT_EQ(handler.OperandCount(), 6);
  handler.SetExpression(".NOT. {20240131} = CTOD('') .OR. .T.");
  EXPECT_EQ(handler.ExpressionText(), ".NOT.{31.01.2024}=CTOD(\"\").OR..T.");
  handler.SetExpression("  ");
  EXPECT_FALSE(handler.HasExpression());
  EXPECT_EQ(handler.ResultType(), exp_type::kNone);
}

TEST(ExpressionHandler, FailedCompilationLeavesNoExpression) {
  TvrExpHandler handler(nullptr);
  handler.SetExpression("1 + 1");
  EXPECT_THROW(handler.SetExpression("1 +"), EVelorinExpression);
  EXPECT_FALSE(handler.HasExpression());
  TvrExpBuffer buffer;
  EXPECT_EQ(handler.EvaluateToBuffer(buffer), nullptr);
}

TEST(ExpressionHandler, EvaluateToVariantByType) {
  TvrExpHandler handler(nullptr);
  TvrVariant value;
  handler.SetExpression("'KEY'");
  ASSERT_NE(handler.EvaluateToVariant(value), nullptr);
  EXPECT_EQ(value.Kind(), TvrVariantKind::kText);
  EXPECT_EQ(value.AsString(), "KEY");
  handler.SetExpression("{20240131}");
  handler.EvaluateToVariant(value);
  EXPECT_EQ(value.Kind(), TvrVariantKind::kDate);
  EXPECT_EQ(value.AsDate(), 2460341);
  handler.SetExpression("CTOD('')");
  handler.EvaluateToVariant(value);
  EXPECT_EQ(value.AsDate(), 0);
  handler.SetExpression("1.5");
  handler.EvaluateToVariant(value);
  EXPECT_EQ(value.AsFloat(), 1.5);
  handler.SetExpression(".T.");
  handler.EvaluateToVariant(value);
  EXPECT_TRUE(value.AsBoolean());
  handler.SetExpression("()");
  EXPECT_EQ(handler.EvaluateToVariant(value), nullptr);
  EXPECT_EQ(handler.ResultType(), exp_type::kNone);
  EXPECT_THROW(handler.SetExpression("REPLICATE"), EVelorinExpression);
  EXPECT_FALSE(handler.HasExpression());
}

TEST(ExpressionHandler, VariantRefusesTextsBeyondAKey) {
  TvrExpHandler handler(nullptr);
  TvrVariant value;
  handler.SetExpression("PADR('A', 256)");
  EXPECT_THROW(handler.EvaluateToVariant(value), EVelorinExpression);
  handler.SetExpression("PADR('A', 255)");
  ASSERT_NE(handler.EvaluateToVariant(value), nullptr);
  EXPECT_EQ(value.Length(), 255);
}

TEST(ExpressionHandler, SqlStyleWildcards) {
  TvrExpHandler handler(nullptr, true);
  handler.SetExpression("'IVANOV' = 'IV%'");
  TvrExpBuffer buffer;
  EXPECT_EQ(handler.EvaluateToBuffer(buffer)[0], 1);
  handler.SetExpression("'IV*' = 'IV*'");
  EXPECT_EQ(handler.EvaluateToBuffer(buffer)[0], 1);
  handler.SetExpression("'IVANOV' = 'IV*'");
  EXPECT_EQ(handler.EvaluateToBuffer(buffer)[0], 0);
}

}  // namespace
}  // namespace velorin
