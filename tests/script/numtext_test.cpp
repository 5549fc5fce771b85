#include "script/numtext.h"

#include <cstring>

#include "interp_fixture.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/valtable.h"
#include "script/variables.h"

using namespace vk;

namespace {

struct NumTextTest : LibTest {
  void TearDown() override {
    NumSetClockHook(nullptr);
    LibTest::TearDown();
  }
  void Language(const char* code) { ASSERT_EQ(StoreSet(kGroupIdentity, kIdLanguage, L(code)), 0); }
};

// 2026-12-07 10:20:30 UTC.
i64 FixedClock() { return 1796638830; }

std::string Parse(const char* t) { return S(DateParse(L(t))); }
std::string Format(const char* t, u16 type) { return S(DateFormat(L(t), type)); }
std::string Text(i64 v, u16 n) { return S(FixToTextN(v, n)); }

}  // namespace

TEST_F(NumTextTest, ParsesTypedDatesInTheLanguageOrder) {
  EXPECT_EQ(Parse("12/05/2026"), "20261205");
  EXPECT_EQ(Parse("1-2-79"), "20790102");   // below the break: 2000s
  EXPECT_EQ(Parse("1-2-80"), "19800102");
  EXPECT_EQ(Parse("120526"), "20260512");   // 6 digits: always DDMMYY
  Language("ES");
  EXPECT_EQ(Parse("12/05/2026"), "20260512");
  EXPECT_EQ(Parse("120526"), "20260512");
  Language("FR");
  EXPECT_EQ(Parse("31.12.99"), "19991231");
  Language("DE");
  EXPECT_EQ(Parse("12.31.1999"), "19991231");
}

TEST_F(NumTextTest, InvalidOrIncompleteDatesAreEmpty) {
  EXPECT_EQ(Parse("31.02.2026"), "");
  EXPECT_EQ(Parse("2026-12-07"), "");  // year first is not a typed form
  EXPECT_EQ(Parse("12/05"), "");
  EXPECT_EQ(Parse("0/05/2026"), "");
  EXPECT_EQ(Parse("02/29/2028"), "20280229");
  EXPECT_EQ(Parse("02/30/2028"), "");
  // A day or month past its two digits must not name another date.
  EXPECT_EQ(Parse("1/101/2026"), "");
  EXPECT_EQ(Parse("101/1/2026"), "");
}

TEST_F(NumTextTest, UnseparatedTextsAndTheEmptyDate) {
  NumSetClockHook(FixedClock);
  EXPECT_EQ(Parse(""), "20261207");
  EXPECT_EQ(Parse("20261207"), "20261207");
  EXPECT_EQ(Parse("tomorrow"), "tomorrow");  // taken as it is
  SysVarFlags(kSysAuxstat, kAuxEmptyDate, 1);
  EXPECT_EQ(Parse(""), "        ");
  EXPECT_EQ(S(DateOrToday(L(""))), "");
}

TEST_F(NumTextTest, FormatsDatesForDisplay) {
  EXPECT_EQ(Format("20261207", kDateAsIs), "20261207");
  EXPECT_EQ(Format("20261207", kDateShort), "12-07-26");
  EXPECT_EQ(Format("20261207", kDateFull), "12-07-2026");
  EXPECT_EQ(Format("20261207", kDateMonthYear), " 2026");  // no month names
  EXPECT_EQ(Format("20261207", kDateLong), "");
  EXPECT_EQ(Format("20261207", 9), "");
  EXPECT_EQ(Format("20261231x", kDateShort), "        ");
  EXPECT_EQ(Format("20260230", kDateFull), "          ");
  EXPECT_EQ(Format("20260230", kDateAsIs), "");
  Language("IT");
  EXPECT_EQ(Format("20261207", kDateShort), "07-12-26");
  EXPECT_EQ(Format("20261207", kDateFull), "07-12-2026");
  // Back and forth in a day-first language.
  EXPECT_EQ(Format(Parse("07/12/2026").c_str(), kDateFull), "07-12-2026");
  NumSetClockHook(FixedClock);
  EXPECT_EQ(Format("", kDateFull), "07-12-2026");
}

