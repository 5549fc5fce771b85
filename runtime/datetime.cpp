#include "runtime/datetime.h"

#include <climits>

#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {
namespace {

constexpr i64 kDaysPerYear = 365;
constexpr i64 kDaysPerCycle = 4 * kDaysPerYear + 1;  // four years, one leap
constexpr i64 kMonthsPerYear = 12;
constexpr i32 kMaxYear = 9999;
constexpr u16 kFractionDigits = 3;
constexpr i64 kMsPerDay64 = kMsPerDay;

// Days in the months before each month of a year without 29 February.
constexpr i16 kDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Every calculation below runs in 64 bits on values that start as 16- or
// 32-bit numbers, so none of them can overflow; only the final narrowing
// needs care.
i32 Saturate32(i64 v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<i32>(v);
}

i64 FloorDiv(i64 a, i64 b) {
  i64 q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

bool IsLeapYear(i64 year) { return year % 4 == 0; }

i64 MonthLength(i64 year, i64 month) {
  switch (month) {
    case 2:
      return IsLeapYear(year) ? 29 : 28;
    case 4:
    case 6:
    case 9:
    case 11:
      return 30;
    default:
      return 31;
  }
}

// Brings month into 1..12 by carrying whole years.
void NormaliseMonth(i64* year, i64* month) {
  const i64 carry = FloorDiv(*month - 1, kMonthsPerYear);
  *year += carry;
  *month -= carry * kMonthsPerYear;
}

// Days from 1 January of year 0 to 1 January of year (negative before it).
// Years 0, 4, 8, ... are leap years, so the years before `year` hold
// floor((year + 3) / 4) of them.
i64 DaysBeforeYear(i64 year) { return kDaysPerYear * year + FloorDiv(year + 3, 4); }

// A running day number for any year, month and day. Month and day may lie
// outside their ranges: day 0 is the last day of the month before, month 13
// January of the next year, exactly as normalisation reads them.
i64 DayNumber(i64 year, i64 month, i64 day) {
  NormaliseMonth(&year, &month);
  i64 n = DaysBeforeYear(year) + kDaysBeforeMonth[month] + day - 1;
  if (month > 2 && IsLeapYear(year)) ++n;
  return n;
}

i64 DayNumberOf(DateNumber date) {
  return DayNumber(date / 10000, (date / 100) % 100, date % 100);
}

// The date of a running day number.
void DateOfDayNumber(i64 n, i64* year, i64* month, i64* day) {
  const i64 cycle = FloorDiv(n, kDaysPerCycle);
  i64 rest = n - cycle * kDaysPerCycle;  // 0..1460; the cycle's first year is the leap year
  i64 y = 0;
  if (rest >= kDaysPerYear + 1) {
    rest -= kDaysPerYear + 1;
    y = 1 + rest / kDaysPerYear;
    rest %= kDaysPerYear;
  }
  *year = 4 * cycle + y;
  i64 m = 1;
  while (m < kMonthsPerYear && rest >= MonthLength(*year, m)) rest -= MonthLength(*year, m++);
  *month = m;
  *day = rest + 1;
}

i32 ComposeNormalised(i64 year, i64 month, i64 day) {
  i64 y = 0, m = 0, d = 0;
  DateOfDayNumber(DayNumber(year, month, day), &y, &m, &d);
  return Saturate32(d + 100 * m + 10000 * y);
}

// A field of the date text: count characters from start, clipped to the text.
i32 TextField(StrSlice text, i32 start, i32 count) {
  if (!text.ptr) return 0;
  if (start < 0) {
    count += start;
    start = 0;
  }
  if (count <= 0 || start >= text.len) return 0;
  if (start + count > text.len) count = text.len - start;
  return static_cast<i16>(StrValue(StrSlice{text.ptr + start, static_cast<u16>(count)}));
}

bool AllDigits(StrSlice s) {
  for (u16 i = 0; i < s.len; ++i)
    if (s.ptr[i] < '0' || s.ptr[i] > '9') return false;
  return true;
}

u64 DigitsValue(const char* p, u16 n) {
  u64 v = 0;
  for (u16 i = 0; i < n; ++i) v = v * 10 + static_cast<u64>(p[i] - '0');
  return v;
}

// Writes value as at least `width` decimal digits; returns the count written.
u16 PutDigits(char* out, u32 value, u16 width) {
  char rev[10];
  u16 n = 0;
  do {
    rev[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (n < width) rev[n++] = '0';
  for (u16 i = 0; i < n; ++i) out[i] = rev[n - 1 - i];
  return n;
}

}  // namespace

i16 DateDaysInMonth(u32 month_year) {
  const i16 month = static_cast<i16>(month_year >> 16);
  const i16 year = static_cast<i16>(month_year & 0xFFFF);
  return static_cast<i16>(MonthLength(year, month));
}

i32 DateCompose(i32 day, i32 month, i32 year) {
  return Saturate32(i64{day} + 100 * i64{month} + 10000 * i64{year});
}

DateRec DateRecInit(i16 year, i16 month, i16 day) { return DateRec{DateMonthYear(month, year), day}; }

DateRec DateStep(DateRec r, u16 step) {
  i16 month = DateRecMonth(r);
  i16 year = DateRecYear(r);
  i32 day = r.day;
  switch (step) {
    case kStepBorrowYear:
      month = static_cast<i16>(month + kMonthsPerYear);
      year = static_cast<i16>(year - 1);
      break;
    case kStepCarryYear:
      month = static_cast<i16>(month - kMonthsPerYear);
      year = static_cast<i16>(year + 1);
      break;
    case kStepBorrowMonth:
      month = static_cast<i16>(month - 1);
      if (month == 0) {
        month = kMonthsPerYear;
        year = static_cast<i16>(year - 1);
      }
      day += DateDaysInMonth(DateMonthYear(month, year));
      break;
    case kStepCarryMonth:
      day -= DateDaysInMonth(DateMonthYear(month, year));
      if (month == kMonthsPerYear) {
        month = 1;
        year = static_cast<i16>(year + 1);
      } else {
        month = static_cast<i16>(month + 1);
      }
      break;
    default:
      return r;
  }
  return DateRec{DateMonthYear(month, year), static_cast<i16>(day)};
}

i32 DateTextPart(StrSlice date_text, u16 flags) {
  const i32 len = date_text.ptr ? date_text.len : 0;
  const i32 day = (flags & (kDateDays | kDateMonths | kDateYears)) ? TextField(date_text, len - 2, 2) : 0;
  const i32 month = (flags & (kDateMonths | kDateYears)) ? TextField(date_text, len - 4, 2) : 0;
  const i32 year = (flags & kDateYears) ? TextField(date_text, 0, 4) : 0;
  if (flags == kDateWhole) return DateCompose(day, month, year);
  if (flags & kDateYears) return year;
  if (flags & kDateMonths) return month;
  if (flags & kDateDays) return day;
  return 0;
}

DateRec DateFromText(StrSlice date_text) {
  return DateRecInit(static_cast<i16>(DateTextPart(date_text, kDateYears)),
                     static_cast<i16>(DateTextPart(date_text, kDateMonths)),
                     static_cast<i16>(DateTextPart(date_text, kDateDays)));
}

// Adding and normalising run on a running day number rather than month by
// month, which gives the same dates and stays exact for any amount.
i32 DateAdd(StrSlice date_text, i32 n, u16 unit) {
  const DateRec r = DateFromText(date_text);
  i64 year = DateRecYear(r);
  i64 month = DateRecMonth(r);
  i64 day = r.day;

  if (n >= kDateDiffFrom) {
    const i64 year2 = n / 10000, month2 = (n / 100) % 100, day2 = n % 100;
    switch (unit) {
      case kDateDays:
        return Saturate32(DayNumber(year, month, day) - DayNumber(year2, month2, day2));
      case kDateMonths:
        return Saturate32(kMonthsPerYear * (year - year2) + (month - month2));
      case kDateYears:
        return Saturate32(year - year2);
      default:
        return 0;
    }
  }

  switch (unit) {
    case kDateDays:
      day += n;
      break;
    case kDateMonths:
      month += n;
      NormaliseMonth(&year, &month);
      if (day > MonthLength(year, month)) day = MonthLength(year, month);
      break;
    case kDateYears:
      year += n;
      break;
    default:
      break;
  }
  return ComposeNormalised(year, month, day);
}

bool DateIsValid(DateNumber date) {
  const u32 year = date / 10000, month = (date / 100) % 100, day = date % 100;
  return year <= kMaxYear && month >= 1 && month <= 12 && day >= 1 && day <= MonthLength(year, month);
}

u16 DateFormatDigits(DateNumber date, char* buf) {
  if (!DateIsValid(date)) return kErrData;
  PutDigits(buf, date / 10000, 4);
  PutDigits(buf + 4, (date / 100) % 100, 2);
  PutDigits(buf + 6, date % 100, 2);
  return 0;
}

StrSlice DateToText(DateNumber date) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  char buf[8];
  if (DateFormatDigits(date, buf) != 0) return WorkReturn(m, "", 0);
  return WorkReturn(m, buf, sizeof buf);
}

i16 DateRangeCompare(DateNumber date1, u32 time1, DateNumber date2, u32 time2, u32 tolerance) {
  if (date1 > date2) return 1;
  if (date1 < date2) return -1;
  const i64 t1 = time1, t2 = time2, tol = tolerance;
  if (t1 > t2 + tol) return 1;
  if (t1 < t2 - tol) return -1;
  return 0;
}

i32 DateTimeDiff(DateNumber date1, u32 time1, DateNumber date2, u32 time2, u16 unit) {
  i64 days = DayNumberOf(date2) - DayNumberOf(date1);
  i64 ms = i64{time2} - i64{time1};
  if (ms < 0) {
    --days;
    ms += kMsPerDay64;
  }
  switch (unit) {
    case kDiffDays:
      return Saturate32(days);
    case kDiffHours:
      return Saturate32(24 * days + ms / kMsPerHour);
    case kDiffMinutes:
      return Saturate32(1440 * days + ms / kMsPerMinute);
    case kDiffSeconds:
      return Saturate32(kSecondsPerDay * days + ms / kMsPerSecond);
    default:
      return 0;
  }
}

i32 TimeDiffMs(u32 start, u32 end) {
  i64 ms = i64{end} - i64{start};
  if (ms < 0) ms += kMsPerDay64;
  return Saturate32(ms);
}

u32 TimeFromText(StrSlice text) {
  if (!text.ptr) return TimeNow();
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice fraction = ListItem(text, '.', 2);
  if (fraction.len > kFractionDigits) fraction.len = kFractionDigits;
  if (fraction.len > 0) text = ListItem(text, '.', 1);
  if (text.len == 0) {
    WorkMark(m);
    return TimeNow();
  }

  u64 hours = 0, minutes = 0, seconds = 0;
  if ((text.len == 4 || text.len == 6) && AllDigits(text)) {
    // hhmm and hhmmss, the forms TimeToText writes without separators.
    hours = DigitsValue(text.ptr, 2);
    minutes = DigitsValue(text.ptr + 2, 2);
    if (text.len == 6) seconds = DigitsValue(text.ptr + 4, 2);
  } else {
    const u16 parts = ListCount(text, ':');
    if (parts == 1) {
      seconds = StrValue(text);
    } else if (parts == 2) {
      minutes = StrValue(ListItem(text, ':', 1));
      seconds = StrValue(ListItem(text, ':', 2));
    } else if (parts == 3) {
      hours = StrValue(ListItem(text, ':', 1));
      minutes = StrValue(ListItem(text, ':', 2));
      seconds = StrValue(ListItem(text, ':', 3));
    }
  }
  u64 fraction_ms = 0;
  if (fraction.len > 0) fraction_ms = u64{StrValue(fraction)} * NumPow10(kFractionDigits - fraction.len);
  WorkMark(m);
  // Parts are not range-checked: a time beyond 32 bits wraps like the
  // counter it is.
  return static_cast<u32>(hours * kMsPerHour + minutes * kMsPerMinute + seconds * kMsPerSecond + fraction_ms);
}

StrSlice TimeToText(u32 ms, u16 flags) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const bool sep = (flags & kTimeSeparators) != 0;
  // At most 10 hour digits, 2 separators, 4 more pairs of digits and the point.
  char buf[24];
  u16 n = PutDigits(buf, ms / kMsPerHour, 2);
  const u16 extra_hour_digits = static_cast<u16>(n - 2);
  ms %= kMsPerHour;
  if (sep) buf[n++] = ':';
  n = static_cast<u16>(n + PutDigits(buf + n, ms / kMsPerMinute, 2));
  ms %= kMsPerMinute;
  if (sep) buf[n++] = ':';
  n = static_cast<u16>(n + PutDigits(buf + n, ms / kMsPerSecond, 2));
  buf[n++] = '.';
  n = static_cast<u16>(n + PutDigits(buf + n, ms % kMsPerSecond, 3));

  u16 len = sep ? 5 : 4;
  if (flags & kTimeSeconds) len = sep ? 8 : 6;
  if (flags & kTimeFraction) len = static_cast<u16>(len + 4);
  len = static_cast<u16>(len + extra_hour_digits);
  if (len > n) len = n;
  return WorkReturn(m, buf, len);
}

u16 NumPow10(u16 n) {
  u16 p = 1;
  // From 10^16 on every power is 0 in 16 bits.
  for (u16 i = 0; i < n && p != 0; ++i) p = static_cast<u16>(p * 10);
  return p;
}

}  // namespace vk
