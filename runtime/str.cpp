#include "runtime/str.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/scratch.h"

namespace vk {

namespace {

constexpr char kBlankSet[] = " \t";
constexpr char kBrackets[] = "[](){}<>";
constexpr u32 kBracketCount = sizeof(kBrackets) - 1;
constexpr char kYesWords[] = "YES,SI,Y,S,ON";
constexpr char kYesSeparator = ',';
// A quote-aware search walks this many bytes before it turns to memchr.
constexpr u32 kShortWalk = 48;
// Positions inside a text are below 65535, so this never names a real one.
constexpr u32 kNone = kNotFound;

bool IsError(StrSlice s) { return s.ptr == nullptr; }
char* Writable(StrSlice s) { return const_cast<char*>(s.ptr); }
bool InSet(StrSlice set, char c) {
  return set.ptr && set.len && std::memchr(set.ptr, static_cast<u8>(c), set.len);
}
// memcpy that tolerates a zero count with any pointer.
void CopyBytes(char* dest, const char* src, u32 n) {
  if (n) std::memcpy(dest, src, n);
}

// Plain search of c in [from, to) of p.
u32 PlainFind(const char* p, u32 from, u32 to, char c) {
  if (from >= to) return kNone;
  const void* hit = std::memchr(p + from, static_cast<u8>(c), to - from);
  return hit ? static_cast<u32>(static_cast<const char*>(hit) - p) : kNone;
}

// The first byte at or after from that is in set, outside quotes: a quote
// character hides everything up to the next occurrence of the same quote,
// both included, and an unclosed quote hides the rest. A quote character is
// therefore never found itself. One walk over the text, however many
// quoted stretches it holds.
template <typename Wanted>
u32 QuoteAwareFind(const char* p, u32 from, u32 len, Wanted wanted) {
  for (u32 i = from; i < len; ++i) {
    const char c = p[i];
    if (StrIsQuote(c)) {
      const u32 close = PlainFind(p, i + 1, len, c);
      if (close == kNone) return kNone;
      i = close;
    } else if (wanted(c)) {
      return i;
    }
  }
  return kNone;
}

// StrFind of pattern in the text from position from on; the position is
// relative to the text start. Quote-awareness restarts at from.
u32 FindFrom(StrSlice text, u32 from, StrSlice pattern, u16 plain) {
  if (from >= text.len) return kNone;
  u16 hit = StrFind(StrSlice{text.ptr + from, static_cast<u16>(text.len - from)}, pattern, plain);
  return hit == kNotFound ? kNone : from + hit;
}

// Writes into a fixed buffer and never past it.
struct Writer {
  char* dest;
  u32 cap;
  u32 len;
  void Put(const char* p, u32 n) {
    if (n > cap - len) n = cap - len;
    CopyBytes(dest + len, p, n);
    len += n;
  }
};

// The source of every building operation that replaces in several rounds:
// each round's result is copied down to just above the mark, so only one
// entry is in use however many rounds run.
StrSlice KeepOne(WorkMarkId mark, StrSlice round) {
  if (IsError(round)) {
    WorkMark(mark);
    return round;
  }
  return WorkReturn(mark, round);
}

}  // namespace

// ---------------------------------------------------------------- making

StrSlice StrC(const char* z) {
  if (!z) return StrErrorSlice(kErrData);
  return StrMake(z, static_cast<u32>(std::strlen(z)));
}

StrSlice StrOr(StrSlice a, StrSlice b) { return (a.len || IsError(a)) ? a : b; }

StrSlice StrDup(StrSlice s) {
  if (IsError(s)) return s;
  u16 err = WorkPush(s.ptr, s.len);
  return err ? StrErrorSlice(err) : WorkTop();
}

StrSlice StrConcat(StrSlice a, StrSlice b) {
  if (IsError(a)) return a;
  if (IsError(b)) return b;
  u16 err = WorkPushConcat(a, b);
  return err ? StrErrorSlice(err) : WorkTop();
}

StrSlice StrChar(char c) {
  StrSlice out = WorkAllocSlice(1, kNoFill);
  if (!IsError(out)) Writable(out)[0] = c;
  return out;
}

const char* StrToC(StrSlice s) {
  if (IsError(s)) return kStrEmpty.ptr;
  StrSlice out = WorkAllocText(u32{s.len} + 1);
  if (IsError(out)) return kStrEmpty.ptr;
  char* d = Writable(out);
  CopyBytes(d, s.ptr, s.len);
  d[s.len] = '\0';
  return d;
}

StrSlice StrAppendRaw(StrSlice s, char* buf, u16 buf_len) {
  if (IsError(s)) return s;
  if (!buf) return StrErrorSlice(kErrData);
  u32 total = u32{buf_len} + s.len;
  if (total > kMaxText) return StrErrorSlice(kErrStringTooLong);
  if (s.len) std::memmove(buf + buf_len, s.ptr, s.len);
  return StrMake(buf, total);
}

u16 StrPutAt(StrSlice buf, i16 pos, StrSlice src) {
  if (u16 err = StrError(buf)) return err;
  if (u16 err = StrError(src)) return err;
  i32 at = pos;
  if (at < 0) {
    at += buf.len;
    if (at < 0) at = 0;
  }
  return MemWriteAt(Writable(buf), buf.len, static_cast<u16>(at), src.ptr, src.len);
}

char StrPartner(char c) {
  const void* hit = std::memchr(kBrackets, static_cast<u8>(c), kBracketCount);
  if (!hit) return c;
  u32 i = static_cast<u32>(static_cast<const char*>(hit) - kBrackets);
  // Even places hold the opening brackets; a closing one stays itself.
  return (i % 2 == 0) ? kBrackets[i + 1] : c;
}

// ---------------------------------------------------------------- searching

u16 StrFindCharFrom(StrSlice text, u16 start, char c, u16 plain) {
  if (IsError(text) || start >= text.len) return kNotFound;
  const char* p = text.ptr;
  u32 len = text.len;
  if (plain) return static_cast<u16>(PlainFind(p, start, len, c));
  if (StrIsQuote(c)) return kNotFound;  // a quote always opens a hidden stretch
  // The next c is found with memchr, then the first quote before it; a
  // quoted stretch before it is skipped whole. What each search learnt is
  // kept (the next quote of each kind, or how far there is none), so no
  // byte is searched twice for the same thing and the search stays linear
  // in the distance covered.
  constexpr char kQuotes[2] = {'\'', '"'};
  // Near the start (a list item, a short value) a plain walk is quicker.
  u32 s = start;
  const u32 walk_end = len - s > kShortWalk ? s + kShortWalk : len;
  while (s < walk_end) {
    const char b = p[s];
    if (b == c) return static_cast<u16>(s);
    if (StrIsQuote(b)) {
      const u32 close = PlainFind(p, s + 1, len, b);
      if (close == kNone) return kNotFound;
      s = close;
    }
    ++s;
  }
  if (s >= len) return kNotFound;
  u32 hit = PlainFind(p, s, len, c);
  u32 next_q[2] = {kNone, kNone};  // the next quote of each kind at or after s
  u32 none_to[2] = {s, s};          // ... or, while kNone, none before this
  for (;;) {
    if (hit == kNone) return kNotFound;
    u32 q = kNone;
    for (u32 k = 0; k < 2; ++k) {
      if (next_q[k] != kNone && next_q[k] < s) {
        next_q[k] = kNone;
        none_to[k] = s;
      }
      if (next_q[k] == kNone) {
        const u32 from = none_to[k] > s ? none_to[k] : s;
        if (from < hit) {
          next_q[k] = PlainFind(p, from, hit, kQuotes[k]);
          if (next_q[k] == kNone) none_to[k] = hit;
        }
      }
      if (next_q[k] < q) q = next_q[k];
    }
    if (q == kNone || hit < q) return static_cast<u16>(hit);
    const u32 close = PlainFind(p, q + 1, len, p[q]);
    if (close == kNone) return kNotFound;  // an unclosed quote hides the rest
    s = close + 1;
    if (hit < s) hit = PlainFind(p, s, len, c);
  }
}

u16 StrFindChar(StrSlice text, char c, u16 plain) { return StrFindCharFrom(text, 0, c, plain); }

u16 StrFindAnyFrom(StrSlice text, u16 start, StrSlice set, u16 plain) {
  if (IsError(set)) return kNotFound;
  if (!plain) {
    // The first of the set's bytes outside quotes, in one walk.
    if (IsError(text) || start >= text.len) return kNotFound;
    bool in_set[256] = {};
    for (u32 i = 0; i < set.len; ++i) in_set[static_cast<u8>(set.ptr[i])] = true;
    return static_cast<u16>(QuoteAwareFind(text.ptr, start, text.len, [&](char b) { return in_set[static_cast<u8>(b)]; }));
  }
  u16 best = kNotFound;
  for (u32 i = 0; i < set.len; ++i) {
    u16 hit = StrFindCharFrom(text, start, set.ptr[i], plain);
    if (hit < best) best = hit;
  }
  return best;
}

u16 StrFindAny(StrSlice text, StrSlice set, u16 plain) { return StrFindAnyFrom(text, 0, set, plain); }

u16 StrFind(StrSlice text, StrSlice pattern, u16 plain) {
  // An empty pattern is never found, so counting and replacing stay finite.
  if (IsError(text) || IsError(pattern) || pattern.len == 0 || pattern.len > text.len) {
    return kNotFound;
  }
  u32 last = u32{text.len} - pattern.len;  // last start where the pattern fits
  u32 c = 0;
  while (c <= last) {
    // The window is searched as a text of its own: quotes count from c.
    StrSlice window{text.ptr + c, static_cast<u16>(last - c + 1)};
    u16 f = StrFindCharFrom(window, 0, pattern.ptr[0], plain);
    if (f == kNotFound) return kNotFound;
    u32 p = c + f;
    if (std::memcmp(text.ptr + p, pattern.ptr, pattern.len) == 0) return static_cast<u16>(p);
    c = p + 1;
  }
  return kNotFound;
}

u16 StrFindLast(StrSlice text, StrSlice what, u16 plain, u16 kind) {
  if (IsError(text) || IsError(what)) return kNotFound;
  if (kind == kFindAnyOf) {
    // The last of any is the greatest of the last of each.
    u16 best = kNotFound;
    for (u32 i = 0; i < what.len; ++i) {
      u16 hit = StrFindLastChar(text, what.ptr[i], plain);
      if (hit != kNotFound && (best == kNotFound || hit > best)) best = hit;
    }
    return best;
  }
  if (what.len == 0) return kNotFound;
  u32 last = kNone;
  u32 from = 0;
  while (from < text.len) {
    u32 hit = kind == kFindChar ? StrFindCharFrom(text, static_cast<u16>(from), what.ptr[0], plain)
                                : FindFrom(text, from, what, plain);
    if (hit == kNone) break;
    last = hit;
    from = hit + 1;
  }
  return static_cast<u16>(last);
}

u16 StrFindLastAny(StrSlice text, StrSlice set, u16 plain) {
  return StrFindLast(text, set, plain, kFindAnyOf);
}

u16 StrFindLastChar(StrSlice text, char c, u16 plain) {
  return StrFindLast(text, StrSlice{&c, 1}, plain, kFindChar);
}

u16 StrCount(StrSlice text, StrSlice pattern, u16 plain) {
  if (IsError(text) || IsError(pattern) || pattern.len == 0) return 0;
  u32 n = 0;
  u32 from = 0;
  for (;;) {
    u32 hit = FindFrom(text, from, pattern, plain);
    if (hit == kNone) break;
    ++n;
    from = hit + pattern.len;
  }
  return static_cast<u16>(n);
}

bool StrIsEnclosed(StrSlice text, char c) {
  return !IsError(text) && text.len >= 2 && text.ptr[0] == c && text.ptr[text.len - 1] == StrPartner(c);
}

StrSlice StrBetween(StrSlice text, char open, u16 plain) {
  u16 d = StrFindChar(text, open, plain);
  if (d == kNotFound) return kStrEmpty;
  char close = StrPartner(open);
  u32 first = u32{d} + 1;
  u16 h = StrFindCharFrom(text, static_cast<u16>(first), close, plain);
  if (h == kNotFound) return kStrEmpty;
  StrSlice inner{text.ptr + first, static_cast<u16>(h - first)};
  if (open == close) return inner;
  StrSlice open_s{&open, 1};
  StrSlice close_s{&close, 1};
  // Extend to the next closing character until the stretch is balanced.
  while (StrCount(inner, open_s, plain) != StrCount(inner, close_s, plain)) {
    h = StrFindCharFrom(text, static_cast<u16>(h + 1), close, plain);
    if (h == kNotFound) return kStrEmpty;
    inner.len = static_cast<u16>(h - first);
  }
  return inner;
}

void StrFindPair(StrSlice text, u16 plain, char open, char close, u16* offset, u16* len) {
  u16 off = kNotFound;
  u16 n = 0;
  u32 s = 0;
  while (!IsError(text) && s < text.len) {
    u16 d = StrFindCharFrom(text, static_cast<u16>(s), close, plain);
    if (d == kNotFound) break;
    // The last opening character before this close starts the innermost
    // stretch; without one this close is unmatched and skipped.
    u16 c = StrFindLastChar(StrSlice{text.ptr + s, static_cast<u16>(d - s)}, open, plain);
    if (c != kNotFound) {
      off = static_cast<u16>(s + c + 1);
      n = static_cast<u16>(d - off);
      break;
    }
    s = u32{d} + 1;
  }
  if (offset) *offset = off;
  if (len) *len = n;
}

// ---------------------------------------------------------------- comparing

int StrCompareN(const char* a, const char* b, u16 n) {
  if (!a || !b) return kErrStrOutBound;
  int r = n ? std::memcmp(a, b, n) : 0;
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int StrCompare(StrSlice a, StrSlice b) {
  u16 n = a.len < b.len ? a.len : b.len;
  if (int r = StrCompareN(a.ptr, b.ptr, n)) return r;
  if (a.len > b.len) return 1;
  if (a.len < b.len) return -1;
  return 0;
}

// ---------------------------------------------------------------- cutting

StrSlice StrMid(StrSlice text, i16 start, u16 count) {
  if (IsError(text)) return text;
  i32 len = text.len;
  i32 s = start;
  i32 n = count;
  if (s < 0) {
    s += len;
    if (s < 0) s = 0;
    n = len - s;
  }
  if (s + n > len) n = s > len ? 0 : len - s;
  if (s > len) s = len;  // an empty result still points into the text
  return StrSlice{text.ptr + s, static_cast<u16>(n)};
}

StrSlice StrTrimSet(StrSlice text, u16 flags, StrSlice set) {
  if (IsError(text)) return text;
  if (flags & kTrimLeft) {
    while (text.len && InSet(set, text.ptr[0])) {
      ++text.ptr;
      --text.len;
    }
  }
  if (flags & kTrimRight) {
    while (text.len && InSet(set, text.ptr[text.len - 1])) --text.len;
  }
  return text;
}

StrSlice StrTrim(StrSlice text, u16 flags) {
  return StrTrimSet(text, flags, StrSlice{kBlankSet, sizeof(kBlankSet) - 1});
}

StrSlice StrUnquote(StrSlice text) {
  if (IsError(text) || text.len < 2) return text;
  char q = text.ptr[0];
  if (!StrIsQuote(q) || text.ptr[text.len - 1] != q) return text;
  return StrSlice{text.ptr + 1, static_cast<u16>(text.len - 2)};
}

// ---------------------------------------------------------------- building

StrSlice StrCase(StrSlice text, u16 mode) {
  if (IsError(text)) return text;
  StrSlice out = StrDup(text);
  if (IsError(out)) return out;
  char* d = Writable(out);
  for (u32 i = out.len; i-- > 0;) d[i] = mode == kUpper ? StrCharUpper(d[i]) : StrCharLower(d[i]);
  return out;
}

StrSlice StrNormalize(StrSlice text) {
  StrSlice u = StrUnquote(StrTrim(text, kTrimBoth));
  // Only a text that had nothing to trim or unquote is upper-cased.
  if (u.len == text.len) return StrCase(u, kUpper);
  return StrDup(u);
}

StrSlice StrRepeat(StrSlice text, u16 count) {
  if (IsError(text)) return text;
  StrSlice out = WorkAllocText(u32{text.len} * count);
  if (IsError(out) || text.len == 0) return out;
  char* d = Writable(out);
  for (u32 i = 0; i < count; ++i) CopyBytes(d + i * text.len, text.ptr, text.len);
  return out;
}

StrSlice StrEnclose(StrSlice text, char c) {
  if (IsError(text)) return text;
  StrSlice out = WorkAllocText(u32{text.len} + 2);
  if (IsError(out)) return out;
  char* d = Writable(out);
  d[0] = c;
  CopyBytes(d + 1, text.ptr, text.len);
  d[text.len + 1] = StrPartner(c);
  return out;
}

StrSlice StrQuote(StrSlice text, char q) {
  if (IsError(text)) return text;
  constexpr u16 kMaxChanges = 2;
  u16 changes = 0;
  while (StrFindChar(text, q, kPlain) != kNotFound) {
    if (changes == kMaxChanges) return StrErrorSlice(kErrData);
    q = (q == '"') ? '\'' : '"';
    ++changes;
  }
  return StrEnclose(text, q);
}

StrSlice StrOverwrite(StrSlice text, u16 pos, StrSlice src) {
  if (IsError(text)) return text;
  if (IsError(src)) return src;
  StrSlice out = StrDup(text);
  if (IsError(out)) return out;
  // pos lies inside the copy: there is nothing for the write to refuse.
  if (pos < out.len) (void)MemWriteAt(Writable(out), out.len, pos, src.ptr, src.len);
  return out;
}

u16 StrReplacePush(StrSlice text, StrSlice pattern, StrSlice repl, u16 plain) {
  if (u16 err = StrError(text)) return err;
  if (u16 err = StrError(pattern)) return err;
  if (u16 err = StrError(repl)) return err;
  // A quote searched quote-aware is never found.
  if (pattern.len == 1 && StrIsQuote(pattern.ptr[0])) plain = kPlain;
  u32 n = StrCount(text, pattern, plain);
  // n * pattern.len <= text.len, so this fits 32 bits.
  u32 total = (u32{text.len} - n * pattern.len) + n * repl.len;
  StrSlice out = WorkAllocText(total);
  if (IsError(out)) return ErrSet(kErrFirst, kWhereReplace, kErrMemTest, out.len);
  // The same searches as StrCount, so exactly n matches are met; the writer
  // bounds every copy by the entry anyway.
  Writer w{Writable(out), total, 0};
  u32 from = 0;
  for (u32 k = 0; k < n; ++k) {
    u32 hit = FindFrom(text, from, pattern, plain);
    if (hit == kNone) break;
    w.Put(text.ptr + from, hit - from);
    w.Put(repl.ptr, repl.len);
    from = hit + pattern.len;
  }
  w.Put(text.ptr + from, text.len - from);
  return 0;
}

StrSlice StrReplace(StrSlice text, StrSlice pattern, StrSlice repl, u16 plain) {
  if (IsError(text)) return text;
  u16 err = StrReplacePush(text, pattern, repl, plain);
  return err ? StrErrorSlice(err) : WorkTop();
}

StrSlice StrReplaceList(StrSlice text, StrSlice from, StrSlice to, char sep) {
  if (IsError(text)) return text;
  constexpr u16 kMaxPairs = 512;
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice cur = text;
  const u16 count = ListCount(from, sep);
  if (!IsError(from) && !IsError(to) && count <= kMaxPairs) {
    // Both lists are walked once. A pattern can only match where its first
    // byte occurs, and nothing is replaced before a first match, so a text
    // holding no pattern's first byte (most menu and page texts) comes back
    // as it is, without one pass per pattern.
    StrSlice pattern[kMaxPairs];
    StrSlice replacement[kMaxPairs];
    bool starts[256] = {};
    bool may_match = false;
    StrSlice f = from;
    StrSlice t = to;
    for (u16 k = 0; k < count; ++k) {
      pattern[k] = StrSlice{f.ptr, ListItemLen(f, sep)};
      replacement[k] = StrSlice{t.ptr, ListItemLen(t, sep)};
      f = ListNext(f, sep);
      t = ListNext(t, sep);
      if (pattern[k].len == 0) {
        may_match = true;
      } else {
        starts[static_cast<u8>(pattern[k].ptr[0])] = true;
      }
    }
    for (u32 i = 0; i < text.len && !may_match; ++i) may_match = starts[static_cast<u8>(text.ptr[i])];
    for (u16 k = count; may_match && k >= 1; --k) {
      // A pattern absent from the text as it now stands changes nothing.
      if (pattern[k - 1].len && StrFind(cur, pattern[k - 1], kPlain) == kNotFound) continue;
      cur = KeepOne(mark, StrReplace(cur, pattern[k - 1], replacement[k - 1], kPlain));
      if (IsError(cur)) return cur;
    }
    return WorkReturn(mark, cur);
  }
  for (u16 k = count; k >= 1; --k) {
    cur = KeepOne(mark, StrReplace(cur, ListItem(from, sep, k), ListItem(to, sep, k), kPlain));
    if (IsError(cur)) return cur;
  }
  return WorkReturn(mark, cur);
}

StrSlice StrSqueeze(StrSlice text, char c, u16 plain) {
  if (IsError(text)) return text;
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice out = WorkAllocSlice(text.len, kNoFill);
  if (IsError(out)) return out;
  Writer w{Writable(out), text.len, 0};
  u32 len = text.len;
  u32 pos = 0;
  while (pos < len) {
    u16 hit = StrFindCharFrom(text, static_cast<u16>(pos), c, plain);
    if (hit == kNotFound) break;
    w.Put(text.ptr + pos, u32{hit} + 1 - pos);  // up to and with one c
    pos = u32{hit} + 1;
    while (pos < len && text.ptr[pos] == c) ++pos;
  }
  w.Put(text.ptr + pos, len - pos);
  return WorkReturn(mark, out.ptr, static_cast<u16>(w.len));
}

StrSlice StrKeepChars(StrSlice text, StrSlice set) {
  if (IsError(text)) return text;
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice out = WorkAllocSlice(text.len, kNoFill);
  if (IsError(out)) return out;
  char* d = Writable(out);
  u32 n = 0;
  for (u32 i = 0; i < text.len; ++i) {
    if (InSet(set, text.ptr[i])) d[n++] = text.ptr[i];
  }
  return WorkReturn(mark, out.ptr, static_cast<u16>(n));
}

StrSlice StrTranslate(StrSlice text, const char* from, const char* to) {
  if (IsError(text)) return text;
  if (!from || !to) return StrErrorSlice(kErrData);
  size_t nfrom = std::strlen(from);
  size_t nto = std::strlen(to);
  StrSlice out = StrDup(text);
  if (IsError(out)) return out;
  char* d = Writable(out);
  for (u32 i = 0; i < out.len; ++i) {
    const void* hit = std::memchr(from, static_cast<u8>(d[i]), nfrom);
    if (!hit) continue;
    size_t k = static_cast<size_t>(static_cast<const char*>(hit) - from);
    if (k < nto) d[i] = to[k];  // a shorter target list leaves the byte
  }
  return out;
}

StrSlice StrMapChunks(StrSlice text, StrSlice table, StrSlice chars) {
  if (IsError(text)) return text;
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice cur = text;
  u32 width = (IsError(table) || IsError(chars) || chars.len == 0) ? 0 : table.len / chars.len;
  // Both limits hold: a table longer than width * chars must not make the
  // loop read past the character list.
  for (u32 k = 0; width && k < chars.len && k * width < table.len; ++k) {
    StrSlice chunk{table.ptr + k * width, static_cast<u16>(width)};
    cur = KeepOne(mark, StrReplace(cur, chunk, StrSlice{chars.ptr + k, 1}, kPlain));
    if (IsError(cur)) return cur;
  }
  return WorkReturn(mark, cur);
}

// ---------------------------------------------------------------- values

bool StrIsYes(StrSlice text) {
  if (IsError(text)) return false;
  WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice upper = StrCase(text, kUpper);
  bool yes = !IsError(upper) && ListFind(StrC(kYesWords), upper, kYesSeparator) != 0;
  WorkMark(mark);
  return yes;
}

u16 StrValue(StrSlice text) {
  if (IsError(text)) return 0;
  if (StrIsYes(text)) return 1;
  // The standard integer reading: white space, a sign, digits up to the
  // first other byte. Arithmetic wraps, the result keeps the low 16 bits.
  u32 i = 0;
  while (i < text.len && (text.ptr[i] == ' ' || (text.ptr[i] >= '\t' && text.ptr[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.len && (text.ptr[i] == '-' || text.ptr[i] == '+')) negative = text.ptr[i++] == '-';
  u32 v = 0;
  while (i < text.len && text.ptr[i] >= '0' && text.ptr[i] <= '9') {
    v = v * 10 + static_cast<u32>(text.ptr[i++] - '0');
  }
  if (negative) v = 0 - v;
  return static_cast<u16>(v);
}

// ---------------------------------------------------------------- memory

u16 ArrBoundCheck(u16 byte_len, u16 index, u16 elem_size) {
  if (elem_size == 0 || byte_len % elem_size != 0 || index >= byte_len / elem_size) return kNotFound;
  return 0;
}

u16 ArrGetU16(const void* p, u16 byte_len, u16 index) {
  if (!p || ArrBoundCheck(byte_len, index, sizeof(u16))) return 0;
  u16 v;
  std::memcpy(&v, static_cast<const u8*>(p) + u32{index} * sizeof(u16), sizeof v);
  return v;
}

StrSlice ArrGetSlice(const void* p, u16 byte_len, u16 index) {
  if (!p || ArrBoundCheck(byte_len, index, sizeof(StrSlice))) return StrSlice{nullptr, 0};
  StrSlice s;
  std::memcpy(&s, static_cast<const u8*>(p) + u32{index} * sizeof(StrSlice), sizeof s);
  return s;
}

u16 MemFindRecord(const void* table, u16 count, const void* record, u16 size) {
  if (!table || !record || size == 0) return kNotFound;
  const u8* t = static_cast<const u8*>(table);
  for (u32 i = 0; i < count; ++i) {
    if (std::memcmp(t + i * size, record, size) == 0) return static_cast<u16>(i);
  }
  return kNotFound;
}

u16 MemFindZero(const void* table, u16 count) {
  if (!table) return kNotFound;
  const u8* t = static_cast<const u8*>(table);
  for (u32 i = 0; i < count; ++i) {
    void* slot;
    std::memcpy(&slot, t + i * sizeof(void*), sizeof slot);
    if (!slot) return static_cast<u16>(i);
  }
  return kNotFound;
}

}  // namespace vk
