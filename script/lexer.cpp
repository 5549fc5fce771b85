#include "script/lexer.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/exprtables.h"
#include "script/numtext.h"
#include "script/variables.h"

namespace vk {

namespace {

// Membership of a byte in a constant character set, built once.
struct ByteSet {
  bool has[256];
};

constexpr ByteSet MakeSet(const char* chars) {
  ByteSet s{};
  for (const char* p = chars; *p; ++p) s.has[static_cast<u8>(*p)] = true;
  return s;
}

constexpr ByteSet kDelimSet = MakeSet(kExprDelimiters);
constexpr ByteSet kPairSet = MakeSet(kExprPairSeconds);

constexpr char kBlank = ' ';

bool IsDelim(char c) { return kDelimSet.has[static_cast<u8>(c)]; }

// The position after the quote that closes the one at i, or end when it is
// never closed (an open quote hides the rest of the text).
u16 SkipQuoted(const char* t, u16 i, u16 end) {
  const char q = t[i];
  for (u16 j = static_cast<u16>(i + 1); j < end; ++j) {
    if (t[j] == q) return static_cast<u16>(j + 1);
  }
  return end;
}

// The first delimiter outside quotes in [from, end), or end.
u16 FindDelimiter(const char* t, u16 from, u16 end) {
  u16 i = from;
  while (i < end) {
    if (StrIsQuote(t[i])) {
      i = SkipQuoted(t, i, end);
    } else if (IsDelim(t[i])) {
      return i;
    } else {
      ++i;
    }
  }
  return end;
}

// Characters between the parenthesis at open and the one that balances it
// (quotes skipped); with none, the characters after open up to end.
u16 MatchFrom(const char* t, u16 open, u16 end) {
  u16 depth = 0;
  u16 i = static_cast<u16>(open + 1);
  while (i < end) {
    const char c = t[i];
    if (StrIsQuote(c)) {
      i = SkipQuoted(t, i, end);
      continue;
    }
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth == 0) return static_cast<u16>(i - open - 1);
      --depth;
    }
    ++i;
  }
  return static_cast<u16>(end - open - 1);
}

u16 Clamp16(u32 v, u16 limit) { return v > limit ? limit : static_cast<u16>(v); }

// The operand's class from its characters: the last starter of the table
// that occurs anywhere in it decides.
struct Starter {
  char c;
  u16 cls;
};
constexpr Starter kStarters[] = {
    {'\'', kClassQuoted}, {'"', kClassQuoted}, {'$', kClassStrVar},
    {'#', kClassNumVar},  {'{', kClassField},  {'(', kCallUser},
};

// A field reference's class. The data-file layer that would parse the
// reference is absent: every reference is empty, without a kind letter,
// which makes it a text.
u16 FieldClass(StrSlice) { return kClassFieldText; }

// Skips the rest of one item: steps while an operator follows the token.
ExprCursor SkipItem(ExprCursor c) {
  while (c.status == 0 && c.op != kOpNone && c.pos < c.length) c = ExprNextToken(c);
  return c;
}

// Where the item that began at offset ends, without its ';' or ','.
u16 ItemEnd(const ExprCursor& c, u16 offset) {
  u16 end = c.pos;
  if (end > offset && end <= c.length && (c.text[end - 1] == ';' || c.text[end - 1] == ',')) --end;
  return end;
}

u16 PushNumber(i64 v) {
  char bytes[sizeof v];
  std::memcpy(bytes, &v, sizeof v);
  return WorkPush(bytes, sizeof v);
}

}  // namespace

// ---------------------------------------------------------------- cursor

ExprCursor ExprCursorInit(StrSlice text) {
  ExprCursor c{};
  c.text = "";
  if (u16 err = StrError(text)) {
    c.status = err;
    return c;
  }
  c.text = text.ptr;
  c.length = text.len;
  c.status = ExprCheckSyntax(text);
  if (c.status) return c;
  StrSlice prepared = ExprPrepare(text);
  if (u16 err = StrError(prepared)) {
    c.status = err;
    return c;
  }
  c.text = prepared.ptr;
  c.length = prepared.len;
  return c;
}

ExprCursor ExprCursorSet(ExprCursor cursor) {
  ExprCursor a = cursor;
  a.pos = Clamp16(u32{cursor.start} + cursor.operand_len + 1, cursor.length);
  a.length = Clamp16(u32{a.pos} + cursor.inner, cursor.length);
  a.op = kOpNone;
  a.start = 0;
  a.operand_len = 0;
  a.inner = 0;
  a.prec = 0;
  return a;
}

