#include "runtime/list.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "runtime/error.h"
#include "runtime/number.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {
namespace {

// Bytes after which a key of a parameter text may start, and which end a
// value (the NUL is tested apart, as a slice cannot carry it in a C text).
constexpr StrSlice kValueEnds{": &/", 4};
// A key:value pair is looked for before a key=value pair.
constexpr char kPairSeps[] = {':', '='};

// A found value as the flags ask for it.
StrSlice ParamValue(StrSlice value, u16 flags) {
  switch (flags & kParamNormalize) {
    case kParamNormalize:
      return StrNormalize(value);
    case kParamUnquote:
      return StrUnquote(value);
    default:
      return value;
  }
}

u16 SepMode(char sep) { return sep == '\0' ? kPlain : kQuoteAware; }

bool IsKeyBoundary(char c, bool nul_mode) {
  if (c == '\0') return true;
  return !nul_mode && (c == ':' || c == ' ' || c == '&' || c == '/');
}

// The value of a key found at hit: from after the key and its pair
// separator to the value's end.
void KeyValueSpan(StrSlice text, u32 hit, u16 key_len, bool nul_mode, u16* offset, u16* len) {
  const u32 v = hit + key_len + 1;
  u16 end = kNotFound;
  if (v < text.len) {
    end = nul_mode ? StrFindCharFrom(text, static_cast<u16>(v), '\0', kPlain)
                   : StrFindAnyFrom(text, static_cast<u16>(v), kValueEnds, kQuoteAware);
  }
  const u32 stop = end == kNotFound ? text.len : end;
  *offset = static_cast<u16>(v);
  *len = static_cast<u16>(stop - v);
}

// The key index: one entry for every place the scan of StrKeyFind could
// find a key, that is every position outside quotes at a key boundary, with
// the word from there up to the next ':' or '=' (any bytes but those two).
// A key without ':' and '=' matches "key:" at such a place exactly when it
// equals the word and the word ends at ':' (likewise for '='), so the
// scan's first match is the entry of lowest position with that word and
// separator. Entries are sorted by the word's hash, then position.
struct KeyEntry {
  u32 hash;
  u16 pos;
  u16 len;
};
KeyEntry g_keys[kMaxText];
u32 g_key_count = 0;
u32 g_indexed_len = 0;
bool g_indexed = false;

u32 WordHash(const char* p, u32 n) {
  u32 h = 2166136261u;
  for (u32 i = 0; i < n; ++i) h = (h ^ static_cast<u8>(p[i])) * 16777619u;
  return h;
}

bool KeyEntryBefore(const KeyEntry& a, const KeyEntry& b) {
  return a.hash != b.hash ? a.hash < b.hash : a.pos < b.pos;
}

}  // namespace

void StrKeyIndexBuild(StrSlice text) {
  g_indexed = false;
  g_key_count = 0;
  if (!text.ptr) return;
  const char* p = text.ptr;
  const u32 n = text.len;
  // Walk forwards over the places outside quotes; the word end of each is
  // found plainly by a second cursor that only moves forwards.
  u32 sep_at = 0;
  auto word_end = [&](u32 from) {
    if (sep_at < from) sep_at = from;
    while (sep_at < n && p[sep_at] != ':' && p[sep_at] != '=') ++sep_at;
    return sep_at;
  };
  for (u32 i = 0; i < n; ++i) {
    const char c = p[i];
    if (StrIsQuote(c)) {
      const void* close = std::memchr(p + i + 1, static_cast<u8>(c), n - i - 1);
      if (!close) break;  // an unclosed quote hides the rest
      i = static_cast<u32>(static_cast<const char*>(close) - p);
      continue;
    }
    if (i > 0 && !IsKeyBoundary(p[i - 1], false)) continue;
    const u32 e = word_end(i);
    if (e >= n) continue;
    g_keys[g_key_count++] = KeyEntry{WordHash(p + i, e - i), static_cast<u16>(i), static_cast<u16>(e - i)};
  }
  std::sort(g_keys, g_keys + g_key_count, KeyEntryBefore);
  g_indexed_len = n;
  g_indexed = true;
}

