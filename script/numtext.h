// Texts of dates and numbers, both ways.
//
// Dates: typed dates ("12/05/2026", "1-2-79", 6-digit DDMMYY) become the
// stored 8-digit YYYYMMDD text, and stored dates become display forms. The
// day-month order follows the language code (identity entry 4): ES, FR and
// IT put the day first, every other code (the empty one too) the month.
// Two-digit years go through the window of _BYEAR and _BKYEAR. Invalid or
// incomplete dates become the empty text or blanks, never an error.
//
// Numbers: the interpreter's number is a signed 64-bit fixed-point value
// scaled by 10^_PRECIS (_PRECIS is taken as 0 to 18). Its text has an
// optional '-', digits, an optional '.', digits, and optionally 'D' and a
// count of zeros to append (15D3 is 15000). Reading rounds half away from
// zero to _PRECIS decimals; writing drops trailing zero decimals and the
// leading zero (150 is "1.5", 5 is ".05", 0 the empty text). A text that does
// not fit the 20-character digit buffer, or whose value does not fit 64 bits,
// is refused with 146.
//
// Every text result is one new scratch entry (or an error slice).
#pragma once
#include "runtime/slice.h"

namespace vk {

// DateFormat types.
enum : u16 {
  kDateAsIs = 0,       // the text unchanged
  kDateShort = 1,      // DD-MM-YY or MM-DD-YY
  kDateFull = 2,       // DD-MM-YYYY or MM-DD-YYYY
  kDateMonthYear = 3,  // month name cut to 3 characters, blank, year
  kDateLong = 4,       // the language's long-date template
};

// Characters of a conversion's digit buffer.
constexpr u16 kNumDigitBuf = 20;
// Largest number of decimals the conversions use (_PRECIS is cut to it).
constexpr u16 kNumMaxPrecis = 18;

// ---------------------------------------------------------------- dates

// True when the language code puts the day before the month.
bool DateDayFirst();
// yy + _BYEAR when yy is below _BKYEAR, else yy + _BYEAR - 100.
i32 DateYearWindow(i32 yy);
// The three texts joined with '-' in language order: day, month, year when
// the day comes first, month, day, year otherwise.
StrSlice DateJoin(StrSlice year, StrSlice month, StrSlice day);
// The text (copied) when it is not empty or _AUXSTAT bit 64 is set, else
// today's date text. An error slice counts as the empty text.
StrSlice DateOrToday(StrSlice text);
// A typed date as its 8-digit text (the empty text when it is invalid or
// incomplete); a text without a separator that is not 6 characters long is
// taken as it is (today when empty, 8 blanks when it stays empty).
StrSlice DateParse(StrSlice text);
// The date text (today when empty) in display form type (kDate...).
// Invalid dates give 8 blanks for kDateShort, 10 for kDateFull, else the
// empty text.
StrSlice DateFormat(StrSlice text, u16 type);
// What DateFormat gives for an invalid date in display form type.
StrSlice DateInvalid(u16 type);

// ---------------------------------------------------------------- numbers

// _PRECIS cut to 0 .. kNumMaxPrecis.
u16 NumPrecis();
// The number locale: character 0 the decimal separator, 1 the grouping
// separator; from character 2 a ','-list whose first item, unquoted, holds
// the valid number characters. fixed selects the fixed copy, which never
// changes.
StrSlice NumLocale(bool fixed);

// At most 20 characters of a number text: blanks and tabs trimmed, leading
// zeros dropped (one before the decimal separator or at the end is kept),
// cut at the first character that is not a number character and at a '-'
// that does not come first; the decimal separator becomes '.'.
StrSlice NumTextClean(StrSlice text);
// The digit string of a number text with exactly n decimals and no point
// (the 'D' zeros applied), followed by as many further decimals as the
// 20-character buffer holds; their count goes to *extra (when given).
// 146 when the integer part and the n decimals pass 20 characters.
StrSlice TextToDigits(StrSlice text, u16 n, u16* extra);
// The value of a number text at _PRECIS decimals, rounded half away from
// zero, in *value: 0, 146 when the text is too long or the value does not
// fit 64 bits (*value is then 0), or an error slice's own code. The value
// is the text's leading number: reading stops at the first character that
// is not a digit, and the positions after it count as zeros.
[[nodiscard]] u16 TextToFixCheck(StrSlice text, i64* value);
// TextToFixCheck's value; 0 for an error slice. A refused text gives 0 and
// records 146 (module FormatStrings).
i64 TextToFix(StrSlice text);

// The text of a value with n implied decimals.
StrSlice FixToTextN(i64 value, u16 n);
// FixToTextN with _PRECIS decimals.
StrSlice FixToText(i64 value);
// FixToTextN with 0 decimals ("0" for 0).
StrSlice Int64ToText(i64 value);
// FixToText of the number on the scratch top (WorkTopU64).
StrSlice FixTopToText();
// The number on the scratch top divided by 10^_PRECIS, rounded half away
// from zero.
i64 FixTopToInt();

// value / 10^n rounded half away from zero (0 when n passes 19).
i64 FixDivPow10(i64 value, u16 n);
// value x 10^n; like all fixed-point arithmetic it wraps on overflow.
i64 FixMulPow10(i64 value, u16 n);
// value x 10^_PRECIS.
i64 IntToFix(i16 value);
// IntToFix of the text's 16-bit integer value (StrValue).
i64 ValToFix(StrSlice text);
// The 64-bit integer at _PRECIS decimals (through its decimal text); 0, with
// 146 recorded, when it does not fit.
i64 Int64ToFix(i64 value);

// 8-byte number entries (little-endian, as WorkTopU64 reads them).
// The value x 10^_PRECIS; the error slice 146 when that does not fit.
StrSlice IntToFixSlice(i64 value);
// TextToFixCheck's value; its failure code as an error slice.
StrSlice TextToFixSlice(StrSlice text);
// The value itself.
StrSlice Int64Slice(i64 value);

}  // namespace vk
