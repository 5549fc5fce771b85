#include "script/mask.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "script/numtext.h"

namespace vk {

namespace {

constexpr char kSlotChars[] = "\\?#0";
constexpr char kNumericTest[] = ".-1234567890,D ";
constexpr char kTypeLetters[] = "ABDLNN123456789";
constexpr char kTypeMaskChars[] = "\\\\\\\\###########0";
constexpr char kOverflowFill = '*';
// Room for a rounded value's text: sign, 19 digits, point.
constexpr u16 kRoundedText = 24;

bool IsError(StrSlice s) { return s.ptr == nullptr; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsDigitSlot(char c) { return c == '#' || c == '0'; }
bool Has(StrSlice s, char c) { return StrFindChar(s, c, kPlain) != kNotFound; }

// A writable copy of s as a new scratch entry.
char* CopyEntry(StrSlice s, StrSlice* out) {
  *out = WorkAllocSlice(s.len, kNoFill);
  if (IsError(*out)) return nullptr;
  char* d = const_cast<char*>(out->ptr);
  if (s.len) std::memcpy(d, s.ptr, s.len);
  return d;
}

// The value padded with blanks (or cut) to width, on the left or the right.
StrSlice Justify(StrSlice value, u16 width, bool right) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice out = WorkAllocSlice(width, ' ');
  if (IsError(out)) return WorkReturn(m, out);
  const u16 n = value.len < width ? value.len : width;
  char* d = const_cast<char*>(out.ptr);
  if (n) std::memcpy(d + (right ? width - n : 0), value.ptr, n);
  return out;
}

// Where the number text stands against the digit area.
struct NumberShape {
  i32 dot;       // position of the first '.', -1 without one
  u32 w;         // decimals
  u32 n;         // positions before the point ('-' included), plus one for
                 // the '0' written before a point that has no digits
  bool no_int;   // nothing, or only '-', before the point
};

NumberShape Measure(const char* v, u32 len) {
  NumberShape s{-1, 0, len, len == 0};
  for (u32 k = 0; k < len; ++k) {
    if (v[k] == '.') {
      s.dot = static_cast<i32>(k);
      break;
    }
  }
  if (s.dot >= 0) {
    const u32 dot = static_cast<u32>(s.dot);
    s.w = len - dot - 1;
    s.n = dot;
    s.no_int = dot == 0 || (dot == 1 && v[0] == '-');
    if (s.no_int) ++s.n;
  }
  return s;
}

// The digit area's layout: point position inside it (-1 none), decimals i,
// grouping commas g, integer positions.
struct AreaShape {
  i32 point;
  u32 i;
  u32 g;
  u32 intpos;
};

AreaShape MeasureArea(const char* a, u32 alen) {
  AreaShape s{-1, 0, 0, 0};
  for (u32 k = 0; k < alen; ++k) {
    if (a[k] == '.' && s.point < 0) s.point = static_cast<i32>(k);
    if (a[k] == ',') ++s.g;
  }
  if (s.point >= 0) s.i = alen - 1 - static_cast<u32>(s.point);
  s.intpos = alen - s.i - s.g - (s.point >= 0 ? 1 : 0);
  return s;
}

// Makes room for n integer positions: the commas become digit slots (each
// takes the slot that follows it), then the area gives up decimals, moving
// right one position at a time (the first slot doubles, the last drops out).
void GiveWay(char* a, u32 alen, AreaShape* s, u32 n) {
  if (n <= s->intpos) return;
  if (s->g > 0) {
    for (u32 k = alen; k-- > 0;)
      if (a[k] == ',' && k + 1 < alen) a[k] = a[k + 1];
    s->intpos += s->g;
    s->g = 0;
  }
  while (n > s->intpos && s->point >= 0) {
    for (u32 k = alen - 1; k > 0; --k) a[k] = a[k - 1];
    ++s->point;
    if (static_cast<u32>(s->point) >= alen) s->point = -1;
    if (s->i > 0) --s->i;
    ++s->intpos;
  }
}

// Rounds the value text in v to i decimals (by way of _PRECIS decimals, as
// a number keeps them) and writes the shortest text of the result back.
// Grouping commas in the value are ignored. False when it is no number that
// fits 64 bits.
bool RoundValue(char* v, u32* len, u32 i) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  char* plain = WorkAllocRaw(static_cast<u16>(*len), kNoFill);
  if (!plain && *len) return false;
  u16 plen = 0;
  for (u32 k = 0; k < *len; ++k)
    if (v[k] != ',') plain[plen++] = v[k];
  i64 fx = 0;
  if (TextToFixCheck(StrSlice{plain ? plain : "", plen}, &fx)) {
    WorkMark(m);
    return false;
  }
  const u16 precis = NumPrecis();
  StrSlice text = i < precis ? FixToTextN(FixDivPow10(fx, static_cast<u16>(precis - i)), static_cast<u16>(i))
                             : FixToText(fx);
  const bool ok = !IsError(text) && text.len <= kRoundedText;
  if (ok) {
    if (text.len) std::memmove(v, text.ptr, text.len);
    *len = text.len;
  }
  WorkMark(m);
  return ok;
}

// MaskNumber, telling also whether the value did not fit (shown as '*').
StrSlice MaskNumberFit(StrSlice mask, StrSlice value, bool fixed, bool* overflow) {
  *overflow = false;
  if (IsError(value)) return value;
  if (IsError(mask)) return mask;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice locale = NumLocale(fixed);
  const char dec = locale.ptr[0];
  const char grp = locale.ptr[1];

  StrSlice v = StrTrim(value, kTrimBoth);
  while (v.len > 0 && !IsDigit(v.ptr[v.len - 1])) --v.len;

  StrSlice res;
  char* r = CopyEntry(mask, &res);
  if (!r) return WorkReturn(m, res);
  i32 first = -1;
  i32 last = -1;
  for (u16 k = 0; k < mask.len; ++k) {
    if (IsDigitSlot(mask.ptr[k])) {
      if (first < 0) first = k;
      last = k;
    }
  }
  if (first < 0) return WorkReturn(m, res);
  char* a = r + first;
  const u32 alen = static_cast<u32>(last - first + 1);

  // The value's working copy, with room for a rounded text and the point and
  // zeros that align it with the mask's decimals.
  const u32 cap = (v.len > kRoundedText ? v.len : kRoundedText) + 1 + alen;
  if (cap > kMaxText) return WorkReturn(m, StrErrorSlice(kErrStringTooLong));
  char* vb = WorkAllocRaw(static_cast<u16>(cap), kNoFill);
  if (!vb) return WorkReturn(m, StrErrorSlice(kErrOutOfMemory));
  if (v.len) std::memcpy(vb, v.ptr, v.len);
  u32 vlen = v.len;

  AreaShape area = MeasureArea(a, alen);
  NumberShape shape = Measure(vb, vlen);
  // Giving way can take decimals that the value then has to lose by
  // rounding, and rounding can carry into a new integer digit (9.96 to 10):
  // both are repeated until the value stands still. Each round lowers the
  // mask's decimals or ends, so the loop is short.
  for (;;) {
    GiveWay(a, alen, &area, shape.n);
    if (shape.n > area.intpos) {
      *overflow = true;
      break;
    }
    if (shape.w <= area.i) break;
    if (!RoundValue(vb, &vlen, area.i)) {
      *overflow = true;
      break;
    }
    shape = Measure(vb, vlen);
  }
  if (*overflow) {
    std::memset(a, kOverflowFill, alen);
    return WorkReturn(m, res);
  }

  // Decimal zeros up to the mask's decimals.
  if (vlen > 0 && shape.w < area.i) {
    if (shape.dot < 0) vb[vlen++] = '.';
    for (u32 k = shape.w; k < area.i; ++k) vb[vlen++] = '0';
    shape = Measure(vb, vlen);
  }

  u32 left = vlen;  // value characters not yet placed, taken from the right
  i32 sign = -1;    // where the leading '-' went
  for (i32 pos = static_cast<i32>(alen) - 1; pos >= 0; --pos) {
    const char c = a[pos];
    const char before = pos > 0 ? a[pos - 1] : '\0';
    if (left > 0) {
      if (left == 1 && vb[0] == '-') {
        a[pos] = '-';
        sign = pos;
        left = 0;
      } else if (c == ',') {
        a[pos] = grp;
      } else {
        const char ch = vb[--left];
        a[pos] = ch == '.' ? dec : ch;
      }
    } else if (c == '#') {
      a[pos] = ' ';
    } else if (c == ',') {
      a[pos] = before == '#' ? ' ' : grp;
    } else if (c == '.') {
      a[pos] = (vlen == 0 && before == '#') ? ' ' : dec;
    }
    // A point without integer digits gets a '0' before it.
    if (a[pos] == dec && c != ',' && shape.no_int && pos > 0) a[--pos] = '0';
  }
  // Zero filling left of the sign would read as 00-5: the sign goes first.
  if (sign > 0) {
    i32 q = sign;
    while (q > 0 && a[q - 1] != ' ') --q;
    if (q < sign) {
      std::memmove(a + q + 1, a + q, static_cast<size_t>(sign - q));
      a[q] = '-';
    }
  }
  return WorkReturn(m, res);
}

}  // namespace