TEST_F(NumTextTest, MonthNamesAndTheLongTemplate) {
  const char data[] =
      "x\0'January,February,March,April,May,June,July,August,September,October,November,December',"
      "'[D] [M] [Y] ([D])'";
  ASSERT_EQ(StoreSet(kGroupIdentity, 0, StrMake(data, sizeof data - 1)), 0);
  EXPECT_EQ(Format("20261207", kDateMonthYear), "Dec 2026");
  EXPECT_EQ(Format("20260507", kDateLong), "07 May 2026 (07)");
}

TEST_F(NumTextTest, YearWindowFollowsItsVariables) {
  EXPECT_EQ(DateYearWindow(79), 2079);
  EXPECT_EQ(DateYearWindow(80), 1980);
  SysVarSet(kSysByear, 1900);
  SysVarSet(kSysBkyear, 30);
  EXPECT_EQ(DateYearWindow(29), 1929);
  EXPECT_EQ(DateYearWindow(30), 1830);
}

TEST_F(NumTextTest, CleansNumberTexts) {
  EXPECT_EQ(S(NumTextClean(L("  007.50x"))), "7.50");
  EXPECT_EQ(S(NumTextClean(L("-12-3"))), "-12");
  EXPECT_EQ(S(NumTextClean(L("0.5"))), "0.5");
  EXPECT_EQ(S(NumTextClean(L("000"))), "0");
  EXPECT_EQ(S(NumTextClean(L("\t15D3 "))), "15D3");
  EXPECT_EQ(S(NumTextClean(L("1234567890123456789012345"))), "12345678901234567890");
}

TEST_F(NumTextTest, ReadsTextsRoundedHalfAwayFromZero) {
  EXPECT_EQ(TextToFix(L("1.239")), 124);
  EXPECT_EQ(TextToFix(L("-1.235")), -124);
  EXPECT_EQ(TextToFix(L("1.005")), 101);
  EXPECT_EQ(TextToFix(L("1.004999")), 100);
  EXPECT_EQ(TextToFix(L("15D3")), 1500000);
  EXPECT_EQ(TextToFix(L("1.5D3")), 150);
  EXPECT_EQ(TextToFix(L("-.05")), -5);
  EXPECT_EQ(TextToFix(L(" 12 ")), 1200);
  EXPECT_EQ(TextToFix(L("12abc")), 1200);  // the leading number, at scale
  EXPECT_EQ(TextToFix(L("1.5x9")), 150);
  EXPECT_EQ(TextToFix(StrErrorSlice(kErrData)), 0);
  // Decimals past the buffer are dropped without disturbing the value.
  EXPECT_EQ(TextToFix(L("1.23456789012345678901234")), 123);
  SysVarSet(kSysPrecis, 0);
  EXPECT_EQ(TextToFix(L("2.5")), 3);
  EXPECT_EQ(TextToFix(L("-2.5")), -3);
  u16 extra = 0;
  EXPECT_EQ(S(TextToDigits(L("1.239"), 2, &extra)), "1239");
  EXPECT_EQ(extra, 1);
}

TEST_F(NumTextTest, RefusesTextsThatDoNotFit) {
  i64 v = 7;
  // 19 integer characters and 2 decimals pass the 20-character buffer.
  EXPECT_EQ(TextToFixCheck(L("1234567890123456789"), &v), kErrStringTooLong);
  EXPECT_EQ(v, 0);
  EXPECT_EQ(TextToFixCheck(L("1D25"), &v), kErrStringTooLong);
  EXPECT_EQ(TextToFixCheck(L("1D40000"), &v), kErrStringTooLong);  // not 1
  // Fits the buffer, not 64 bits.
  EXPECT_EQ(TextToFixCheck(L("99999999999999999"), &v), kErrStringTooLong);
  EXPECT_EQ(TextToFixCheck(L("92233720368547758.08"), &v), kErrStringTooLong);
  EXPECT_EQ(TextToFixCheck(L("92233720368547758.07"), &v), 0);
  EXPECT_EQ(v, INT64_MAX);
  EXPECT_EQ(TextToFixCheck(L("-92233720368547758.07"), &v), 0);
  EXPECT_EQ(v, -INT64_MAX);
  EXPECT_EQ(StrError(TextToFixSlice(L("99999999999999999"))), kErrStringTooLong);
  EXPECT_EQ(StrError(TextToDigits(L("123456789012345678901"), 0, nullptr)), kErrStringTooLong);
  EXPECT_EQ(TextToFix(L("99999999999999999")), 0);
  EXPECT_EQ(ErrGet() & 0xFFFF, kErrStringTooLong);
  EXPECT_EQ(Int64ToFix(INT64_MAX / 10), 0);
  EXPECT_EQ(Int64ToFix(-42), -4200);
  EXPECT_EQ(StrError(IntToFixSlice(INT64_MAX / 50)), kErrStringTooLong);
}

