// Separated lists and parameter texts.
//
// A separated list is a text whose items are divided by one separator byte.
// Items are numbered from 1; the empty text has no items, and a text ending
// with the separator has an empty last item that counts ("a,b," has 3).
// The separator search is quote-aware (a separator between matching ' or "
// quotes does not divide items; the quotes stay in the item), except for
// the separator NUL, which is searched plainly. An item beyond the last is
// the empty text at the list's end. Item comparisons are exact.
//
// A parameter text holds key:value or key=value pairs. A key is recognised
// at the text's start or right after ':', blank, '&', '/' or NUL; its value
// ends at the next ':', blank, '&' or '/' outside quotes, or at the end. In
// NUL mode (kParamNul) keys follow only a NUL byte, the search is plain and
// a value ends at the next NUL.
#pragma once
#include "runtime/slice.h"

namespace vk {

// StrKeyFind / StrGetParamEx flags.
enum : u16 {
  kParamAsIs = 0,       // the value unchanged
  kParamUnquote = 1,    // the value with its quotes removed
  kParamNormalize = 3,  // trimmed, unquoted, upper-cased (a new scratch entry)
  kParamNul = 4,        // pairs separated by NUL bytes
};

// ListItemWidth modes.
enum : u16 { kWidthLongest = 0, kWidthShortest = 1 };

// Length of the first item: the position of the first separator, or the
// whole length.
u16 ListItemLen(StrSlice list, char sep);
// The rest after the first item and its separator; the empty text (at the
// end) when there is no separator. An error slice is returned unchanged.
StrSlice ListNext(StrSlice list, char sep);
// Offset and length of item k. Beyond the last item: offset = list length,
// length 0; k = 0: offset 0, length 0.
void ListItemLocate(StrSlice list, char sep, u16 k, u16* offset, u16* len);
// Item k as a slice into the list.
StrSlice ListItem(StrSlice list, char sep, u16 k);
// Number of items; 0 for the empty text or an error slice.
u16 ListCount(StrSlice list, char sep);
// 1-based number of the first item equal to item, 0 when none.
u16 ListFind(StrSlice list, StrSlice item, char sep);
// StrValue of the normalised item k (a 16-bit number, 1 for a yes-word).
u16 ListItemValue(StrSlice list, char sep, u16 k);
// Length of the shortest (kWidthShortest) or longest (kWidthLongest) item,
// each measured unquoted.
u16 ListItemWidth(StrSlice list, char sep, u16 mode);
// Replaces item k with item (k = 0 appends; a k beyond the last item first
// adds empty items) or, for a negative k, deletes item -k. The new list is
// left as the newest scratch entry (WorkTop). Returns 0, 145 when the stack
// is full, or 146 when the new list would pass 65535 bytes.
[[nodiscard]] u16 ListItemSet(StrSlice list, StrSlice item, char sep, i16 k);
// True when number lies in the inclusive range "lo-hi" (or equals "n").
bool ListRangeHas(StrSlice range, i64 number);
// 1-based number of the first comma-separated range holding number, or 0.
u16 ListFindRange(StrSlice list, i64 number);

// first + sep + second as one new scratch entry; sep only when both texts
// are non-empty. Error slice 145 / 146 when it cannot be built.
StrSlice StrJoin(StrSlice first, StrSlice sep, StrSlice second);
// "key=value"; the error slice 163 when either is empty.
StrSlice StrKeyJoin(StrSlice key, StrSlice value);
// Offset and length of key's value in the parameter text; a "key:" pair is
// preferred over a "key=" pair anywhere in the text. Absent: offset
// kNotFound and length kNotFound (or the error code when the search could
// not be made).
void StrKeyFind(StrSlice text, StrSlice key, u16 flags, u16* offset, u16* len);
// The key's value after flags & 3 (see kParam...); the empty text when
// absent. Only kParamNormalize builds a new entry; the others select.
StrSlice StrGetParamEx(StrSlice text, StrSlice key, u16 flags);
// StrGetParamEx with kParamNormalize.
StrSlice StrGetParam(StrSlice text, StrSlice key);
// A key index of one parameter text, so that many look-ups in a long text
// do not each scan it. StrKeyIndexBuild indexes the text (one index exists;
// building replaces it). StrKeyIndexGet gives exactly StrGetParamEx(text,
// key, flags) for the indexed text, answering from the index when it can;
// it must be given the same bytes that were indexed.
void StrKeyIndexBuild(StrSlice text);
StrSlice StrKeyIndexGet(StrSlice text, StrSlice key, u16 flags);
// Pushes the key's value as a new scratch entry (unchanged when the key
// contains '%', else unquoted); 0, kNotFound when absent, or an error code.
[[nodiscard]] u16 StrKeyValuePush(StrSlice text, StrSlice key);

// Lines of key=value (or key:value) pairs joined into one parameter text.
// Joined as they are, a value would end at its first ':', blank, '&' or '/'
// and an apostrophe in it would open a quote hiding every line after it.
// A line is therefore sealed before it is joined: its value, trimmed of
// blanks and tabs, is enclosed in a quote it does not hold unless it is
// read whole already, so that it is read back whole and as written.
//
// The bytes that end a value of a parameter text.
constexpr StrSlice kParamValueEnds{": &/", 4};
// True when no byte of breaks stands outside quotes in value and no quote
// in it is left open: a parameter text reads such a value whole.
bool StrParamReadsWhole(StrSlice value, StrSlice breaks);
// The position of the '=' or ':' that ends the key of a pair line (blanks
// and tabs before the key allowed); kNotFound when the line is no pair: no
// separator, an empty key, or a key holding a blank, a tab or a quote.
u16 StrPairKeyEnd(StrSlice line);
// The line as one new entry: its key without the blanks before it, and its
// value sealed against breaks. A line that is no pair (and not blank) is
// enclosed whole, so that no key is found in it. A value (or a line)
// holding both quote characters cannot be enclosed and is kept.
StrSlice StrPairLineSeal(StrSlice line, StrSlice breaks);
// The lines of text (ended by LF or CR LF) each sealed against
// kParamValueEnds and joined by sep, every line keeping its place (an empty
// line an empty item); error slice 146 past 65535 bytes.
StrSlice StrPairLinesJoin(StrSlice text, char sep);

}  // namespace vk