StrSlice MaskApply(StrSlice mask, StrSlice value) { return MaskApplyMode(mask, value, kMaskModeAuto); }

StrSlice MaskApplyMode(StrSlice mask, StrSlice value, u16 mode) {
  if (IsError(mask)) return mask;
  if (IsError(value)) return value;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16 first = StrFindAny(mask, StrC(kSlotChars), kPlain);
  if (first == kNotFound) return WorkReturn(m, mask);
  const char slot = mask.ptr[first];
  bool numeric = mode == kMaskModeNumber;
  if (!numeric && mode != kMaskModeText && IsDigitSlot(slot)) {
    numeric = true;
    for (u16 k = 0; k < value.len && numeric; ++k) numeric = Has(StrC(kNumericTest), value.ptr[k]);
  }
  if (numeric) return WorkReturn(m, MaskNumber(mask, StrTrim(value, kTrimBoth), mode == kMaskModeNumber));
  if (IsDigitSlot(slot) && !Has(mask, '\\') && !Has(mask, '?')) return WorkReturn(m, mask);
  const u16 kind = static_cast<u16>(std::strchr(kSlotChars, slot) - kSlotChars);
  return WorkReturn(m, MaskText(mask, value, kind));
}

StrSlice MaskNumber(StrSlice mask, StrSlice value, bool fixed) {
  bool overflow = false;
  return MaskNumberFit(mask, value, fixed, &overflow);
}