ExprCursor ExprNextToken(ExprCursor c) {
  const char* t = c.text ? c.text : "";
  const u16 end = c.text ? c.length : 0;
  const u16 p = c.pos > end ? end : c.pos;
  c.cls = 0;
  c.func = 0;
  c.inner = 0;

  u16 d = FindDelimiter(t, p, end);
  c.start = p;
  c.operand_len = static_cast<u16>(d - p);
  u16 call = 0;
  if (d < end && t[d] == '(') {
    c.func = FuncListFind(StrSlice{t + p, c.operand_len});
    call = c.func ? kCallBuiltin : kCallUser;
    c.inner = MatchFrom(t, d, end);
    // The argument list travels with the operand: read on after its ')'.
    d = FindDelimiter(t, Clamp16(u32{d} + c.inner + 2, end), end);
  }

  if (d >= end) {
    c.pos = end;
    c.op = kOpNone;
    c.prec = 0;
  } else if (t[d] == ';' || t[d] == ',') {
    c.pos = static_cast<u16>(d + 1);
    c.op = kOpNone;
    c.prec = 0;
  } else {
    u16 n = 1;
    if (d + 1 < end && kPairSet.has[static_cast<u8>(t[d + 1])]) n = 2;
    c.pos = static_cast<u16>(d + n);
    c.op = ExprOperatorFind(StrSlice{t + d, n});
    // A pair that is no operator ends the item as ';' would.
    if (c.op != kOpNone) c.prec = kExprOperators[c.op].precedence;
  }
  c.cls = static_cast<u16>(ExprTokenClass(c) | call);
  c.status = 0;
  return c;
}

ExprCursor ExprFirstToken(StrSlice text) {
  ExprCursor c = ExprCursorInit(text);
  return c.status ? c : ExprNextToken(c);
}

u16 ExprTokenClass(ExprCursor c) {
  if (!c.text) return kClassNumber;
  const u16 start = c.start > c.length ? c.length : c.start;
  const u16 n = Clamp16(c.operand_len, static_cast<u16>(c.length - start));
  const char* op = c.text + start;
  if (n == 0) return (start < c.length && op[0] == '(') ? kClassSubExpr : kClassNumber;
  for (const Starter& s : kStarters) {
    if (std::memchr(op, s.c, n)) return s.c == '{' ? FieldClass(StrSlice{op, n}) : s.cls;
  }
  // Bytes of 0x80 and above count as below 'A'.
  const u8 first = static_cast<u8>(op[0]);
  return (first < 'A' || first >= 0x80) ? kClassNumber : kClassIntVar;
}

u16 ExprMatchParen(ExprCursor c) {
  if (!c.text) return 0;
  u16 i = c.pos;
  while (i < c.length) {
    if (StrIsQuote(c.text[i])) {
      i = SkipQuoted(c.text, i, c.length);
    } else if (c.text[i] == '(' || c.text[i] == ')') {
      return MatchFrom(c.text, i, c.length);
    } else {
      ++i;
    }
  }
  return 0;
}

u16 ExprArgSpans(ExprCursor args, ExprSpan* out, u16 max, u16* count) {
  u16 n = 0;
  ExprCursor c = args;
  while (c.pos < c.length && c.status == 0 && n < max) {
    c = ExprNextToken(c);
    const u16 offset = c.start;
    c = SkipItem(c);
    out[n].offset = offset;
    out[n].len = static_cast<u16>(ItemEnd(c, offset) - offset);
    ++n;
  }
  if (count) *count = n;
  return c.status;
}

StrSlice ExprArgText(StrSlice text, u16 n) {
  if (!text.ptr) return text;
  ExprCursor c{};
  c.text = text.ptr;
  c.length = text.len;
  for (u16 k = 1; n != 0 && c.pos < c.length; ++k) {
    c = ExprNextToken(c);
    const u16 offset = c.start;
    c = SkipItem(c);
    if (k == n) return StrSlice{text.ptr + offset, static_cast<u16>(ItemEnd(c, offset) - offset)};
  }
  return StrSlice{text.ptr + text.len, 0};
}

u16 ExprResultType(StrSlice text) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ExprCursor c = ExprFirstToken(text);
  while (c.status == 0 && c.op == kOpNone && c.pos < c.length) c = ExprNextToken(c);
  u16 result = 0;
  if (c.status == 0 && (c.cls & kClassTextBit) &&
      (c.op == kOpNone || c.op == kOpAdd || c.op == kOpAssign)) {
    result = 1;
  }
  WorkMark(mark);
  return result;
}

// ---------------------------------------------------------------- pre-check and preparation

