#include "script/numtext.h"

#include <charconv>

#include "runtime/appenv.h"
#include "runtime/datetime.h"
#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/valtable.h"

namespace vk {

namespace {

constexpr char kDayFirstLanguages[] = "ES,FR,IT";
constexpr char kDateSeparators[] = "-./";
constexpr char kShortMonthTemplate[] = "[M] [Y]";
constexpr u16 kShortMonthName = 3;
constexpr u16 kBlankShortDate = 8;
constexpr u16 kBlankFullDate = 10;
constexpr u16 kParseBlanks = 8;
constexpr i32 kMaxDay = 31;
constexpr i32 kMaxMonth = 12;

// The locale text and its fixed copy (the same text here): decimal
// separator, grouping separator, then a ','-list whose first item holds the
// valid number characters.
constexpr char kLocaleText[] = ".,'0123456789.-D',' NY','  ,NO,YES'";
constexpr char kLocaleFixed[] = ".,'0123456789.-D',' NY','  ,NO,YES'";

constexpr u64 kI64Max = 0x7FFFFFFFFFFFFFFFull;
// 10^19 is the largest power of ten a u64 holds.
constexpr u16 kMaxPow10U64 = 19;

using u128 = unsigned __int128;

bool IsError(StrSlice s) { return s.ptr == nullptr; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

StrSlice Blanks(u16 n) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  return WorkReturn(m, WorkAllocSlice(n, ' '));
}

u64 Pow10U64(u16 n) {
  u64 p = 1;
  for (u16 i = 0; i < n; ++i) p *= 10;
  return p;
}

// ------------------------------------------------------------ date helpers

// The month names and the long-date template of the language's date data
// (identity entry 0, second NUL-separated item: two quoted ','-items).
StrSlice DateDataItem(u16 k) {
  const StrSlice data = ListItem(StoreGet(kGroupIdentity, 0), '\0', 2);
  return StrUnquote(ListItem(data, ',', k));
}

// The template with every [D], [M] and [Y] replaced in one pass, so that a
// replacement text is never searched again.
StrSlice ExpandDateTemplate(StrSlice tpl, StrSlice day, StrSlice month, StrSlice year) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  struct Field {
    char key;
    StrSlice value;
  };
  const Field fields[] = {{'D', day}, {'M', month}, {'Y', year}};
  auto field_at = [&](u16 i) -> const Field* {
    if (u32{i} + 2 >= tpl.len || tpl.ptr[i] != '[' || tpl.ptr[i + 2] != ']') return nullptr;
    for (const Field& f : fields)
      if (tpl.ptr[i + 1] == f.key) return &f;
    return nullptr;
  };
  u32 total = 0;
  for (u16 i = 0; i < tpl.len;) {
    if (const Field* f = field_at(i)) {
      total += f->value.len;
      i = static_cast<u16>(i + 3);
    } else {
      ++total;
      ++i;
    }
  }
  if (total > kMaxText) return WorkReturn(m, StrErrorSlice(kErrStringTooLong));
  StrSlice out = WorkAllocSlice(static_cast<u16>(total), kNoFill);
  if (IsError(out)) return WorkReturn(m, out);
  char* d = const_cast<char*>(out.ptr);
  for (u16 i = 0; i < tpl.len;) {
    if (const Field* f = field_at(i)) {
      for (u16 k = 0; k < f->value.len; ++k) *d++ = f->value.ptr[k];
      i = static_cast<u16>(i + 3);
    } else {
      *d++ = tpl.ptr[i++];
    }
  }
  return out;
}

// ---------------------------------------------------------- digit buffer

struct DigitBuf {
  char d[kNumDigitBuf];
  u16 len;      // characters written
  u16 int_len;  // characters of the integer part, sign included
  u16 extra;    // decimals kept beyond the n asked for
};

// The count after a 'D': its leading digits, held at a bound far past any
// count that fits the buffer; a negative or missing count appends nothing.
u32 ZeroCount(StrSlice t) {
  constexpr u32 kBound = 100000;
  u16 k = 0;
  while (k < t.len && (t.ptr[k] == ' ' || t.ptr[k] == '\t')) ++k;
  if (k < t.len && t.ptr[k] == '+') ++k;
  u32 c = 0;
  for (; k < t.len && IsDigit(t.ptr[k]); ++k) c = c >= kBound ? kBound : c * 10 + static_cast<u32>(t.ptr[k] - '0');
  return c;
}

// Lays out a number text as in TextToDigits: 0, or 146 when the integer part
// and n decimals do not fit the buffer.
u16 FillDigits(StrSlice text, u16 n, DigitBuf* out) {
  out->len = out->int_len = out->extra = 0;
  StrSlice body = StrTrim(text, kTrimBoth);
  u32 zeros = 0;
  const u16 dpos = StrFindChar(body, 'D', kPlain);
  if (dpos != kNotFound) {
    zeros = ZeroCount(StrSlice{body.ptr + dpos + 1, static_cast<u16>(body.len - dpos - 1)});
    body.len = dpos;
  }
  const u16 dot = StrFindChar(body, '.', kPlain);
  // The integer part gets the zeros of a 'D' when there is no point; with a
  // point they follow the decimals.
  const u32 int_len = dot == kNotFound ? u32{body.len} + zeros : dot;
  if (int_len + n > kNumDigitBuf) return kErrStringTooLong;
  const u16 body_int = dot == kNotFound ? body.len : dot;
  const u32 dec_start = dot == kNotFound ? body.len : u32{dot} + 1;
  const u32 dec_body = body.len - dec_start;
  const u32 dec_total = dot == kNotFound ? 0 : dec_body + zeros;
  auto dec_at = [&](u32 k) -> char { return k < dec_body ? body.ptr[dec_start + k] : '0'; };

  u16 len = 0;
  for (u16 i = 0; i < body_int; ++i) out->d[len++] = body.ptr[i];
  while (len < int_len) out->d[len++] = '0';
  out->int_len = len;
  for (u32 k = 0; k < n; ++k) out->d[len++] = k < dec_total ? dec_at(k) : '0';
  u16 extra = 0;
  for (u32 k = n; k < dec_total && len < kNumDigitBuf; ++k, ++extra) out->d[len++] = dec_at(k);
  out->len = len;
  out->extra = extra;
  return kOk;
}

// The value of a filled buffer: its leading number, rounded half away from
// zero by the extra decimals. 146 when it does not fit 64 bits.
u16 ReadDigits(const DigitBuf& b, i64* value) {
  *value = 0;
  u16 i = 0;
  bool neg = false;
  if (b.int_len > 0 && (b.d[0] == '-' || b.d[0] == '+')) {
    neg = b.d[0] == '-';
    i = 1;
  }
  bool stopped = false;
  u128 acc = 0;
  // The integer part counts only up to its first non-digit: "12x" is 12.
  for (; i < b.int_len; ++i) {
    if (!IsDigit(b.d[i])) {
      stopped = true;
      break;
    }
    acc = acc * 10 + static_cast<u128>(b.d[i] - '0');
  }
  // Decimal positions after a non-digit count as zeros.
  const u16 dec_end = static_cast<u16>(b.len - b.extra);
  for (u16 k = b.int_len; k < dec_end; ++k) {
    if (!stopped && !IsDigit(b.d[k])) stopped = true;
    acc = acc * 10 + (stopped ? 0 : static_cast<u128>(b.d[k] - '0'));
  }
  if (b.extra > 0 && !stopped) {
    const char first = b.d[dec_end];
    if (IsDigit(first) && first >= '5') acc += 1;
  }
  if (acc > kI64Max) return kErrStringTooLong;
  const u64 mag = static_cast<u64>(acc);
  *value = neg ? static_cast<i64>(0 - mag) : static_cast<i64>(mag);
  return kOk;
}

}  // namespace

