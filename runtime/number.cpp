#include "runtime/number.h"

#include <bit>
#include <chrono>
#include <cstring>

#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {
namespace {

constexpr u16 kMinRadix = 2;
constexpr u16 kMaxRadix = 36;
// 10^18 is the largest power of ten a signed 64-bit value holds.
constexpr i32 kMaxPow10 = 18;

NumClockHook g_clock_hook = nullptr;

bool RadixOk(u16 radix) { return radix >= kMinRadix && radix <= kMaxRadix; }

// Writes the digits of magnitude in radix, most significant first, and the
// NUL; returns the position after the last digit.
char* WriteDigits(char* out, u64 magnitude, u16 radix, char letter_a) {
  char rev[64];
  u16 n = 0;
  do {
    const u16 d = static_cast<u16>(magnitude % radix);
    rev[n++] = static_cast<char>(d < 10 ? '0' + d : letter_a + (d - 10));
    magnitude /= radix;
  } while (magnitude != 0);
  while (n > 0) *out++ = rev[--n];
  *out = '\0';
  return out;
}

// 10^n in wrapping 64-bit arithmetic (0 once the factor 2^64 is reached).
u64 Pow10Wrap(i32 n) {
  u64 p = 1;
  for (i32 i = 0; i < n && p != 0; ++i) p *= 10;
  return p;
}

bool IsCSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

i16 NumMin(i16 a, i16 b) { return a < b ? a : b; }
i16 NumMax(i16 a, i16 b) { return a > b ? a : b; }
i16 NumOr(i16 a, i16 b) { return a != 0 ? a : b; }

char* NumI32ToA(i32 value, char* buf, u16 radix) {
  if (!RadixOk(radix)) {
    buf[0] = '\0';
    return buf;
  }
  char* out = buf;
  if (value < 0) *out++ = '-';
  WriteDigits(out, NumAbsSign(value, nullptr), radix, 'A');
  return buf;
}

char* NumI64ToA(i64 value, char* buf, u16 radix) {
  if (!RadixOk(radix)) {
    buf[0] = '\0';
    return buf;
  }
  char* out = buf;
  u64 magnitude = static_cast<u64>(value);
  if (radix == 10 && value < 0) {
    *out++ = '-';
    magnitude = NumAbsSign(value, nullptr);
  }
  WriteDigits(out, magnitude, radix, 'a');
  return buf;
}

StrSlice NumToStrBuf(i16 value, char* buf) {
  char text[kNumI32Digits];
  NumI32ToA(value, text, 10);
  const u16 n = static_cast<u16>(std::strlen(text));
  std::memcpy(buf, text, n);
  return StrSlice{buf, n};
}

StrSlice NumToStrPad(i16 value, u16 width, char fill, char* buf) {
  const StrSlice s = NumToStrBuf(value, buf);
  if (s.len >= width) return s;
  const u16 pad = static_cast<u16>(width - s.len);
  std::memmove(buf + pad, buf, s.len);
  std::memset(buf, fill, pad);
  return StrSlice{buf, width};
}

StrSlice NumToStr(i16 value) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  char buf[kNumI16Text];
  return WorkReturn(mark, NumToStrBuf(value, buf));
}

i64 NumFromC64(const char* z) {
  if (!z) return 0;
  while (IsCSpace(*z)) ++z;
  bool neg = false;
  if (*z == '+' || *z == '-') neg = *z++ == '-';
  // Accumulate the magnitude and stop at the type's limit.
  const u64 limit = neg ? u64{1} << 63 : (u64{1} << 63) - 1;
  u64 m = 0;
  for (; *z >= '0' && *z <= '9'; ++z) {
    const u64 d = static_cast<u64>(*z - '0');
    m = (m > (limit - d) / 10) ? limit : m * 10 + d;
  }
  return neg ? static_cast<i64>(0 - m) : static_cast<i64>(m);
}

i64 StrToInt64(StrSlice s) { return NumFromC64(StrToC(s)); }

i64 WorkTopU64() {
  const StrSlice top = WorkTop();
  if (top.len == 0) return 0;
  if (top.len != 8 || !top.ptr) return -1;
  u64 v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | static_cast<u8>(top.ptr[i]);
  return static_cast<i64>(v);
}

i64 NumRescale(i64 value, i16 from, i16 to) {
  if (to == from) return value;
  if (to > from) return static_cast<i64>(static_cast<u64>(value) * Pow10Wrap(i32{to} - from));
  const i32 diff = i32{from} - to;
  // A unit above 10^18 does not fit: every value rounds to a multiple of it
  // that is 0 or out of range, so the result is 0.
  if (diff > kMaxPow10) return 0;
  const i64 unit = static_cast<i64>(Pow10Wrap(diff));
  const i64 half = value >= 0 ? unit / 2 : -(unit / 2);
  const i64 sum = static_cast<i64>(static_cast<u64>(value) + static_cast<u64>(half));
  return static_cast<i64>(static_cast<u64>(sum / unit) * static_cast<u64>(unit));
}

