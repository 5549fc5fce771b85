// The formatter of runtime/str.h: StrFormat and StrFormatTexts.
#include "runtime/str.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"

namespace vk {

namespace {

constexpr u32 kFmtFieldCap = kMaxText + 1;  // wider fields overflow anyway
constexpr char kFmtFlags[] = "-0+";
constexpr char kFmtConversions[] = "diuxXcs%";
constexpr char kDigitsLower[] = "0123456789abcdef";
constexpr char kDigitsUpper[] = "0123456789ABCDEF";

enum FmtLength : u8 { kLenDefault, kLenChar, kLenShort, kLenLong };

struct FmtConv {
  bool left;
  bool zero;
  bool plus;
  bool has_prec;
  u32 width;
  u32 prec;
  FmtLength length;
  char conv;
};

// Counts every byte and stores those that fit; a sink without a buffer
// only counts. Counting stops once the text is known to be too long.
struct FmtSink {
  char* dest;
  u32 max;
  u32 len;
  bool Over() const { return len > max; }
  void Put(const char* p, u32 n) {
    if (dest) {
      u32 room = len < max ? max - len : 0;
      if (n < room) room = n;
      if (room) std::memcpy(dest + len, p, room);
    }
    Advance(n);
  }
  void Fill(char c, u32 n) {
    if (dest) {
      u32 room = len < max ? max - len : 0;
      if (n < room) room = n;
      if (room) std::memset(dest + len, c, room);
    }
    Advance(n);
  }
  void Advance(u32 n) { len = (n > max + 1 - len) ? max + 1 : len + n; }
};

u32 ReadCount(StrSlice f, u32* i) {
  u32 v = 0;
  while (*i < f.len && f.ptr[*i] >= '0' && f.ptr[*i] <= '9') {
    v = v * 10 + static_cast<u32>(f.ptr[*i] - '0');
    if (v > kFmtFieldCap) v = kFmtFieldCap;
    ++*i;
  }
  return v;
}

// Parses the conversion that starts after a '%' at i; the index past it, or
// 0 when the bytes there are not a recognised conversion.
u32 ParseConversion(StrSlice f, u32 i, FmtConv* sp) {
  *sp = FmtConv{};
  while (i < f.len && std::memchr(kFmtFlags, static_cast<u8>(f.ptr[i]), sizeof(kFmtFlags) - 1)) {
    char c = f.ptr[i++];
    if (c == '-') sp->left = true;
    if (c == '0') sp->zero = true;
    if (c == '+') sp->plus = true;
  }
  sp->width = ReadCount(f, &i);
  if (i < f.len && f.ptr[i] == '.') {
    ++i;
    sp->has_prec = true;
    sp->prec = ReadCount(f, &i);
  }
  if (i < f.len) {
    char c = f.ptr[i];
    bool twice = i + 1 < f.len && f.ptr[i + 1] == c;
    if (c == 'h') {
      sp->length = twice ? kLenChar : kLenShort;
      i += twice ? 2 : 1;
    } else if (c == 'l') {
      sp->length = kLenLong;
      i += twice ? 2 : 1;
    } else if (c == 'j' || c == 'z' || c == 't') {
      sp->length = kLenLong;
      ++i;
    }
  }
  if (i >= f.len) return 0;
  if (!std::memchr(kFmtConversions, static_cast<u8>(f.ptr[i]), sizeof(kFmtConversions) - 1)) return 0;
  sp->conv = f.ptr[i];
  return i + 1;
}

// A field of body bytes, padded with blanks to the width.
void PutPadded(FmtSink* out, const FmtConv& sp, const char* body, u32 n) {
  u32 pad = sp.width > n ? sp.width - n : 0;
  if (!sp.left) out->Fill(' ', pad);
  out->Put(body, n);
  if (sp.left) out->Fill(' ', pad);
}

void PutNumber(FmtSink* out, const FmtConv& sp, const StrArg& arg) {
  bool is_signed = sp.conv == 'd' || sp.conv == 'i';
  bool negative = false;
  u64 mag;
  if (is_signed && arg.kind == StrArg::kInt) {
    i64 v = arg.num;
    if (sp.length == kLenChar) v = static_cast<int8_t>(v);
    if (sp.length == kLenShort) v = static_cast<i16>(v);
    negative = v < 0;
    mag = negative ? u64{0} - static_cast<u64>(v) : static_cast<u64>(v);
  } else {
    mag = static_cast<u64>(arg.num);
    if (!is_signed) {
      // A negative value shows in two's complement at the width its length
      // modifier names (an int's 32 bits when none is given and it fits).
      if (sp.length == kLenChar) mag &= 0xFFu;
      if (sp.length == kLenShort) mag &= 0xFFFFu;
      if (sp.length == kLenDefault && arg.kind == StrArg::kInt && arg.num < 0 && arg.num >= INT32_MIN) {
        mag &= 0xFFFFFFFFu;
      }
    }
  }
  u32 base = (sp.conv == 'x' || sp.conv == 'X') ? 16 : 10;
  const char* digits = sp.conv == 'X' ? kDigitsUpper : kDigitsLower;
  char buf[24];
  u32 nd = 0;
  while (mag) {
    buf[sizeof(buf) - 1 - nd++] = digits[mag % base];
    mag /= base;
  }
  u32 min_digits = sp.has_prec ? sp.prec : 1;
  u32 zeros = min_digits > nd ? min_digits - nd : 0;
  char sign = negative ? '-' : (sp.plus && is_signed ? '+' : '\0');
  u32 body = (sign ? 1 : 0) + zeros + nd;
  u32 pad = sp.width > body ? sp.width - body : 0;
  bool zero_pad = sp.zero && !sp.left && !sp.has_prec;
  if (!sp.left && !zero_pad) out->Fill(' ', pad);
  if (sign) out->Put(&sign, 1);
  if (zero_pad) out->Fill('0', pad);
  out->Fill('0', zeros);
  out->Put(buf + sizeof(buf) - nd, nd);
  if (sp.left) out->Fill(' ', pad);
}

void PutArg(FmtSink* out, const FmtConv& sp, const StrArg& arg) {
  if (arg.kind == StrArg::kText) {
    StrSlice t = StrOrEmpty(arg.text);
    u32 n = t.len;
    if (sp.conv == 'c') {
      n = n ? 1 : 0;
    } else if (sp.conv == 's' && sp.has_prec && sp.prec < n) {
      n = sp.prec;
    }
    PutPadded(out, sp, t.ptr, n);
    return;
  }
  if (sp.conv == 'c') {
    char c = static_cast<char>(arg.num);
    PutPadded(out, sp, &c, 1);
    return;
  }
  FmtConv num = sp;
  if (sp.conv == 's') {
    // A number given for %s shows in decimal, as wide as it needs.
    num.conv = arg.kind == StrArg::kUInt ? 'u' : 'd';
    num.has_prec = false;
    num.zero = false;
    num.plus = false;
  }
  PutNumber(out, num, arg);
}

void FormatInto(FmtSink* out, StrSlice f, const StrArg* args, u16 nargs) {
  u32 next = 0;
  u32 i = 0;
  while (i < f.len && !out->Over()) {
    u32 lit = i;
    while (i < f.len && f.ptr[i] != '%') ++i;
    out->Put(f.ptr + lit, i - lit);
    if (i >= f.len) break;
    FmtConv sp;
    u32 end = ParseConversion(f, i + 1, &sp);
    if (end && sp.conv == '%') {
      out->Put("%", 1);
      i = end;
    } else if (end && args && next < nargs) {
      PutArg(out, sp, args[next++]);
      i = end;
    } else {
      // Not a conversion, or no argument left for it: the '%' stays and the
      // bytes after it are copied as they are.
      out->Put("%", 1);
      ++i;
    }
  }
}

}  // namespace

StrSlice StrFormatTexts(StrSlice format, const StrSlice* texts, u16 count) {
  constexpr u16 kMaxTexts = 3;
  if (StrError(format)) return format;
  if (count > kMaxTexts) return StrErrorSlice(kErrSyntax);
  u32 room = format.len;
  StrArg args[kMaxTexts];
  for (u16 i = 0; i < count; ++i) {
    if (StrError(texts[i])) return texts[i];
    room += texts[i].len;
    args[i] = StrArgText(texts[i]);
  }
  if (room > kMaxText) return StrErrorSlice(kErrStringTooLong);
  return StrFormat(static_cast<u16>(room), format, args, count);
}

StrSlice StrFormat(u16 max, StrSlice format, const StrArg* args, u16 nargs) {
  if (StrError(format)) return format;
  // Measure first, so that only the formatted bytes take scratch room.
  FmtSink measure{nullptr, max, 0};
  FormatInto(&measure, format, args, nargs);
  if (measure.Over()) {
    ErrSet(kErrFirst, kWhereFormat, kErrStringTooLong, kErrStringTooLong);
    return StrErrorSlice(kErrStringTooLong);
  }
  StrSlice out = WorkAllocSlice(static_cast<u16>(measure.len), kNoFill);
  if (StrError(out)) return out;
  FmtSink write{const_cast<char*>(out.ptr), out.len, 0};
  FormatInto(&write, format, args, nargs);
  return out;
}

}  // namespace vk