// ---------------------------------------------------------------- dates

bool DateDayFirst() {
  const StrSlice code = StoreGet(kGroupIdentity, kIdLanguage);
  return code.len > 0 && ListFind(StrC(kDayFirstLanguages), code, ',') != 0;
}

i32 DateYearWindow(i32 yy) {
  const i32 base = SysVarGet(kSysByear);
  return yy < SysVarGet(kSysBkyear) ? yy + base : yy + base - 100;
}

StrSlice DateJoin(StrSlice year, StrSlice month, StrSlice day) {
  if (DateDayFirst()) return StrFormatV(kMaxText, "%s-%s-%s", day, month, year);
  return StrFormatV(kMaxText, "%s-%s-%s", month, day, year);
}

StrSlice DateOrToday(StrSlice text) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice t = StrOrEmpty(text);
  if (t.len > 0 || SysVarTest(kSysAuxstat, kAuxEmptyDate)) return WorkReturn(m, t);
  return WorkReturn(m, DateToText(DateToday()));
}

StrSlice DateParse(StrSlice text) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice t = StrOrEmpty(text);
  const u16 pos = StrFindAny(t, StrC(kDateSeparators), kQuoteAware);
  char sep = '-';
  if (pos == kNotFound) {
    if (t.len != 6) {
      // Taken as it is: only an empty text is replaced (today or blanks).
      const StrSlice r = DateOrToday(t);
      if (!IsError(r) && r.len == 0) return WorkReturn(m, Blanks(kParseBlanks));
      return WorkReturn(m, r);
    }
    // DDMMYY in every language.
    t = DateJoin(StrMid(t, 4, 2), StrMid(t, 2, 2), StrMid(t, 0, 2));
    if (IsError(t)) return WorkReturn(m, t);
  } else {
    sep = t.ptr[pos];
  }
  const StrSlice item1 = ListItem(t, sep, 1);
  const StrSlice item2 = ListItem(t, sep, 2);
  const StrSlice item3 = ListItem(t, sep, 3);
  const i32 a = StrValue(item1);
  const i32 b = StrValue(item2);
  i32 year = StrValue(item3);
  if (item3.len == 2) year = DateYearWindow(year);
  if (a == 0 || b == 0 || item3.len == 0) return WorkReturn(m, kStrEmpty);
  const bool day_first = DateDayFirst();
  const i32 day = day_first ? a : b;
  const i32 month = day_first ? b : a;
  // A day or month too large for its two digits would spill into the next
  // field of the date number and name another date; it is invalid instead.
  if (day > kMaxDay || month > kMaxMonth || year < 0) return WorkReturn(m, kStrEmpty);
  return WorkReturn(m, DateToText(static_cast<DateNumber>(DateCompose(day, month, year))));
}

