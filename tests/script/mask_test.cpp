#include "script/mask.h"

#include "interp_fixture.h"
#include "runtime/error.h"
#include "runtime/scratch.h"
#include "script/valtable.h"
#include "script/variables.h"

using namespace vk;

namespace {

using MaskTest = LibTest;

std::string Apply(const char* mask, const char* value) { return S(MaskApply(L(mask), L(value))); }
std::string Field(char type, const char* value, u16 width) { return S(FieldFormat(type, L(value), width)); }

}  // namespace

TEST_F(MaskTest, AlignsNumbersOnThePoint) {
  EXPECT_EQ(Apply("###.##", "12.5"), " 12.50");
  EXPECT_EQ(Apply("###.##", "-12.5"), "-12.50");
  EXPECT_EQ(Apply("$###.## USD", "12.5"), "$ 12.50 USD");
  EXPECT_EQ(Apply("000.00", "5"), "005.00");
  EXPECT_EQ(Apply("##.##", ".5"), " 0.50");
  EXPECT_EQ(Apply("##.##", "-.5"), "-0.50");
  EXPECT_EQ(Apply("##.##", ""), "     ");
  EXPECT_EQ(Apply("#0.00", ""), " 0.00");
  EXPECT_EQ(Apply("#,###", "-123"), " -123");
  // Zero filling stays behind the sign.
  EXPECT_EQ(Apply("0000.00", "-2.18"), "-002.18");
  EXPECT_EQ(Apply("#000", "-5"), " -05");
}

TEST_F(MaskTest, GroupingCommasAndDecimalsGiveWay) {
  EXPECT_EQ(Apply("#,###.##", "1234.5"), "1,234.50");
  EXPECT_EQ(Apply("#,###.##", "12345.5"), "12345.50");
  EXPECT_EQ(Apply("#,###.##", "123456.5"), "123456.5");
  EXPECT_EQ(Apply("#,##.#", "12345.6"), " 12346");
  EXPECT_EQ(Apply("##,###", "1234"), " 1,234");
  EXPECT_EQ(Apply("##,###", "12"), "    12");
}

TEST_F(MaskTest, RoundsToTheMaskDecimals) {
  EXPECT_EQ(Apply("###.#", "2.25"), "  2.3");
  EXPECT_EQ(Apply("###.#", "-2.25"), " -2.3");
  EXPECT_EQ(Apply("#.###", "1.23456"), "1.230");  // the number keeps 2 decimals
  EXPECT_EQ(Apply("####", "12.5"), "  13");
  EXPECT_EQ(Apply("#,###.##", "1,234.567"), " 1234.57");  // not read as 1
}

TEST_F(MaskTest, ValuesThatDoNotFitAreMarkedNotCut) {
  EXPECT_EQ(Apply("##.#", "12345"), "****");
  EXPECT_EQ(Apply("[##]", "-123"), "[**]");
  // The sign needs its own position next to the point's '0'.
  EXPECT_EQ(Apply("#.##", "-.5"), "-0.5");
  // A carry into a new digit is measured again.
  EXPECT_EQ(Apply("#.#", "9.96"), " 10");
  EXPECT_EQ(Apply("##.#", "99.96"), " 100");
  EXPECT_EQ(Apply("#", "9.6"), "*");
  EXPECT_EQ(Apply("##", "123456789012345678901234.5"), "**");
}

