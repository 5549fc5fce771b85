#include "runtime/datetime.h"

#include <climits>

#include "runtime/error.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

struct DateTest : RuntimeTest {
  void TearDown() override {
    NumSetClockHook(nullptr);
    RuntimeTest::TearDown();
  }
};

// 2026-12-07 10:20:30 UTC.
i64 FixedClock() { return 1796638830; }

i32 Add(const char* date, i32 n, u16 unit) { return DateAdd(L(date), n, unit); }

}  // namespace

TEST_F(DateTest, AddsMonthsClampedToTheMonthEnd) {
  EXPECT_EQ(Add("20260131", 1, kDateMonths), 20260228);
  EXPECT_EQ(Add("20240131", 1, kDateMonths), 20240229);
  EXPECT_EQ(Add("20261130", 3, kDateMonths), 20270228);
  EXPECT_EQ(Add("20260531", -6, kDateMonths), 20251130);
  EXPECT_EQ(Add("20260115", -13, kDateMonths), 20241215);
}

TEST_F(DateTest, AddsDaysAndYearsAcrossMonthAndYearEnds) {
  EXPECT_EQ(Add("20261231", 1, kDateDays), 20270101);
  EXPECT_EQ(Add("20260301", -1, kDateDays), 20260228);
  EXPECT_EQ(Add("20240301", -1, kDateDays), 20240229);
  EXPECT_EQ(Add("20260100", 0, kDateDays), 20251231);   // day 0: the day before
  EXPECT_EQ(Add("20261315", 0, kDateDays), 20270115);   // month 13: next January
  EXPECT_EQ(Add("20000101", 10000, kDateDays), 20270519);
  EXPECT_EQ(Add("20270519", -10000, kDateDays), 20000101);
  EXPECT_EQ(Add("20240229", 1, kDateYears), 20250301);
  EXPECT_EQ(Add("20240229", 4, kDateYears), 20280229);
  EXPECT_EQ(Add("20260615", 0, 15), 20260615);  // no unit: only normalised
}

// Walking day by day over two centuries gives every calendar date once, with
// 29 February in every fourth year (1900 and 2100 included), and each step is
// a difference of exactly one day.
TEST_F(DateTest, DayWalkAndDifferencesAgree) {
  i32 date = 18960101;
  i32 leap_days = 0;
  for (i32 steps = 0; date < 21040101; ++steps) {
    char text[9];
    ASSERT_EQ(DateFormatDigits(static_cast<DateNumber>(date), text), 0) << date;
    const i32 next = DateAdd(StrSlice{text, 8}, 1, kDateDays);
    ASSERT_GT(next, date);
    char next_text[9];
    ASSERT_EQ(DateFormatDigits(static_cast<DateNumber>(next), next_text), 0) << next;
    ASSERT_EQ(DateAdd(StrSlice{next_text, 8}, date, kDateDays), 1) << next;
    if (date % 10000 == 229) ++leap_days;
    date = next;
  }
  EXPECT_EQ(leap_days, 52);
}

TEST_F(DateTest, DateDifferencesAreTrueCounts) {
  EXPECT_EQ(Add("20270101", 20261231, kDateDays), 1);
  EXPECT_EQ(Add("20261231", 20270101, kDateDays), -1);
  EXPECT_EQ(Add("20240301", 20230301, kDateDays), 366);  // spans 29 February 2024
  EXPECT_EQ(Add("20230301", 20220301, kDateDays), 365);
  EXPECT_EQ(Add("20260315", 20251120, kDateMonths), 4);
  EXPECT_EQ(Add("20260315", 20251120, kDateYears), 1);
  EXPECT_EQ(Add("20260315", 20251120, 8), 0);
}

