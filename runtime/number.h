// Numbers: signed 16-bit helpers, number texts, the 64-bit fixed-point
// arithmetic of the interpreter (a value n stands for n / 10^d, d held by the
// caller), and the library's two clock readings in UTC: today as YYYYMMDD and
// the time of day in milliseconds.
//
// Clock times are 64-bit seconds since 1970-01-01 00:00 UTC, so dates after
// 2038 work. The clock can be replaced by a hook (tests fix "now" with it).
// All arithmetic wraps on overflow instead of trapping; no conversion
// reports overflow.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Buffer sizes: NumI32ToA needs a sign, 32 binary digits and the NUL;
// NumI64ToA 64 digits, a sign and the NUL. NumToStrBuf writes at most 6 bytes.
constexpr u16 kNumI32Digits = 34;
constexpr u16 kNumI64Digits = 66;
constexpr u16 kNumI16Text = 6;

// Date number YYYYMMDD (year x 10000 + month x 100 + day).
using DateNumber = u32;

constexpr u32 kMsPerSecond = 1000;
constexpr u32 kMsPerMinute = 60 * kMsPerSecond;
constexpr u32 kMsPerHour = 60 * kMsPerMinute;
constexpr i64 kSecondsPerDay = 86400;
// 9999-12-31 23:59:59 UTC: the last clock time with a 4-digit year. Later
// times, like negative ones, have no date number.
constexpr i64 kClockMaxSeconds = 253402300799;

// Small integers.
i16 NumMin(i16 a, i16 b);
i16 NumMax(i16 a, i16 b);
// a when a is non-zero, else b.
i16 NumOr(i16 a, i16 b);

// Number texts. The ToA conversions write a NUL-terminated text and return
// the buffer; a radix outside 2..36 gives the empty text.
// Upper-case digit letters, '-' for a negative value in every radix.
char* NumI32ToA(i32 value, char* buf, u16 radix);
// Lower-case digit letters; a sign only in radix 10, other radixes show the
// value's 64 bits unsigned.
char* NumI64ToA(i64 value, char* buf, u16 radix);
// Decimal text of value at buf (not NUL-terminated), as a slice of buf.
StrSlice NumToStrBuf(i16 value, char* buf);
// The decimal text right-aligned in width bytes, filled on the left with
// fill; a longer text is returned whole. buf holds max(width, 6) bytes.
StrSlice NumToStrPad(i16 value, u16 width, char fill, char* buf);
// Decimal text as a new scratch entry; error slice 145 on a full stack.
StrSlice NumToStr(i16 value);
// Leading white space, an optional sign, decimal digits up to the first
// other byte; 0 without digits. Saturates at the 64-bit limits.
i64 NumFromC64(const char* z);
// NumFromC64 of a NUL-terminated copy of s; the copy stays on the scratch
// stack as a new entry.
i64 StrToInt64(StrSlice s);
// The newest scratch entry as a number: 0 when it is empty, its 8 bytes as a
// little-endian signed value when it is 8 bytes long, else -1.
i64 WorkTopU64();

// Fixed-point arithmetic.
// value in from decimals brought to to decimals. More decimals multiply
// exactly; fewer round to a multiple of 10^(from - to), half away from zero,
// and stay in the from-scale (125 from 2 to 1 gives 130).
i64 NumRescale(i64 value, i16 from, i16 to);
// a / b rounded half away from zero; 0 when b is 0. The wide form serves
// products that pass 64 bits.
i64 NumDivRound(i64 a, i64 b);
i128 NumDivRoundWide(i128 a, i128 b);
// Quotient truncated toward zero; *rem (when given) = |a| mod |b|. A zero
// divisor gives quotient 0 and remainder |a|.
i64 NumDivMod(i64 a, i64 b, i64* rem);
// The magnitude of value (exact also for the most negative value); *neg
// (when given) tells whether value was negative.
u64 NumAbsSign(i64 value, bool* neg);
// The smallest i with value < 2^i (0 for 0).
u16 NumBitLen(u64 value);
// Mask of *width one-bits whose highest bit is bit 63 - n; *width is first
// cut to 64 - n.
u64 NumBitMask(u16 n, u16* width);
// The width-bit field of value whose highest bit is bit 63 - n, shifted down
// to bit 0.
u64 NumBitField(u64 value, u16 n, u16 width);

// Today and now.
// Calendar fields of a clock time in UTC.
struct TimeFields {
  i64 year;
  u16 month;    // 1-12
  u16 day;      // 1-31
  u16 hour;
  u16 minute;
  u16 second;
  u16 weekday;  // 0 = Sunday
  u16 yearday;  // 0 = the 1st of January
};

// Replaces the clock: the hook returns the current clock time. Null restores
// the system clock.
using NumClockHook = i64 (*)();
void NumSetClockHook(NumClockHook hook);

// The current clock time, also stored in *out when given.
i64 TimeSeconds(i64* out);
TimeFields TimeBreakUTC(i64 t);
// Date number of t; 0 for a negative time or one after kClockMaxSeconds.
DateNumber DateFromTime(i64 t);
// Milliseconds since midnight of t; 0 where DateFromTime gives 0.
u32 TimeFromTime(i64 t);
DateNumber DateToday();
u32 TimeNow();

}  // namespace vk
