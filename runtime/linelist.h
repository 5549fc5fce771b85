// Keyed text-line lists: files whose lines carry a numeric key in fixed
// columns are read into a variable group (the line queue, group 37, by
// default), keeping only the payload of the lines whose key equals a wanted
// code. On top of it, parameter lists: a whole file of key=value / key:value
// lines joined into one text and kept on the stack of group 31, where values
// are looked up by key until the list is popped.
//
// A load that fails part-way takes back what it appended: the group is left
// as it was before the load.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Where a line's key and payload lie. The payload is the line from
// payload_start, payload_trim bytes shorter than the line, clipped to it.
struct LineLayout {
  u16 key_column;
  u16 key_width;
  u16 payload_start;
  u16 payload_trim;
};

constexpr u16 kLineLayouts = 7;      // layouts 0-6; any other means 0
constexpr u16 kLineLoadFailed = 0xFFFF;

// File kinds 1-14 (extensions "PPN" ... "CFG").
constexpr u16 kFileKinds = 14;

LineLayout LineLayoutGet(u16 layout);
// The line's key: its key columns with blanks read as '0', as a number.
u16 LineKeyValue(u16 layout, StrSlice line);

// Appends (StorePush) the payload of every line of the file whose key equals
// code, in file order. A file not found under its bare name is searched in
// the default folders (identity entry 5). Returns the count appended, or
// kLineLoadFailed when the name is empty, the file cannot be opened or
// read, no line matched, or an append failed.
[[nodiscard]] u16 LineListLoadInto(StrSlice name, u16 layout, u16 code, u16 group);
// LineListLoadInto with the line queue (group 37).
[[nodiscard]] u16 LineListLoad(StrSlice name, u16 layout, u16 code);
// Takes the newest lines off the line queue until `count` remain: how a
// caller that loaded lines for itself gives them back. The first failing
// removal's code stops it.
[[nodiscard]] u16 LineQueueTrim(u16 count);
// Takes n entries from the front of the line queue, removing each, and joins
// them with separator (only between two non-empty parts). n 0 or kNotFound
// gives the empty text; when a join or removal fails it stops and returns
// the error slice (the entries taken so far are gone).
StrSlice LineListJoin(u16 n, StrSlice separator);

// Loads the file's lines, joins them with separator and pushes the result as
// the current parameter list (group 31): 0, the push's code, or
// kLineLoadFailed when nothing was loaded.
[[nodiscard]] u16 ParamListLoadSep(StrSlice name, u16 layout, u16 code, StrSlice separator);
// ParamListLoadSep with the separator ":".
[[nodiscard]] u16 ParamListLoad(StrSlice name, u16 layout, u16 code);
// ParamListLoad of a file of key=value (or key:value) pairs, every line
// read whole (layout 0), with the quote a line leaves open ended at the
// line's end (StrLineQuoteClose) instead of hiding the lines after it.
[[nodiscard]] u16 ParamListLoadPairs(StrSlice name);
// The value of key (after ':' or '=') in the current parameter list,
// normalised: a quoted value keeps its case, an unquoted one is upper-cased.
StrSlice ParamListLookup(StrSlice key);
// Drops the current parameter list.
[[nodiscard]] u16 ParamListPop();

// name + "." + the extension of file kind 1-14 (the "." only between two
// non-empty parts); any other kind gives the name alone.
StrSlice FileKindName(StrSlice name, u16 kind);

}  // namespace vk