TEST_F(NumTextTest, WritesShortestNumberTexts) {
  EXPECT_EQ(Text(150, 2), "1.5");
  EXPECT_EQ(Text(100, 2), "1");
  EXPECT_EQ(Text(5, 2), ".05");
  EXPECT_EQ(Text(-5, 2), "-.05");
  EXPECT_EQ(Text(50, 2), ".5");
  EXPECT_EQ(Text(0, 2), "");
  EXPECT_EQ(Text(0, 0), "0");
  EXPECT_EQ(Text(-1234500, 4), "-123.45");
  EXPECT_EQ(S(Int64ToText(-42)), "-42");
  EXPECT_EQ(S(Int64ToText(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(Text(INT64_MIN, 18), "-9.223372036854775808");
  EXPECT_EQ(Text(1, 18), ".000000000000000001");
  EXPECT_EQ(S(FixToText(123456)), "1234.56");
}

TEST_F(NumTextTest, NumberEntriesAndScaling) {
  const StrSlice e = IntToFixSlice(-7);
  ASSERT_EQ(e.len, 8);
  EXPECT_EQ(WorkTopU64(), -700);
  EXPECT_EQ(S(FixTopToText()), "-7");
  Int64Slice(250);
  EXPECT_EQ(FixTopToInt(), 3);
  Int64Slice(-250);
  EXPECT_EQ(FixTopToInt(), -3);
  TextToFixSlice(L("-1.5"));
  EXPECT_EQ(WorkTopU64(), -150);
  EXPECT_EQ(FixDivPow10(-15, 1), -2);
  EXPECT_EQ(FixDivPow10(14, 1), 1);
  EXPECT_EQ(FixDivPow10(INT64_MIN, 19), -1);
  EXPECT_EQ(FixDivPow10(5, 20), 0);
  EXPECT_EQ(IntToFix(-32768), -3276800);
  EXPECT_EQ(ValToFix(L("12")), 1200);
  SysVarSet(kSysPrecis, 40);  // cut to 18 decimals
  EXPECT_EQ(NumPrecis(), kNumMaxPrecis);
  EXPECT_EQ(IntToFix(9), 9000000000000000000);
}

TEST_F(NumTextTest, EachTextResultIsOneNewEntry) {
  NumSetClockHook(FixedClock);
  const WorkMarkId base = WorkMark(kMarkQuery);
  auto one_more = [&](StrSlice r) {
    EXPECT_EQ(WorkMark(kMarkQuery), base + 1) << S(r);
    WorkMark(base);
  };
  one_more(DateParse(L("12/05/2026")));
  one_more(DateParse(L("120526")));
  one_more(DateParse(L("")));
  one_more(DateFormat(L("20261207"), kDateShort));
  one_more(DateFormat(L("bad"), kDateFull));
  one_more(DateFormat(L("20261207"), kDateMonthYear));
  one_more(NumTextClean(L(" 0012.5 ")));
  one_more(FixToTextN(-5, 2));
  one_more(TextToDigits(L("1.5D3"), 2, nullptr));
  one_more(TextToFixSlice(L("3.25")));
  TextToFix(L("1.5"));
  EXPECT_EQ(WorkMark(kMarkQuery), base);
}
