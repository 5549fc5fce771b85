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

// A request argument name=value (blanks and tabs before the name allowed)
// written so that a parameter text reads its value whole and as written.
//
// True when no byte of breaks stands outside quotes in value and no quote
// in it is left open: a parameter text reads such a value whole.
bool StrParamReadsWhole(StrSlice value, StrSlice breaks);
// The position of the '=' or ':' that ends the key of a pair line (blanks
// and tabs before the key allowed); kNotFound when the line is no pair: no
// separator, an empty key, or a key holding a blank, a tab or a quote.
u16 StrPairKeyEnd(StrSlice line);
// The pair as one new entry: its key without the blanks before it, and its
// value, trimmed, enclosed in a quote it does not hold unless it reads
// whole against breaks already (a value holding both quotes is kept). Any
// other text is kept as it is.
StrSlice StrPairLineSeal(StrSlice line, StrSlice breaks);

// Lines of a file joined by ':' into one parameter text, each line read
// where it stands, except that a quote a line leaves open ends with that
// line instead of hiding every line after it: the value holding that quote
// reads, normalised, what it would read were the line the text's last (one
// that also holds the other quote character gets the open quote repeated
// at its end instead).
//
// The line with the quote it leaves open ended (a new entry); the line
// itself when it leaves none open. *bare tells whether the text the line is
// joined to ends in a word with no '=' (the ':' makes it a key whose value
// is this line; false before the first line), and is set for the next one.
StrSlice StrLineQuoteClose(StrSlice line, bool* bare);
// The lines of text (ended by LF or CR LF; a lone CR stays in its line)
// each passed through StrLineQuoteClose and joined by ':', every line
// keeping its place (an empty line an empty item); the error slice 146
// past 65535 bytes.
StrSlice StrTextLinesJoin(StrSlice text);

}  // namespace vk