StrSlice StrKeyIndexGet(StrSlice text, StrSlice key, u16 flags) {
  const bool usable = g_indexed && text.ptr && key.ptr && text.len == g_indexed_len && !(flags & kParamNul) &&
                      !std::memchr(key.ptr, ':', key.len) && !std::memchr(key.ptr, '=', key.len);
  if (!usable) return StrGetParamEx(text, key, flags);
  const u32 h = WordHash(key.ptr, key.len);
  const KeyEntry probe{h, 0, 0};
  u32 best[2] = {kNotFound, kNotFound};  // first place of "key:" and of "key="
  for (const KeyEntry* e = std::lower_bound(g_keys, g_keys + g_key_count, probe, KeyEntryBefore);
       e < g_keys + g_key_count && e->hash == h; ++e) {
    if (e->len != key.len || std::memcmp(text.ptr + e->pos, key.ptr, key.len) != 0) continue;
    const u32 which = text.ptr[e->pos + e->len] == kPairSeps[0] ? 0 : 1;
    if (best[which] == kNotFound) best[which] = e->pos;
  }
  const u32 hit = best[0] != kNotFound ? best[0] : best[1];
  if (hit == kNotFound) return kStrEmpty;
  u16 offset = 0;
  u16 len = 0;
  KeyValueSpan(text, hit, key.len, false, &offset, &len);
  return ParamValue(StrSlice{text.ptr + offset, len}, flags);
}

u16 ListItemLen(StrSlice list, char sep) {
  if (!list.ptr) return 0;
  const u16 at = StrFindChar(list, sep, SepMode(sep));
  return at == kNotFound ? list.len : at;
}

StrSlice ListNext(StrSlice list, char sep) {
  if (!list.ptr) return list;
  const u16 n = ListItemLen(list, sep);
  if (n >= list.len) return StrSlice{list.ptr + list.len, 0};
  return StrSlice{list.ptr + n + 1, static_cast<u16>(list.len - n - 1)};
}

void ListItemLocate(StrSlice list, char sep, u16 k, u16* offset, u16* len) {
  *offset = 0;
  *len = 0;
  if (!list.ptr || k == 0) return;
  StrSlice rest = list;
  while (k > 1 && rest.len > 0) {
    rest = ListNext(rest, sep);
    --k;
  }
  *offset = static_cast<u16>(rest.ptr - list.ptr);
  if (k == 1) *len = ListItemLen(rest, sep);
}

StrSlice ListItem(StrSlice list, char sep, u16 k) {
  if (!list.ptr) return list;
  u16 offset = 0;
  u16 len = 0;
  ListItemLocate(list, sep, k, &offset, &len);
  return StrSlice{list.ptr + offset, len};
}

u16 ListCount(StrSlice list, char sep) {
  if (!list.ptr || list.len == 0) return 0;
  // A trailing separator adds an empty item that the walk below never sees.
  u32 n = list.ptr[list.len - 1] == sep ? 1 : 0;
  do {
    ++n;
    list = ListNext(list, sep);
  } while (list.len > 0);
  // 65535 separators make 65536 items; the count stays at its 16-bit top.
  return n > kMaxText ? static_cast<u16>(kMaxText) : static_cast<u16>(n);
}

u16 ListFind(StrSlice list, StrSlice item, char sep) {
  if (!list.ptr || !item.ptr || list.len < item.len || list.len == 0) return 0;
  // One walk: each item's length is found once, and the walk ends after
  // the last item (a trailing separator leaves an empty one).
  StrSlice rest = list;
  for (u32 k = 1; k <= kMaxText && rest.len >= item.len; ++k) {
    const u16 n = ListItemLen(rest, sep);
    if (n == item.len && std::memcmp(rest.ptr, item.ptr, item.len) == 0) return static_cast<u16>(k);
    if (n >= rest.len) break;
    rest = StrSlice{rest.ptr + n + 1, static_cast<u16>(rest.len - n - 1)};
  }
  return 0;
}

u16 ListItemValue(StrSlice list, char sep, u16 k) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 value = StrValue(StrNormalize(ListItem(list, sep, k)));
  WorkMark(mark);
  return value;
}

u16 ListItemWidth(StrSlice list, char sep, u16 mode) {
  const u16 count = ListCount(list, sep);
  if (count == 0) return 0;
  const bool shortest = mode == kWidthShortest;
  u16 width = shortest ? 0xFFFF : 0;
  StrSlice rest = list;
  for (u16 k = 1; k <= count; ++k) {
    const u16 w = StrUnquote(StrSlice{rest.ptr, ListItemLen(rest, sep)}).len;
    if (shortest ? w < width : w > width) width = w;
    rest = ListNext(rest, sep);
  }
  return width;
}

