#include "runtime/number.h"

#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <string>

#include "runtime/scratch.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

constexpr i64 kMin64 = std::numeric_limits<i64>::min();
constexpr i64 kMax64 = std::numeric_limits<i64>::max();

struct Case {
  i64 a, b, want;
};

TEST(FixedPoint, RescaleRoundsHalfAwayFromZeroInTheOldScale) {
  struct Rescale {
    i64 value;
    i16 from, to;
    i64 want;
  };
  const Rescale cases[] = {{125, 2, 1, 130}, {-125, 2, 1, -130}, {124, 2, 1, 120},
                           {-4, 1, 0, 0},    {123500, 4, 1, 124000}, {12, 0, 2, 1200}};
  for (const Rescale& c : cases) {
    EXPECT_EQ(NumRescale(c.value, c.from, c.to), c.want) << c.value << " " << c.from << "->" << c.to;
  }
  // Units beyond 64 bits are defined, without a trap.
  EXPECT_EQ(NumRescale(kMax64, 40, 0), 0);
  EXPECT_EQ(NumRescale(7, 0, 100), 0);
  NumRescale(kMax64, 18, 0);
}

TEST(FixedPoint, DivRoundRoundsHalfAwayFromZero) {
  const Case cases[] = {{7, 2, 4},    {-7, 2, -4},   {10, -2, -5},      {5, -4, -1},   {4, 10, 0},
                        {-5, 10, -1}, {-5, -10, 1},  {10000, 3, 3333},  {1234, 0, 0},  {kMin64, 0, 0},
                        // 2 x remainder must not overflow with large divisors.
                        {kMax64, kMax64 / 2 + 1, 2}, {kMax64 / 2, kMax64, 0}};
  for (const Case& c : cases) EXPECT_EQ(NumDivRound(c.a, c.b), c.want) << c.a << " / " << c.b;

  i64 r = -1;
  EXPECT_EQ(NumDivMod(-7, 2, &r), -3);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(NumDivMod(9, 0, &r), 0);  // no trap
  EXPECT_EQ(r, 9);
}

TEST(NumTexts, Conversions) {
  char buf[kNumI64Digits];
  EXPECT_STREQ(NumI32ToA(-2147483647 - 1, buf, 2), ("-1" + std::string(31, '0')).c_str());
  EXPECT_STREQ(NumI32ToA(255, buf, 16), "FF");
  EXPECT_STREQ(NumI64ToA(kMin64, buf, 10), "-9223372036854775808");
  EXPECT_STREQ(NumI64ToA(-1, buf, 16), "ffffffffffffffff");
  EXPECT_EQ(NumFromC64(" \t-42abc"), -42);
  EXPECT_EQ(NumFromC64("- 5"), 0);
  EXPECT_EQ(NumFromC64("99999999999999999999"), kMax64);
  EXPECT_EQ(NumFromC64("-9223372036854775808"), kMin64);

  std::memset(buf, '#', sizeof buf);
  EXPECT_EQ(S(NumToStrPad(-5, 4, ' ', buf)), "  -5");
  EXPECT_EQ(S(NumToStrPad(-32768, 2, '0', buf)), "-32768");
  EXPECT_EQ(buf[6], '#');  // nothing written past the text
}

struct NumScratchTest : RuntimeTest {};

TEST_F(NumScratchTest, NumToStrLeavesOneEntry) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  EXPECT_EQ(S(NumToStr(-32768)), "-32768");
  EXPECT_EQ(S(NumToStr(0)), "0");
  EXPECT_EQ(S(NumToStr(static_cast<i16>(40000))), "-25536");
  EXPECT_EQ(S(WorkTop()), "-25536");
  EXPECT_EQ(WorkMark(kMarkQuery), mark + 3);

  while (WorkAllocRaw(0, kNoFill)) {
  }
  const WorkMarkId full = WorkMark(kMarkQuery);
  EXPECT_EQ(StrError(NumToStr(12)), 145);
  EXPECT_EQ(WorkMark(kMarkQuery), full);
  WorkMark(mark);
}