TEST_F(DateTest, MonthLengthsTextsAndParts) {
  EXPECT_EQ(DateDaysInMonth(DateMonthYear(2, 1900)), 29);
  EXPECT_EQ(DateDaysInMonth(DateMonthYear(2, 2100)), 29);
  EXPECT_EQ(DateDaysInMonth(DateMonthYear(2, 2026)), 28);
  EXPECT_EQ(DateDaysInMonth(DateMonthYear(13, 2026)), 31);
  EXPECT_EQ(S(DateToText(20261207)), "20261207");
  EXPECT_EQ(S(DateToText(10101)), "00010101");
  EXPECT_EQ(S(DateToText(20260230)), "");
  EXPECT_EQ(S(DateToText(5)), "");
  char buf[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  EXPECT_EQ(DateFormatDigits(20261301, buf), kErrData);
  EXPECT_EQ(buf[0], 'x');
  EXPECT_EQ(DateTextPart(L("20261207"), kDateDays), 7);
  EXPECT_EQ(DateTextPart(L("20261207"), kDateMonths | kDateDays), 12);
  EXPECT_EQ(DateTextPart(L("20261207"), kDateWhole), 20261207);
}

TEST_F(DateTest, NormalisationSteps) {
  DateRec r = DateStep(DateRecInit(2026, 1, 0), kStepBorrowMonth);
  EXPECT_EQ(DateRecYear(r), 2025);
  EXPECT_EQ(DateRecMonth(r), 12);
  EXPECT_EQ(r.day, 31);
  r = DateStep(DateRecInit(2026, 12, 32), kStepCarryMonth);
  EXPECT_EQ(DateRecYear(r), 2027);
  EXPECT_EQ(DateRecMonth(r), 1);
  EXPECT_EQ(r.day, 1);
}

TEST_F(DateTest, ComparesStampsWithinTolerance) {
  EXPECT_EQ(DateRangeCompare(20261207, 1000, 20261207, 1400, 500), 0);
  EXPECT_EQ(DateRangeCompare(20261207, 1000, 20261207, 1400, 300), -1);
  EXPECT_EQ(DateRangeCompare(20261207, 1800, 20261207, 1400, 300), 1);
  EXPECT_EQ(DateRangeCompare(20261207, 0, 20261207, 100, 500), 0);  // no unsigned wrap
  EXPECT_EQ(DateRangeCompare(20261208, 0, 20261207, 86399999, 0), 1);
}

TEST_F(DateTest, StampDifferencesAcrossMidnightMonthsAndLeapDays) {
  EXPECT_EQ(DateTimeDiff(20261206, 82800000, 20261207, 3600000, kDiffHours), 2);
  EXPECT_EQ(DateTimeDiff(20261206, 82800000, 20261207, 3600000, kDiffMinutes), 120);
  EXPECT_EQ(DateTimeDiff(20261207, 0, 20261207, 59999, kDiffMinutes), 0);
  EXPECT_EQ(DateTimeDiff(20261231, 86399000, 20270101, 1000, kDiffSeconds), 2);
  EXPECT_EQ(DateTimeDiff(20260131, 43200000, 20260201, 43200000, kDiffDays), 1);
  EXPECT_EQ(DateTimeDiff(20240228, 43200000, 20240301, 43200000, kDiffHours), 48);
  EXPECT_EQ(DateTimeDiff(20261207, 3600000, 20261207, 1800000, kDiffMinutes), -30);
  EXPECT_EQ(DateTimeDiff(10101, 0, 99991231, 0, kDiffSeconds), INT32_MAX);
  EXPECT_EQ(DateTimeDiff(20261207, 0, 20261208, 0, 4), 0);
  EXPECT_EQ(TimeDiffMs(86399000, 1000), 2000);
  EXPECT_EQ(TimeDiffMs(1000, 1250), 250);
}

TEST_F(DateTest, ParsesTimes) {
  NumSetClockHook(FixedClock);
  const u32 now = (10 * 3600 + 20 * 60 + 30) * 1000u;
  EXPECT_EQ(TimeFromText(L("12:30:45.5")), 45045500u);
  EXPECT_EQ(TimeFromText(L("12:30")), 750000u);
  EXPECT_EQ(TimeFromText(L("90")), 90000u);
  EXPECT_EQ(TimeFromText(L("1:2:3:4")), 0u);
  EXPECT_EQ(TimeFromText(L("1:2:3:4.25")), 250u);
  EXPECT_EQ(TimeFromText(L("0:0:1.123456")), 1123u);
  EXPECT_EQ(TimeFromText(L("1230")), 45000000u);
  EXPECT_EQ(TimeFromText(L("123045.500")), 45045500u);
  EXPECT_EQ(TimeFromText(L("")), now);
  EXPECT_EQ(TimeFromText(L(".25")), now);
}

TEST_F(DateTest, PrintsTimes) {
  EXPECT_EQ(S(TimeToText(45045500, 7)), "12:30:45.500");
  EXPECT_EQ(S(TimeToText(45045500, 3)), "12:30:45");
  EXPECT_EQ(S(TimeToText(45045500, 1)), "12:30");
  EXPECT_EQ(S(TimeToText(45045500, 0)), "1230");
  EXPECT_EQ(S(TimeToText(45045500, 6)), "123045.500");
  EXPECT_EQ(S(TimeToText(360000000, 3)), "100:00:00");
  EXPECT_EQ(S(TimeToText(0xFFFFFFFFu, 7)), "1193:02:47.295");
  EXPECT_EQ(NumPow10(0), 1);
  EXPECT_EQ(NumPow10(3), 1000);
}