u16 ListItemSet(StrSlice list, StrSlice item, char sep, i16 k) {
  if (const u16 code = StrError(list)) return code;
  const bool remove = k < 0;
  if (!remove) {
    if (const u16 code = StrError(item)) return code;
  }
  const u16 count = ListCount(list, sep);
  u32 target = remove ? static_cast<u32>(-i32{k}) : static_cast<u32>(k);
  if (target == 0) target = u32{count} + 1;

  if (remove) {
    if (target > count) return WorkPush(list.ptr, list.len);
    u16 offset = 0;
    u16 len = 0;
    ListItemLocate(list, sep, static_cast<u16>(target), &offset, &len);
    // Item 1 takes the separator after it along; any other the one before.
    u32 cut_from = offset;
    u32 cut_to = u32{offset} + len;
    if (target == 1) {
      if (cut_to < list.len) ++cut_to;
    } else {
      --cut_from;
    }
    const WorkPiece pieces[] = {{list.ptr, cut_from, 0}, {list.ptr + cut_to, list.len - cut_to, 0}};
    return WorkPushPieces(pieces, 2);
  }

  const u32 have = count == 0 ? 1 : count;
  if (have < target) {
    // Item `target` becomes a new last item after target - have separators.
    const WorkPiece pieces[] = {{list.ptr, list.len, 0}, {nullptr, target - have, sep}, {item.ptr, item.len, 0}};
    return WorkPushPieces(pieces, 3);
  }
  u16 offset = 0;
  u16 len = 0;
  ListItemLocate(list, sep, static_cast<u16>(target), &offset, &len);
  const u32 tail = u32{offset} + len;
  const WorkPiece pieces[] = {{list.ptr, offset, 0}, {item.ptr, item.len, 0}, {list.ptr + tail, list.len - tail, 0}};
  return WorkPushPieces(pieces, 3);
}

bool ListRangeHas(StrSlice range, i64 number) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const i64 lo = StrToInt64(ListItem(range, '-', 1));
  bool inside = false;
  if (number >= lo) {
    const i64 hi = StrToInt64(ListItem(range, '-', ListCount(range, '-')));
    inside = number <= hi;
  }
  WorkMark(mark);
  return inside;
}

u16 ListFindRange(StrSlice list, i64 number) {
  const u16 count = ListCount(list, ',');
  StrSlice rest = list;
  for (u16 k = 1; k <= count; ++k) {
    if (ListRangeHas(StrSlice{rest.ptr, ListItemLen(rest, ',')}, number)) return k;
    rest = ListNext(rest, ',');
  }
  return 0;
}

StrSlice StrJoin(StrSlice first, StrSlice sep, StrSlice second) {
  if (const u16 code = StrError(first)) return StrErrorSlice(code);
  if (const u16 code = StrError(second)) return StrErrorSlice(code);
  const bool both = first.len > 0 && second.len > 0;
  if (both) {
    if (const u16 code = StrError(sep)) return StrErrorSlice(code);
  }
  const WorkPiece pieces[] = {{first.ptr, first.len, 0}, {both ? sep.ptr : first.ptr, both ? sep.len : 0u, 0},
                          {second.ptr, second.len, 0}};
  if (const u16 code = WorkPushPieces(pieces, 3)) return StrErrorSlice(code);
  return WorkTop();
}

StrSlice StrKeyJoin(StrSlice key, StrSlice value) {
  if (!key.ptr || !value.ptr || key.len == 0 || value.len == 0) return StrErrorSlice(kErrData);
  return StrJoin(key, StrSlice{"=", 1}, value);
}

void StrKeyFind(StrSlice text, StrSlice key, u16 flags, u16* offset, u16* len) {
  *offset = kNotFound;
  *len = kNotFound;
  const bool nul_mode = (flags & kParamNul) != 0;
  const u16 plain = nul_mode ? kPlain : kQuoteAware;
  const WorkMarkId mark = WorkMark(kMarkQuery);

  u32 hit = kNotFound;
  for (const char s : kPairSeps) {
    if (const u16 code = WorkPushConcat(key, StrSlice{&s, 1})) {
      *len = code;
      WorkMark(mark);
      return;
    }
    const StrSlice pattern = WorkTop();
    u32 from = 0;
    while (text.ptr && from < text.len) {
      const u16 at = StrFind(StrSlice{text.ptr + from, static_cast<u16>(text.len - from)}, pattern, plain);
      if (at == kNotFound) break;
      const u32 p = from + at;
      if (p == 0 || IsKeyBoundary(text.ptr[p - 1], nul_mode)) {
        hit = p;
        break;
      }
      from = p + 1;
    }
    if (hit != kNotFound) break;
  }
  WorkMark(mark);
  if (hit == kNotFound) return;
  KeyValueSpan(text, hit, key.len, nul_mode, offset, len);
}

StrSlice StrGetParamEx(StrSlice text, StrSlice key, u16 flags) {
  u16 offset = 0;
  u16 len = 0;
  StrKeyFind(text, key, flags, &offset, &len);
  if (offset == kNotFound) return len == kNotFound ? kStrEmpty : StrErrorSlice(len);
  return ParamValue(StrSlice{text.ptr + offset, len}, flags);
}