TEST_F(NumScratchTest, TopEntryAsNumber) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ASSERT_EQ(WorkPush("", 0), 0);
  EXPECT_EQ(WorkTopU64(), 0);
  ASSERT_EQ(WorkPush("abcd", 4), 0);
  EXPECT_EQ(WorkTopU64(), -1);
  const unsigned char bytes[8] = {0x39, 0x30, 0, 0, 0, 0, 0, 0x80};  // little-endian
  ASSERT_EQ(WorkPush(reinterpret_cast<const char*>(bytes), 8), 0);
  EXPECT_EQ(WorkTopU64(), static_cast<i64>(0x8000000000003039ull));

  const WorkMarkId before = WorkMark(kMarkQuery);
  EXPECT_EQ(StrToInt64(L("  -1234x")), -1234);
  EXPECT_EQ(WorkMark(kMarkQuery), before + 1);  // the copy stays
  WorkMark(mark);
}

// Fixed clock for the tests below.
i64 g_fixed_now = 0;
i64 FixedClock() { return g_fixed_now; }

struct ClockTest : ::testing::Test {
  void SetUp() override { NumSetClockHook(FixedClock); }
  void TearDown() override { NumSetClockHook(nullptr); }
};

TEST_F(ClockTest, TodayAndNowFollowTheHook) {
  g_fixed_now = 1504014330;  // 2017-08-29 13:45:30 UTC
  EXPECT_EQ(DateToday(), 2017u * 10000 + 8 * 100 + 29);
  EXPECT_EQ(TimeNow(), 13u * 3600000 + 45 * 60000 + 30 * 1000);
  i64 out = 0;
  EXPECT_EQ(TimeSeconds(&out), 1504014330);
  EXPECT_EQ(out, 1504014330);

  g_fixed_now = 2214172799;  // 2040-02-29 23:59:59 UTC
  EXPECT_EQ(DateToday(), 20400229u);
}

TEST_F(ClockTest, DatesAcrossTheCalendar) {
  const Case dates[] = {{0, 19700101, 0},
                        {2147483648, 20380119, 3 * 3600000 + 14 * 60000 + 8000},  // past 32 bits
                        {951782400, 20000229, 0},
                        {951782400 + 86400, 20000301, 0},
                        {4107585600 - 86400, 21000228, 12 * 3600000},  // 2100 has no leap day
                        {4107585600, 21000301, 12 * 3600000},
                        {kClockMaxSeconds, 99991231, 86399000},
                        {kClockMaxSeconds + 1, 0, 0},
                        {-1, 0, 0}};
  for (const Case& c : dates) {
    EXPECT_EQ(DateFromTime(c.a), static_cast<u32>(c.b)) << c.a;
    EXPECT_EQ(TimeFromTime(c.a), static_cast<u32>(c.want)) << c.a;
  }
  const TimeFields f = TimeBreakUTC(2214172799);
  EXPECT_EQ(f.weekday, 3);  // a Wednesday
  EXPECT_EQ(f.yearday, 59);
  const TimeFields g = TimeBreakUTC(-1);  // 1969-12-31 23:59:59, a Wednesday
  EXPECT_EQ(g.year * 10000 + g.month * 100 + g.day, 19691231);
  EXPECT_EQ(g.weekday, 3);
  EXPECT_EQ(g.yearday, 364);
  TimeBreakUTC(kMin64);  // defined at the extremes
  TimeBreakUTC(kMax64);
}

TEST(Clock, SystemClockWithoutHook) {
  NumSetClockHook(nullptr);
  const i64 before = static_cast<i64>(std::time(nullptr));
  const i64 t = TimeSeconds(nullptr);
  EXPECT_GE(t, before);
  EXPECT_LE(t, before + 2);
}

}  // namespace