StrSlice MaskText(StrSlice mask, StrSlice value, u16 kind) {
  if (IsError(mask)) return mask;
  if (IsError(value)) return value;
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice wide_s;
  char* wide = CopyEntry(mask, &wide_s);
  if (!wide) return WorkReturn(m, wide_s);
  const u16 len = mask.len;
  // A '\' and the blanks up to the next '\' become a run of slots; a run
  // that holds anything else, or has no closing '\', stays as it is.
  for (u16 k = 0; k < len;) {
    if (wide[k] != '\\' || k + 1 >= len || wide[k + 1] != ' ') {
      ++k;
      continue;
    }
    u16 j = static_cast<u16>(k + 1);
    while (j < len && wide[j] == ' ') ++j;
    if (j < len && wide[j] == '\\') {
      for (u16 b = static_cast<u16>(k + 1); b < j; ++b) wide[b] = '\\';
      k = j;  // the closing '\' may open the next run
    } else {
      ++k;
    }
  }
  StrSlice out_s;
  char* out = CopyEntry(mask, &out_s);
  if (!out) return WorkReturn(m, out_s);
  const bool same_position = kind == kMaskKindQuery || kind == kMaskKindZero;
  u16 next = 0;
  for (u16 k = 0; k < len; ++k) {
    if (wide[k] == '?' && same_position) {
      out[k] = k < value.len ? value.ptr[k] : ' ';
    } else if (wide[k] == '\\' || wide[k] == '?') {
      out[k] = next < value.len ? value.ptr[next++] : ' ';
    }
  }
  return WorkReturn(m, out_s);
}

StrSlice MaskForType(char type, u16 width, bool fixed) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const char* at = type ? std::strchr(kTypeLetters, type) : nullptr;
  if (!at) return WorkReturn(m, kStrEmpty);
  StrSlice out = WorkAllocSlice(width, static_cast<u8>(kTypeMaskChars[at - kTypeLetters]));
  if (IsError(out)) return WorkReturn(m, out);
  if (type >= '1' && type <= '9') {
    const u16 d = static_cast<u16>(type - '0');
    if (d + 1 < width) const_cast<char*>(out.ptr)[width - (d + 1)] = fixed ? '.' : NumLocale(false).ptr[0];
  }
  return out;
}

StrSlice FieldFormat(char type, StrSlice value, u16 width) {
  if (IsError(value)) return value;
  const WorkMarkId m = WorkMark(kMarkQuery);
  switch (type) {
    case 'A':
    case 'B':
    case 'C':
    case 'P':
      return WorkReturn(m, Justify(value, width, false));
    case 'D':
    case 'F':
      if (width == 6 && value.len == 8) return WorkReturn(m, Justify(StrMid(value, 2, 6), width, false));
      return WorkReturn(m, Justify(value, width, false));
    case 'N':
    case 'L':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9':
      break;
    default:  // 'V' and unknown types
      return WorkReturn(m, Justify(kStrEmpty, width, false));
  }
  const StrSlice t = StrTrim(value, kTrimBoth);
  if (t.len <= width) return WorkReturn(m, Justify(t, width, true));
  const u16 p = StrFindChar(t, '.', kPlain);
  if (p == kNotFound || p > width) return WorkReturn(m, StrErrorSlice(kErrDataOutBound));
  // The integer part fits: the point goes right after it (after a '0' when
  // there is no integer digit), and the decimals that fit beside it stay.
  StrSlice mask = MaskForType('N', width, true);
  if (IsError(mask)) return WorkReturn(m, mask);
  const u16 point = p > 0 ? p : 1;
  if (point < width) const_cast<char*>(mask.ptr)[point] = '.';
  bool overflow = false;
  const StrSlice r = MaskNumberFit(mask, t, true, &overflow);
  // Rounding can still carry into a digit the width has no room for.
  if (overflow) return WorkReturn(m, StrErrorSlice(kErrDataOutBound));
  return WorkReturn(m, r);
}

}  // namespace vk