TEST_F(MaskTest, TextMasks) {
  EXPECT_EQ(Apply("(\\\\) \\\\\\-\\\\", "abcdefg"), "(ab) cde-fg");
  EXPECT_EQ(Apply("\\   \\", "ab"), "ab   ");
  EXPECT_EQ(Apply("\\    \\", "abcdefgh"), "abcdef");
  EXPECT_EQ(Apply("?\?-??", "abcde"), "ab-de");
  EXPECT_EQ(Apply("\\?-??", "abcde"), "ab-cd");
  EXPECT_EQ(Apply("\\ x\\", "ab"), "a xb");
  EXPECT_EQ(Apply("\\ x\\ \\", "abc"), "a xbc ");
  EXPECT_EQ(Apply("#\\-##", "ab"), "#a-##");  // digit slots stay in a text mask
  EXPECT_EQ(S(MaskApplyMode(L("##.##"), L("12.5"), kMaskModeText)), "##.##");
  EXPECT_EQ(S(MaskApplyMode(L("\\\\##"), L("12"), kMaskModeNumber)), "\\\\12");
}

TEST_F(MaskTest, MasksWithoutSlotsOrForTheWrongValue) {
  EXPECT_EQ(Apply("###", "abc"), "###");
  EXPECT_EQ(Apply("Total:", "anything"), "Total:");
  EXPECT_EQ(StrError(MaskNumber(L("###"), StrErrorSlice(kErrData), false)), kErrData);
}

TEST_F(MaskTest, DefaultMasksOfFieldTypes) {
  EXPECT_EQ(S(MaskForType('N', 5, false)), "#####");
  EXPECT_EQ(S(MaskForType('2', 8, true)), "#####.##");
  EXPECT_EQ(S(MaskForType('A', 4, false)), "\\\\\\\\");
  EXPECT_EQ(S(MaskForType('L', 2, false)), "\\\\");
  EXPECT_EQ(S(MaskForType('C', 4, false)), "");
  EXPECT_EQ(S(MaskForType('9', 5, false)), "#####");
  EXPECT_EQ(S(MaskForType('3', 4, false)), "####");
}

TEST_F(MaskTest, FieldsHaveExactWidths) {
  EXPECT_EQ(Field('A', "abc", 5), "abc  ");
  EXPECT_EQ(Field('P', "abcdef", 4), "abcd");
  EXPECT_EQ(Field('D', "20261207", 6), "261207");
  EXPECT_EQ(Field('F', "20261207", 10), "20261207  ");
  EXPECT_EQ(Field('V', "anything", 3), "   ");
  EXPECT_EQ(Field('Z', "anything", 2), "  ");
  EXPECT_EQ(Field('N', "12.5", 6), "  12.5");
  EXPECT_EQ(Field('N', " 7 ", 3), "  7");
  EXPECT_EQ(Field('N', "12.3456", 5), "12.35");
  EXPECT_EQ(Field('2', "-1.5678", 4), "-1.6");
  EXPECT_EQ(Field('N', "12345.67", 5), "12346");
  EXPECT_EQ(Field('N', "1.23456", 5), "1.230");
  EXPECT_EQ(Field('N', ".123456", 5), "0.120");
}

TEST_F(MaskTest, NumericFieldsThatCannotFitGive168) {
  EXPECT_EQ(StrError(FieldFormat('N', L("123456.7"), 5)), kErrDataOutBound);
  EXPECT_EQ(StrError(FieldFormat('L', L("1234567"), 5)), kErrDataOutBound);
  EXPECT_EQ(StrError(FieldFormat('N', L("99999.6"), 5)), kErrDataOutBound);
}

TEST_F(MaskTest, EachResultIsOneNewEntry) {
  const WorkMarkId base = WorkMark(kMarkQuery);
  auto one_more = [&](StrSlice r) {
    EXPECT_EQ(WorkMark(kMarkQuery), base + 1) << S(r);
    WorkMark(base);
  };
  one_more(MaskApply(L("#,##.#"), L("12345.6")));
  one_more(MaskApply(L("#.#"), L("9.96")));
  one_more(MaskApply(L("\\   \\"), L("ab")));
  one_more(MaskApply(L("Total:"), L("1")));
  one_more(MaskForType('2', 8, false));
  one_more(FieldFormat('N', L("12.3456"), 5));
  FieldFormat('N', L("123456.7"), 5);
  EXPECT_EQ(WorkMark(kMarkQuery), base);
}