StrSlice DateInvalid(u16 type) {
  if (type == kDateShort) return Blanks(kBlankShortDate);
  if (type == kDateFull) return Blanks(kBlankFullDate);
  return Blanks(0);
}

StrSlice DateFormat(StrSlice text, u16 type) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice t = DateOrToday(text);
  if (IsError(t)) return WorkReturn(m, t);
  const StrSlice s = DateToText(static_cast<DateNumber>(DateTextPart(t, kDateWhole)));
  if (IsError(s)) return WorkReturn(m, s);
  if (s.len == 0) return WorkReturn(m, DateInvalid(type));
  const StrSlice y = StrMid(s, 0, 4);
  const StrSlice mo = StrMid(s, 4, 2);
  const StrSlice d = StrMid(s, 6, 2);
  switch (type) {
    case kDateAsIs:
      return WorkReturn(m, t);
    case kDateShort:
      return WorkReturn(m, DateJoin(StrMid(y, 2, 2), mo, d));
    case kDateFull:
      return WorkReturn(m, DateJoin(y, mo, d));
    case kDateMonthYear:
    case kDateLong: {
      StrSlice name = ListItem(DateDataItem(1), ',', StrValue(mo));
      StrSlice tpl = StrC(kShortMonthTemplate);
      if (type == kDateMonthYear) {
        name = StrMid(name, 0, kShortMonthName);
      } else {
        tpl = DateDataItem(2);
      }
      return WorkReturn(m, ExpandDateTemplate(tpl, d, name, y));
    }
    default:
      return WorkReturn(m, kStrEmpty);
  }
}

// ---------------------------------------------------------------- numbers

u16 NumPrecis() {
  const i16 p = SysVarGet(kSysPrecis);
  if (p < 0) return 0;
  return p > static_cast<i16>(kNumMaxPrecis) ? kNumMaxPrecis : static_cast<u16>(p);
}

StrSlice NumLocale(bool fixed) { return StrC(fixed ? kLocaleFixed : kLocaleText); }

StrSlice NumTextClean(StrSlice text) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  if (IsError(text)) return WorkReturn(m, text);
  const StrSlice locale = NumLocale(false);
  const char dec = locale.ptr[0];
  const StrSlice valid = StrUnquote(ListItem(StrMid(locale, 2, locale.len), ',', 1));
  const StrSlice t = StrTrim(text, kTrimBoth);
  char buf[kNumDigitBuf];
  u16 kept = 0;
  for (u16 k = 0; k < t.len && kept < kNumDigitBuf; ++k) {
    const char c = t.ptr[k];
    if (c != '.' && c != dec && StrFindChar(valid, c, kPlain) == kNotFound) break;
    if (c == '-' && kept > 0) break;
    // Leading zeros go, except one that ends the text or comes before the
    // decimal separator.
    if (c == '0' && kept == 0 && k + 1 < t.len && t.ptr[k + 1] != dec) continue;
    buf[kept++] = c == dec ? '.' : c;
  }
  return WorkReturn(m, buf, kept);
}

StrSlice TextToDigits(StrSlice text, u16 n, u16* extra) {
  if (extra) *extra = 0;
  const WorkMarkId m = WorkMark(kMarkQuery);
  if (IsError(text)) return WorkReturn(m, text);
  DigitBuf b;
  if (u16 code = FillDigits(text, n, &b)) return WorkReturn(m, StrErrorSlice(code));
  if (extra) *extra = b.extra;
  return WorkReturn(m, b.d, b.len);
}