StrSlice StrGetParam(StrSlice text, StrSlice key) { return StrGetParamEx(text, key, kParamNormalize); }

u16 StrKeyValuePush(StrSlice text, StrSlice key) {
  u16 offset = 0;
  u16 len = 0;
  StrKeyFind(text, key, kParamAsIs, &offset, &len);
  if (offset == kNotFound) return len;
  StrSlice value{text.ptr + offset, len};
  if (StrFindChar(key, '%', kPlain) == kNotFound) value = StrUnquote(value);
  return WorkPush(value.ptr, value.len);
}

namespace {

// A text as it is joined: head, then body enclosed in quote (none when quote
// is 0) and upper-cased when upper is set, then close (none when 0). The
// slices point into the text, so that planning allocates nothing.
struct LinePlan {
  StrSlice head;
  StrSlice body;
  char quote;
  bool upper;
  char close;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The quote character the text does not hold, the double quote first; 0
// when it holds both.
char FreeQuote(StrSlice t) {
  if (!t.len || !std::memchr(t.ptr, '"', t.len)) return '"';
  if (!std::memchr(t.ptr, '\'', t.len)) return '\'';
  return 0;
}

// A request argument name=value: its value, trimmed of blanks and tabs, is
// enclosed in a quote it does not hold unless it reads whole already.
LinePlan PairSealPlan(StrSlice line, StrSlice breaks) {
  const u16 at = StrPairKeyEnd(line);
  if (at != kNotFound) {
    // Blanks and tabs before the key go: a tab is no key boundary.
    u16 key = 0;
    while (IsBlank(line.ptr[key])) ++key;
    const StrSlice head{line.ptr + key, static_cast<u16>(at + 1 - key)};
    const StrSlice value = StrTrim(StrSlice{line.ptr + at + 1, static_cast<u16>(line.len - at - 1)}, kTrimBoth);
    if (StrParamReadsWhole(value, breaks)) return LinePlan{head, value, 0, false, 0};
    if (const char q = FreeQuote(value)) return LinePlan{head, value, q, false, 0};
  }
  return LinePlan{line, kStrEmpty, 0, false, 0};
}

constexpr u32 kNoPos = 0xFFFFFFFFu;

// A line walked as a key look-up walks it: the quote it leaves open (kNoPos
// when every quote closes on it); where the value that holds that quote
// starts, after its key's '=' or ':' (kNoPos when no key's value reaches
// it); and whether the line ends in a word with no '=', which the ':' that
// joins the next line makes a key whose value is that line.
struct LineWalk {
  u32 open;
  u32 value;
  bool bare_end;
};

LineWalk LineWalkOf(StrSlice line, bool after_bare) {
  LineWalk w{kNoPos, after_bare ? 0u : kNoPos, false};
  u32 item = 0;        // where the current item, and maybe a key, starts
  bool keyed = false;  // the current item's key has met its '='
  for (u32 i = 0; i < line.len; ++i) {
    const char c = line.ptr[i];
    if (StrIsQuote(c)) {
      const void* close = std::memchr(line.ptr + i + 1, c, line.len - i - 1);
      if (!close) {
        w.open = i;
        return w;
      }
      i = static_cast<u32>(static_cast<const char*>(close) - line.ptr);
    } else if (c == '=') {
      if (!keyed && i > item) w.value = i + 1;
      keyed = true;
    } else if (std::memchr(kValueEnds.ptr, c, kValueEnds.len)) {
      // A value ends here; after a key's ':' the next one starts.
      w.value = c == ':' && !keyed && i > item ? i + 1 : kNoPos;
      item = i + 1;
      keyed = false;
    }
  }
  w.bare_end = !keyed && item < line.len;
  return w;
}

// A line of a parameter file with the quote it leaves open ended at the
// line's end. Read as it stands at the end of a text, that quote hides the
// rest of the line, and the value holding it runs to the line's end and
// is normalised; the plan writes that value normalised and enclosed in a
// quote it does not hold, which a look-up reads back as it is. Where no
// value holds the quote (or the value holds both quote characters), the
// same quote closes the line instead: nothing there is read as a key.
LinePlan QuoteClosePlan(StrSlice line, bool* bare) {
  const LineWalk w = LineWalkOf(line, *bare);
  // A line that leaves a quote open ends hidden: no bare word at its end.
  *bare = w.bare_end;
  if (w.open == kNoPos) return LinePlan{line, kStrEmpty, 0, false, 0};
  if (w.value != kNoPos) {
    const StrSlice raw{line.ptr + w.value, static_cast<u16>(line.len - w.value)};
    const StrSlice body = StrUnquote(StrTrim(raw, kTrimBoth));
    if (const char q = FreeQuote(body)) {
      // StrNormalize upper-cases only a value that had nothing removed.
      return LinePlan{StrSlice{line.ptr, static_cast<u16>(w.value)}, body, q, body.len == raw.len, 0};
    }
  }
  return LinePlan{line, kStrEmpty, 0, false, line.ptr[w.open]};
}

u32 LinePlanLen(const LinePlan& p) {
  return u32{p.head.len} + p.body.len + (p.quote ? 2u : 0u) + (p.close ? 1u : 0u);
}

char* LinePlanCopy(const LinePlan& p, char* d) {
  std::memcpy(d, p.head.ptr, p.head.len);
  d += p.head.len;
  if (p.quote) *d++ = p.quote;
  for (u16 i = 0; i < p.body.len; ++i) *d++ = p.upper ? StrCharUpper(p.body.ptr[i]) : p.body.ptr[i];
  if (p.quote) *d++ = p.quote;
  if (p.close) *d++ = p.close;
  return d;
}

StrSlice LinePlanMake(const LinePlan& p) {
  StrSlice out = WorkAllocText(LinePlanLen(p));
  if (!StrError(out)) LinePlanCopy(p, const_cast<char*>(out.ptr));
  return out;
}

// Past the last line of a text (a text is shorter than this).
constexpr u32 kLinesDone = 0xFFFFFFFFu;

// The line of text that starts at *from (ended by LF, a CR before the LF
// dropped); *from moves past the LF, or to kLinesDone after the last line.
StrSlice NextLine(StrSlice text, u32* from) {
  const char* start = text.ptr + *from;
  const u32 rest = text.len - *from;
  const char* lf = rest ? static_cast<const char*>(std::memchr(start, '\n', rest)) : nullptr;
  if (!lf) {
    *from = kLinesDone;
    return StrSlice{start, static_cast<u16>(rest)};
  }
  u32 len = static_cast<u32>(lf - start);
  *from += len + 1;
  if (len && start[len - 1] == '\r') --len;
  return StrSlice{start, static_cast<u16>(len)};
}

}  // namespace

bool StrParamReadsWhole(StrSlice value, StrSlice breaks) {
  if (StrError(value)) return false;
  for (u32 i = 0; i < value.len; ++i) {
    const char c = value.ptr[i];
    if (StrIsQuote(c)) {
      const void* close = std::memchr(value.ptr + i + 1, c, value.len - i - 1);
      if (!close) return false;
      i = static_cast<u32>(static_cast<const char*>(close) - value.ptr);
    } else if (breaks.len && std::memchr(breaks.ptr, c, breaks.len)) {
      return false;
    }
  }
  return true;
}

u16 StrPairKeyEnd(StrSlice line) {
  if (StrError(line)) return kNotFound;
  u16 i = 0;
  while (i < line.len && IsBlank(line.ptr[i])) ++i;
  const u16 key = i;
  for (; i < line.len; ++i) {
    const char c = line.ptr[i];
    if (c == '=' || c == ':') return i > key ? i : kNotFound;
    if (IsBlank(c) || StrIsQuote(c)) return kNotFound;
  }
  return kNotFound;
}

StrSlice StrPairLineSeal(StrSlice line, StrSlice breaks) {
  if (StrError(line)) return line;
  return LinePlanMake(PairSealPlan(line, breaks));
}

StrSlice StrLineQuoteClose(StrSlice line, bool* bare) {
  if (StrError(line)) return line;
  const LinePlan p = QuoteClosePlan(line, bare);
  return p.quote || p.close ? LinePlanMake(p) : line;
}

StrSlice StrTextLinesJoin(StrSlice text) {
  if (StrError(text)) return text;
  // The length is summed first, so that the result is built in one entry
  // in one more pass, however many lines the text has.
  u32 total = 0;
  bool bare = false;
  for (u32 from = 0; from != kLinesDone;) {
    if (from) ++total;
    total += LinePlanLen(QuoteClosePlan(NextLine(text, &from), &bare));
  }
  StrSlice out = WorkAllocText(total);
  if (StrError(out)) return out;
  char* d = const_cast<char*>(out.ptr);
  bare = false;
  for (u32 from = 0; from != kLinesDone;) {
    if (from) *d++ = ':';
    d = LinePlanCopy(QuoteClosePlan(NextLine(text, &from), &bare), d);
  }
  return out;
}

}  // namespace vk