u16 ExprCheckSyntax(StrSlice text) {
  if (!text.ptr) return 0;
  const char* t = text.ptr;
  const u16 n = text.len;

  u32 opened = 0;
  u32 closed = 0;
  for (u16 i = 0; i < n;) {
    if (StrIsQuote(t[i])) {
      i = SkipQuoted(t, i, n);
      continue;
    }
    if (t[i] == '(') ++opened;
    if (t[i] == ')') ++closed;
    ++i;
  }
  if (opened != closed) return ErrMsgAppend(kErrLoop, text, false);

  // A blank may only stand next to a delimiter: two operands side by side
  // ("a b") would otherwise silently become one.
  for (u16 i = 0; i < n;) {
    if (StrIsQuote(t[i])) {
      i = SkipQuoted(t, i, n);
      continue;
    }
    if (t[i] != kBlank) {
      ++i;
      continue;
    }
    u16 j = i;
    while (j < n && t[j] == kBlank) ++j;
    const bool before = i > 0 && IsDelim(t[i - 1]);
    const bool after = j < n && IsDelim(t[j]);
    if (!before && !after) return ErrMsgAppend(kErrSyntax, StrSlice{t + j, static_cast<u16>(n - j)}, false);
    i = j;
  }
  return 0;
}

StrSlice ExprPrepare(StrSlice text) {
  if (StrError(text)) return text;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const char* t = text.ptr;
  const u16 n = text.len;

  // Blanks outside quotes go; quoted parts are copied as they are.
  u16 kept = 0;
  for (u16 i = 0; i < n;) {
    if (StrIsQuote(t[i])) {
      const u16 j = SkipQuoted(t, i, n);
      kept = static_cast<u16>(kept + (j - i));
      i = j;
    } else {
      if (t[i] != kBlank) ++kept;
      ++i;
    }
  }
  char* out = WorkAllocRaw(kept, kNoFill);
  if (!out) return StrErrorSlice(kErrOutOfMemory);
  u16 at = 0;
  for (u16 i = 0; i < n;) {
    if (StrIsQuote(t[i])) {
      const u16 j = SkipQuoted(t, i, n);
      std::memcpy(out + at, t + i, j - i);
      at = static_cast<u16>(at + (j - i));
      i = j;
    } else {
      if (t[i] != kBlank) out[at++] = t[i];
      ++i;
    }
  }
  StrSlice cur{out, kept};

  for (u16 k : kMacroOrder) {
    const StrSlice name = StrC(kExprMacros[k - 1].name);
    u16 from = 0;
    while (from < cur.len) {
      const u16 hit = StrFind(StrSlice{cur.ptr + from, static_cast<u16>(cur.len - from)}, name, kQuoteAware);
      if (hit == kNotFound) break;
      const u16 pos = static_cast<u16>(from + hit);
      StrSlice next = ExprExpandAccept(cur, name, k, pos);
      if (u16 err = StrError(next)) {
        WorkMark(mark);
        return StrErrorSlice(err);
      }
      if (next.ptr == cur.ptr && next.len == cur.len) {
        from = static_cast<u16>(pos + name.len);  // left as it is
      } else {
        // Keep one entry; the expansion may hold further occurrences (its
        // argument), so the search goes on from where it was put.
        cur = WorkReturn(mark, next);
        if (u16 err = StrError(cur)) return StrErrorSlice(err);
        from = pos;
      }
    }
  }
  return WorkReturn(mark, cur);
}

StrSlice ExprExpandAccept(StrSlice text, StrSlice name, u16 k, u16 pos) {
  if (StrError(text) || k < 1 || k > kMacroCount || name.len == 0) return text;
  if (u32{pos} + name.len > text.len) return text;
  const u16 paren = static_cast<u16>(pos + name.len - 1);

  ExprCursor c{};
  c.text = text.ptr + paren;
  c.length = static_cast<u16>(text.len - paren);
  c = ExprNextToken(c);
  if (c.status || c.inner == 0) return text;

  constexpr u16 kMaxItems = 6;
  ExprSpan spans[kMaxItems];
  u16 count = 0;
  if (ExprArgSpans(ExprCursorSet(c), spans, kMaxItems, &count)) return text;
  StrArg args[kMaxItems];
  for (u16 i = 0; i < kMaxItems; ++i) {
    args[i] = StrArgText(i < count ? StrSlice{c.text + spans[i].offset, spans[i].len} : kStrEmpty);
  }

  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 room = Clamp16(u32{text.len} + 384, kMaxText);
  StrSlice filled = StrFormat(room, StrC(kExprMacros[k - 1].format), args, kMaxItems);
  if (StrError(filled)) {
    WorkMark(mark);
    return filled;
  }
  const u16 after = Clamp16(u32{paren} + c.inner + 2, text.len);
  const u32 total = u32{pos} + filled.len + (text.len - after);
  if (total > kMaxText) {
    WorkMark(mark);
    return StrErrorSlice(kErrStringTooLong);
  }
  char* out = WorkAllocRaw(static_cast<u16>(total), kNoFill);
  if (!out) {
    WorkMark(mark);
    return StrErrorSlice(kErrOutOfMemory);
  }
  std::memcpy(out, text.ptr, pos);
  std::memcpy(out + pos, filled.ptr, filled.len);
  std::memcpy(out + pos + filled.len, text.ptr + after, text.len - after);
  return WorkReturn(mark, out, static_cast<u16>(total));
}