u16 TextToFixCheck(StrSlice text, i64* value) {
  *value = 0;
  if (IsError(text)) return StrError(text);
  DigitBuf b;
  if (u16 code = FillDigits(text, NumPrecis(), &b)) return code;
  return ReadDigits(b, value);
}

i64 TextToFix(StrSlice text) {
  i64 v = 0;
  const u16 code = TextToFixCheck(text, &v);
  if (code == kErrStringTooLong) ErrSet(kErrFirst, kWhereFormat, code, code);
  return code ? 0 : v;
}

StrSlice FixToTextN(i64 value, u16 n) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  bool neg = false;
  const u64 mag = NumAbsSign(value, &neg);
  char digits[24];
  const auto conv = std::to_chars(digits, digits + sizeof digits, mag);
  const u32 nd = static_cast<u32>(conv.ptr - digits);
  // The digits padded with leading zeros to at least n.
  const u32 total = nd > n ? nd : n;
  const u32 pad = total - nd;
  u32 drop = 0;
  while (drop < n && drop < nd && digits[nd - 1 - drop] == '0') ++drop;
  // A zero value is all padding: its digit and the padding drop alike.
  if (mag == 0 && n > 0) drop = n;
  const u32 kept = total - drop;
  const u32 decimals = n - drop;
  const u32 len = (neg ? 1u : 0u) + kept + (decimals > 0 ? 1u : 0u);
  if (len > kMaxText) return WorkReturn(m, StrErrorSlice(kErrStringTooLong));
  StrSlice out = WorkAllocSlice(static_cast<u16>(len), kNoFill);
  if (IsError(out)) return WorkReturn(m, out);
  char* d = const_cast<char*>(out.ptr);
  if (neg) *d++ = '-';
  for (u32 k = 0; k < kept; ++k) {
    if (decimals > 0 && k == kept - decimals) *d++ = '.';
    *d++ = k < pad ? '0' : digits[k - pad];
  }
  return out;
}

StrSlice FixToText(i64 value) { return FixToTextN(value, NumPrecis()); }
StrSlice Int64ToText(i64 value) { return FixToTextN(value, 0); }
StrSlice FixTopToText() { return FixToText(WorkTopU64()); }
i64 FixTopToInt() { return FixDivPow10(WorkTopU64(), NumPrecis()); }

i64 FixDivPow10(i64 value, u16 n) {
  if (n > kMaxPow10U64) return 0;
  bool neg = false;
  const u64 mag = NumAbsSign(value, &neg);
  const u64 p = Pow10U64(n);
  u64 q = mag / p;
  const u64 r = mag % p;
  if (r >= p - r) ++q;  // 2r >= p without overflowing
  return static_cast<i64>(neg ? 0 - q : q);
}

i64 FixMulPow10(i64 value, u16 n) {
  // Past 64 factors the product is 0 modulo 2^64 anyway.
  u64 v = static_cast<u64>(value);
  for (u16 i = 0; i < n && i < 64; ++i) v *= 10;
  return static_cast<i64>(n >= 64 ? 0 : v);
}

i64 IntToFix(i16 value) { return FixMulPow10(value, NumPrecis()); }

i64 ValToFix(StrSlice text) { return IntToFix(static_cast<i16>(StrValue(text))); }

i64 Int64ToFix(i64 value) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice t = Int64ToText(value);
  i64 v = 0;
  const u16 code = IsError(t) ? StrError(t) : TextToFixCheck(t, &v);
  WorkMark(m);
  if (code) {
    ErrSet(kErrFirst, kWhereFormat, code, code);
    return 0;
  }
  return v;
}

StrSlice IntToFixSlice(i64 value) {
  bool neg = false;
  const u64 mag = NumAbsSign(value, &neg);
  const u64 scale = Pow10U64(NumPrecis());
  if (mag > kI64Max / scale) return StrErrorSlice(kErrStringTooLong);
  const u64 prod = mag * scale;
  return Int64Slice(static_cast<i64>(neg ? 0 - prod : prod));
}

StrSlice TextToFixSlice(StrSlice text) {
  i64 v = 0;
  if (u16 code = TextToFixCheck(text, &v)) return StrErrorSlice(code);
  return Int64Slice(v);
}

StrSlice Int64Slice(i64 value) {
  char bytes[8];
  u64 v = static_cast<u64>(value);
  for (char& b : bytes) {
    b = static_cast<char>(v & 0xFF);
    v >>= 8;
  }
  const WorkMarkId m = WorkMark(kMarkQuery);
  return WorkReturn(m, bytes, sizeof bytes);
}

}  // namespace vk
