// Text operations on StrSlice. Selections (StrMid, StrTrim, StrUnquote)
// return slices into their input; building operations leave exactly one new
// scratch entry and return its slice, or an error slice. An error slice given
// to a building operation passes through; searches on one give kNotFound.
//
// Searches take a plain flag: kPlain is a straight byte search, kQuoteAware
// skips every stretch between a quote (' or ") and the next same quote.
#pragma once
#include <cstring>
#include <type_traits>

#include "runtime/scratch.h"
#include "runtime/slice.h"

namespace vk {

enum : u16 { kQuoteAware = 0, kPlain = 1 };
// StrTrimSet / StrTrim sides.
enum : u16 { kTrimLeft = 1, kTrimRight = 2, kTrimBoth = 3 };
// StrCase modes (any value but kUpper lowers).
enum : u16 { kLower = 0, kUpper = 1 };
// StrFindLast kinds.
enum : u16 { kFindAnyOf = 0, kFindChar = 1, kFindSubstr = 2 };

// Making and testing.
StrSlice StrC(const char* z);
StrSlice StrOr(StrSlice a, StrSlice b);
StrSlice StrDup(StrSlice s);
StrSlice StrConcat(StrSlice a, StrSlice b);
StrSlice StrChar(char c);
// NUL-terminated copy on the scratch stack; a static "" for an error slice
// or when the copy cannot be made.
const char* StrToC(StrSlice s);
// Copies s to buf + buf_len (the caller guarantees the room) and returns
// {buf, buf_len + s.len}; 146 when that length would pass 65535.
StrSlice StrAppendRaw(StrSlice s, char* buf, u16 buf_len);
// Writes src into buf at pos (negative: from the end, floored at 0), cut at
// buf's end; 168 when pos lies past the end.
[[nodiscard]] u16 StrPutAt(StrSlice buf, i16 pos, StrSlice src);
// The closing partner of an opening bracket of "[](){}<>"; other characters
// are their own partner.
char StrPartner(char c);
inline bool StrIsQuote(char c) { return c == '\'' || c == '"'; }

// Searching.
u16 StrFindCharFrom(StrSlice text, u16 start, char c, u16 plain);
u16 StrFindChar(StrSlice text, char c, u16 plain);
u16 StrFindAnyFrom(StrSlice text, u16 start, StrSlice set, u16 plain);
u16 StrFindAny(StrSlice text, StrSlice set, u16 plain);
// An empty pattern is never found (StrCount 0, replacements copy the text).
u16 StrFind(StrSlice text, StrSlice pattern, u16 plain);
u16 StrFindLast(StrSlice text, StrSlice what, u16 plain, u16 kind);
u16 StrFindLastAny(StrSlice text, StrSlice set, u16 plain);
u16 StrFindLastChar(StrSlice text, char c, u16 plain);
// Non-overlapping occurrences.
u16 StrCount(StrSlice text, StrSlice pattern, u16 plain);
bool StrIsEnclosed(StrSlice text, char c);
// The text between the first open and its nesting-aware partner; the empty
// text when there is none.
StrSlice StrBetween(StrSlice text, char open, u16 plain);
// Innermost open..close stretch: *offset is kNotFound when there is none.
void StrFindPair(StrSlice text, u16 plain, char open, char close, u16* offset, u16* len);

// Comparing: -1, 0, 1; 159 when a pointer is null.
int StrCompareN(const char* a, const char* b, u16 n);
int StrCompare(StrSlice a, StrSlice b);
inline bool StrEqual(StrSlice a, StrSlice b) { return StrCompare(a, b) == 0; }

// Cutting.
StrSlice StrMid(StrSlice text, i16 start, u16 count);
StrSlice StrTrimSet(StrSlice text, u16 flags, StrSlice set);
StrSlice StrTrim(StrSlice text, u16 flags);
StrSlice StrUnquote(StrSlice text);

// Building. A result over 65535 bytes is the error slice 146, a full
// scratch stack 145.
StrSlice StrCase(StrSlice text, u16 mode);
// One byte in upper or lower case; only the ASCII letters change (texts are
// windows-1252 and no locale is consulted).
inline char StrCharUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
inline char StrCharLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
StrSlice StrNormalize(StrSlice text);
StrSlice StrRepeat(StrSlice text, u16 count);
StrSlice StrEnclose(StrSlice text, char c);
StrSlice StrQuote(StrSlice text, char q);
StrSlice StrOverwrite(StrSlice text, u16 pos, StrSlice src);
// Replaces every occurrence (quote-aware unless plain; a one-byte quote
// pattern always plainly) and leaves the result as the top entry; a failed
// push also records 160 in kWhereReplace.
[[nodiscard]] u16 StrReplacePush(StrSlice text, StrSlice pattern, StrSlice repl, u16 plain);
StrSlice StrReplace(StrSlice text, StrSlice pattern, StrSlice repl, u16 plain);
// Item k of from replaced by item k of to, from the last item to the first.
StrSlice StrReplaceList(StrSlice text, StrSlice from, StrSlice to, char sep);
StrSlice StrSqueeze(StrSlice text, char c, u16 plain);
StrSlice StrKeepChars(StrSlice text, StrSlice set);
StrSlice StrTranslate(StrSlice text, const char* from, const char* to);
// Chunk k of table (width table.len / chars.len) replaced by chars[k].
StrSlice StrMapChunks(StrSlice text, StrSlice table, StrSlice chars);

// StrFormat substitutes the conversions itself and never hands the format to
// printf, because format texts may come from data (language files, page
// options). Recognised: %d %i %u %x %X %c %s and %%, with the flags '-', '0'
// and '+', a width, a precision and the length modifiers hh h l ll j z t.
// Each conversion takes the next argument; a conversion without one, and any
// other % sequence, is copied literally. A result longer than max is refused
// with the error slice 146 (recorded as 146 in kWhereFormat).
struct StrArg {
  enum Kind : u8 { kText, kInt, kUInt } kind;
  StrSlice text;
  i64 num;
};
inline StrArg StrArgText(StrSlice s) { return StrArg{StrArg::kText, s, 0}; }
inline StrArg StrArgInt(i64 v) { return StrArg{StrArg::kInt, StrSlice{nullptr, 0}, v}; }
inline StrArg StrArgUInt(u64 v) { return StrArg{StrArg::kUInt, StrSlice{nullptr, 0}, static_cast<i64>(v)}; }
StrSlice StrFormat(u16 max, StrSlice format, const StrArg* args, u16 nargs);
// format with its "%s" conversions filled by the texts in order, with room
// for all of them (at most 3 texts); an error slice among the format and
// the texts passes through; 146 past 65535 bytes.
StrSlice StrFormatTexts(StrSlice format, const StrSlice* texts, u16 count);
inline StrSlice StrFormat1(StrSlice format, StrSlice text) { return StrFormatTexts(format, &text, 1); }

// Argument conversion for StrFormatV: slices and C texts are texts, integral
// values are numbers (signed or unsigned after their type).
inline StrArg StrArgOf(StrArg a) { return a; }
inline StrArg StrArgOf(StrSlice s) { return StrArgText(s); }
inline StrArg StrArgOf(const char* z) { return StrArgText(StrC(z)); }
template <typename T>
  requires std::is_integral_v<T>
inline StrArg StrArgOf(T v) {
  if constexpr (std::is_signed_v<T>) {
    return StrArgInt(v);
  } else {
    return StrArgUInt(v);
  }
}
// A text made by two passes of one walk: emit(put) is called to measure the
// text, then again to copy it into the room taken for it; put(bytes, len)
// adds bytes. One new scratch entry, or the error slice 146 (over 65535
// bytes) or 145 (no room).
template <typename Emit>
StrSlice StrBuild(Emit emit) {
  char* out = nullptr;
  u32 total = 0;
  for (int pass = 0; pass < 2; ++pass) {
    u32 n = 0;
    auto put = [&](const char* bytes, u32 len) {
      if (out) std::memcpy(out + n, bytes, len);
      n += len;
    };
    emit(put);
    if (pass == 0) {
      const StrSlice room = WorkAllocText(n);
      if (StrError(room)) return room;
      total = n;
      out = const_cast<char*>(room.ptr);
    }
  }
  return StrMake(out, total);
}

template <typename... A>
StrSlice StrFormatV(u16 max, StrSlice format, A... args) {
  const StrArg list[] = {StrArgOf(args)..., StrArgInt(0)};
  return StrFormat(max, format, list, sizeof...(args));
}
template <typename... A>
StrSlice StrFormatV(u16 max, const char* format, A... args) {
  return StrFormatV(max, StrC(format), args...);
}

// Values.
bool StrIsYes(StrSlice text);
u16 StrValue(StrSlice text);

// Element access in memory. Indexes are 0-based; a table of slices has
// elements of sizeof(StrSlice) bytes, a table of pointer slots sizeof(void*).
[[nodiscard]] u16 ArrBoundCheck(u16 byte_len, u16 index, u16 elem_size);
u16 ArrGetU16(const void* p, u16 byte_len, u16 index);
StrSlice ArrGetSlice(const void* p, u16 byte_len, u16 index);
u16 MemFindRecord(const void* table, u16 count, const void* record, u16 size);
u16 MemFindZero(const void* table, u16 count);

}  // namespace vk
