// Calendar arithmetic on date numbers (YYYYMMDD) and times of day
// (milliseconds since midnight): adding days, months and years, differences
// between dates and between date-and-time stamps, comparison within a
// tolerance, the 8-digit date text, and time texts.
//
// February has 29 days in every year divisible by 4 (1900 and 2100 too).
// Valid dates have year 0 to 9999, month 1 to 12 and day 1 to the month's
// length. Date differences are true day counts under that rule. Results that
// would not fit their 32-bit type saturate at its limits instead of wrapping.
#pragma once
#include "runtime/number.h"
#include "runtime/slice.h"

namespace vk {

// The working record of the arithmetic: the month in the high 16 bits of
// month_year and the year in the low 16 bits, both signed, and a signed day.
// Month and day may stand outside their ranges between normalisation steps.
struct DateRec {
  u32 month_year;
  i16 day;
};

inline u32 DateMonthYear(i16 month, i16 year) {
  return (u32{static_cast<u16>(month)} << 16) | static_cast<u16>(year);
}
inline i16 DateRecMonth(DateRec r) { return static_cast<i16>(r.month_year >> 16); }
inline i16 DateRecYear(DateRec r) { return static_cast<i16>(r.month_year & 0xFFFF); }

// DateAdd units (also the part flags of DateTextPart).
enum : u16 {
  kDateDays = 1,
  kDateMonths = 2,
  kDateYears = 4,
  kDateWhole = 15,  // DateTextPart: the whole date number
};

// DateTimeDiff units.
enum : u16 {
  kDiffDays = 0,
  kDiffHours = 1,
  kDiffMinutes = 2,
  kDiffSeconds = 3,
};

// DateStep steps.
enum : u16 {
  kStepBorrowYear = 1,   // month + 12, year - 1
  kStepCarryYear = 2,    // month - 12, year + 1
  kStepBorrowMonth = 4,  // month - 1, then day + that month's length
  kStepCarryMonth = 8,   // day - this month's length, then month + 1
};

// TimeToText flags.
enum : u16 {
  kTimeSeparators = 1,  // hh:mm:ss.fff instead of hhmmss.fff
  kTimeSeconds = 2,
  kTimeFraction = 4,
};

constexpr u32 kMsPerDay = 86400000;
// A DateAdd amount of this or more is a second date: the call gives the
// difference between the two dates instead of adding.
constexpr i32 kDateDiffFrom = 10001;

// DateAdd amount < kDateDiffFrom: the date text plus n units (days, months
// with the day clamped to the new month's end, or years), normalised, as a
// date number. Any other unit adds nothing and only normalises.
// n >= kDateDiffFrom: n is a second date number and the result is the date
// text's date minus n in the unit (days, months ignoring the days, or years);
// 0 for any other unit.
i32 DateAdd(StrSlice date_text, i32 n, u16 unit);
// One normalisation step (kStep...); any other step changes nothing.
DateRec DateStep(DateRec r, u16 step);
// The length of the month; a month outside 1 to 12 has 31 days.
i16 DateDaysInMonth(u32 month_year);
// day + 100 x month + 10000 x year.
i32 DateCompose(i32 day, i32 month, i32 year);
DateRec DateRecInit(i16 year, i16 month, i16 day);
// Parts of a YYYYMMDD text read by position: 1 the last two characters, 2 the
// two before those, 4 the first four; of several the year wins over the month
// and the month over the day; 15 the whole date number.
i32 DateTextPart(StrSlice date_text, u16 flags);
DateRec DateFromText(StrSlice date_text);
bool DateIsValid(DateNumber date);
// Writes the 8 digits of a valid date to buf and returns 0; 163 (nothing
// written) for an invalid date.
u16 DateFormatDigits(DateNumber date, char* buf);
// The 8-digit date text as a new scratch entry; the empty text (also a new
// entry) for an invalid date.
StrSlice DateToText(DateNumber date);
// 1 when (date1, time1) is later than (date2, time2), -1 when earlier, 0 when
// the dates are equal and the times lie within the tolerance of each other.
// The tolerance never reaches across midnight.
i16 DateRangeCompare(DateNumber date1, u32 time1, DateNumber date2, u32 time2, u32 tolerance);
// (date2, time2) - (date1, time1) in the unit (kDiff...), truncated toward
// zero; 0 for any other unit.
i32 DateTimeDiff(DateNumber date1, u32 time1, DateNumber date2, u32 time2, u16 unit);
// end - start in ms, plus one day when negative (two times of day, no dates).
i32 TimeDiffMs(u32 start, u32 end);
// [[h:]m:]s[.fff] as milliseconds since midnight; the empty text (and a bare
// fraction) give the time now. Parts are not range-checked.
u32 TimeFromText(StrSlice text);
// The time as hh:mm:ss.fff (or hhmmss.fff) cut to the parts the flags ask
// for, as a new scratch entry. Hours of 100 or more keep all their digits.
StrSlice TimeToText(u32 ms, u16 flags);
// 10 to the power n in 16 bits (n = 0 to 4 for exact values; larger n wrap).
u16 NumPow10(u16 n);

}  // namespace vk