i128 NumDivRoundWide(i128 a, i128 b) {
  if (b == 0) return 0;
  i128 q = a / b;
  const i128 r = a % b < 0 ? -(a % b) : a % b;
  const i128 mag_b = b < 0 ? -b : b;
  if (r >= mag_b - r) q += ((a < 0) != (b < 0)) ? -1 : 1;  // 2r >= |b| without overflowing
  return q;
}

// The 64-bit quotient wraps as two's complement where it does not fit
// (INT64_MIN / -1), as it always has.
i64 NumDivRound(i64 a, i64 b) { return static_cast<i64>(static_cast<u64>(NumDivRoundWide(a, b))); }

i64 NumDivMod(i64 a, i64 b, i64* rem) {
  bool neg_a = false;
  bool neg_b = false;
  const u64 ua = NumAbsSign(a, &neg_a);
  const u64 ub = NumAbsSign(b, &neg_b);
  const u64 q = ub ? ua / ub : 0;
  if (rem) *rem = static_cast<i64>(ub ? ua % ub : ua);
  return static_cast<i64>(neg_a != neg_b ? 0 - q : q);
}

u64 NumAbsSign(i64 value, bool* neg) {
  if (neg) *neg = value < 0;
  return value < 0 ? 0 - static_cast<u64>(value) : static_cast<u64>(value);
}

u16 NumBitLen(u64 value) { return static_cast<u16>(std::bit_width(value)); }

u64 NumBitMask(u16 n, u16* width) {
  const u16 room = n < 64 ? static_cast<u16>(64 - n) : 0;
  if (*width > room) *width = room;
  const u16 w = *width;
  if (w == 0) return 0;
  const u64 ones = w == 64 ? ~u64{0} : (u64{1} << w) - 1;
  return ones << (room - w);
}

u64 NumBitField(u64 value, u16 n, u16 width) {
  const u64 mask = NumBitMask(n, &width);
  if (width == 0) return 0;
  return (value & mask) >> (64 - n - width);
}

void NumSetClockHook(NumClockHook hook) { g_clock_hook = hook; }

i64 TimeSeconds(i64* out) {
  i64 t;
  if (g_clock_hook) {
    t = g_clock_hook();
  } else {
    const auto now = std::chrono::system_clock::now();
    t = std::chrono::floor<std::chrono::seconds>(now.time_since_epoch()).count();
  }
  if (out) *out = t;
  return t;
}

TimeFields TimeBreakUTC(i64 t) {
  i64 days = t / kSecondsPerDay;
  i64 secs = t % kSecondsPerDay;
  if (secs < 0) {
    secs += kSecondsPerDay;
    --days;
  }
  TimeFields f{};
  f.hour = static_cast<u16>(secs / 3600);
  f.minute = static_cast<u16>(secs / 60 % 60);
  f.second = static_cast<u16>(secs % 60);
  // 1970-01-01 was a Thursday.
  f.weekday = static_cast<u16>(((days % 7) + 11) % 7);

  // Civil date from the day count, in 400-year eras of 146097 days with
  // years starting on the 1st of March, so the leap day ends a year.
  const i64 z = days + 719468;
  const i64 era = (z >= 0 ? z : z - 146096) / 146097;
  const i64 doe = z - era * 146097;                                      // 0..146096
  const i64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // 0..399
  const i64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // 0..365
  const i64 mp = (5 * doy + 2) / 153;                                    // 0 = March
  f.day = static_cast<u16>(doy - (153 * mp + 2) / 5 + 1);
  f.month = static_cast<u16>(mp < 10 ? mp + 3 : mp - 9);
  f.year = yoe + era * 400 + (f.month <= 2 ? 1 : 0);
  const bool leap = (f.year % 4 == 0 && f.year % 100 != 0) || f.year % 400 == 0;
  f.yearday = static_cast<u16>(doy >= 306 ? doy - 306 : doy + 59 + (leap ? 1 : 0));
  return f;
}

DateNumber DateFromTime(i64 t) {
  if (t < 0 || t > kClockMaxSeconds) return 0;
  const TimeFields f = TimeBreakUTC(t);
  return static_cast<DateNumber>(f.year * 10000 + f.month * 100 + f.day);
}

u32 TimeFromTime(i64 t) {
  if (t < 0 || t > kClockMaxSeconds) return 0;
  const TimeFields f = TimeBreakUTC(t);
  return f.hour * kMsPerHour + f.minute * kMsPerMinute + f.second * kMsPerSecond;
}

DateNumber DateToday() { return DateFromTime(TimeSeconds(nullptr)); }
u32 TimeNow() { return TimeFromTime(TimeSeconds(nullptr)); }

}  // namespace vk