// ---------------------------------------------------------------- built-in names

u16 FuncListFind(StrSlice name) {
  // An empty operand before '(' opens a sub-expression; no name is empty.
  if (!name.ptr || name.len == 0) return 0;
  StrSlice list = StoreGet(kGroupIdentity, kIdFuncNames);
  if (list.len == 0) {
    list = FuncListInit(StrC(kFuncNamesDefault));
    if (StrError(list)) {
      // Without a store the constant list still answers.
      const WorkMarkId mark = WorkMark(kMarkQuery);
      StrSlice copy = StrReplace(StrC(kFuncNamesDefault), StrSlice{",", 1}, StrSlice{"\0", 1}, kPlain);
      const u16 n = FuncListLookup(copy, name);
      WorkMark(mark);
      return n;
    }
  }
  return FuncListLookup(list, name);
}

StrSlice FuncListInit(StrSlice list) {
  if (StrError(list)) return list;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice copy = StrDup(list);
  if (StrError(copy)) return copy;
  char* p = const_cast<char*>(copy.ptr);
  for (u16 i = 0; i < copy.len; ++i) {
    if (p[i] == ',') p[i] = '\0';
  }
  const u16 err = StoreSet(kGroupIdentity, kIdFuncNames, copy);
  WorkMark(mark);
  if (err) return StrErrorSlice(err);
  return StoreGet(kGroupIdentity, kIdFuncNames);
}

u16 FuncListLookup(StrSlice list, StrSlice name) {
  if (!list.ptr || !name.ptr) return 0;
  // Pass 0 compares the name as written, pass 1 upper-cased.
  for (int pass = 0; pass < 2; ++pass) {
    u16 number = 1;
    u16 i = 0;
    while (i <= list.len) {
      u16 j = i;
      while (j < list.len && list.ptr[j] != '\0') ++j;
      if (j - i == name.len) {
        bool same = true;
        for (u16 x = 0; x < name.len && same; ++x) {
          const u8 a = static_cast<u8>(list.ptr[i + x]);
          const u8 b = static_cast<u8>(pass ? StrCharUpper(name.ptr[x]) : name.ptr[x]);
          same = a == b;
        }
        if (same) return number;
      }
      if (j >= list.len) break;
      i = static_cast<u16>(j + 1);
      ++number;
    }
  }
  return 0;
}

// ---------------------------------------------------------------- values

i64 NumScaleFactor() {
  i64 s = 1;
  for (u16 d = NumPrecis(); d > 0; --d) s *= 10;
  return s;
}

bool ValScale(i64 value, i64* out) {
  const i128 v = static_cast<i128>(value) * NumScaleFactor();
  if (v > INT64_MAX || v < INT64_MIN) return false;
  *out = static_cast<i64>(v);
  return true;
}

i64 ValNumber(StrSlice value) {
  i64 v = 0;
  if (value.ptr && value.len == sizeof v) std::memcpy(&v, value.ptr, sizeof v);
  return v;
}

u16 ValPushRaw(i64 raw) { return PushNumber(raw); }

u16 ValPushInt(i16 value) { return ValPushLong(value); }

u16 ValPushLong(i64 value) {
  i64 scaled = 0;
  if (!ValScale(value, &scaled)) return kErrStringTooLong;
  return PushNumber(scaled);
}

u16 ValPushDecimal(StrSlice text) {
  i64 v = 0;
  if (u16 err = TextToFixCheck(text, &v)) return err;
  return PushNumber(v);
}

u16 ValPushIntText(StrSlice text) { return ValPushLong(static_cast<i16>(StrValue(text))); }

u16 ValPushTyped(u16 kind, StrSlice text) {
  switch (kind) {
    case kVarInt:
      return ValPushIntText(text);
    case kVarText:
      return WorkPush(text.ptr, text.len);
    case kVarNum:
      return ValPushDecimal(text);
    default:
      return kErrSyntax;
  }
}

}  // namespace vk
