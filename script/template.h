// Text templates: bracketed fields ('[', field text, ']') in a text stand for
// values. Expanding replaces each field by its value: a key looked up in a
// default text (the macro values of a run), on the command line or in the
// environment, or else the field evaluated as an expression. Values are
// texts; numbers are written with the decimals of _PRECIS. Also: the "[$]"
// placeholder of fixed snippets and the escapes "\{" and "\}".
//
// A field is the innermost bracket pair: the first ']' at or after the
// search start, paired with the nearest '[' before it in the searched rest;
// a ']' without a '[' before it is passed over.
//
// Every text result is one new scratch entry, or an error slice carrying the
// first failing field's code (the text expanded so far is discarded).
#pragma once
#include "runtime/slice.h"

namespace vk {

// Template flags, one word passed through every operation.
enum : u16 {
  kTplPlain = 0x01,       // brackets searched plainly (else quoted parts are skipped)
  kTplNoTrim = 0x02,      // keep the value's blanks and tabs
  kTplKey = 0x04,         // look the field up as a key first
  kTplEmptyNum = 0x10,    // a number whose text is empty stays empty (else "0")
  kTplQuote = 0x20,       // enclose the value in quotes
  kTplDoubleQuote = 0x40, // with kTplQuote: prefer '"' (else '\'')
  kTplReexpand = 0x80,    // rescan from the same start, so values are expanded too
  kTplUnescape = 0x100,   // after all fields, "\{" and "\}" become "[" and "]"
  kTplTrimField = 0x200,  // the field's text is trimmed of blanks and tabs first
};

// The flags of TplExpandWith.
constexpr u16 kTplWithFlags = kTplPlain | kTplKey | kTplEmptyNum;

// Fields that re-expansion may replace beyond the opening brackets the text
// had at the start. A value that keeps reproducing a field ends the
// expansion with 129 once this is used up; a growing one ends with 146 when
// the text would pass 65535 bytes.
constexpr u16 kTplMaxReexpand = 4096;

// What a stop test says of one field that TplExpandUntil found.
struct TplFieldVerdict {
  bool stop;   // the scan ends before this field, leaving it as written
  u16 status;  // non-zero: the field is expanded, then the scan ends with it
};
// Called with the field's text (trimmed with kTplTrimField) and ctx.
using TplStopTest = TplFieldVerdict (*)(const void* ctx, StrSlice field);

// Where TplExpandUntil ended.
struct TplScan {
  StrSlice text;  // the text with its fields expanded up to the stop (one
                  // scratch entry), or an error slice
  u16 at;         // the stop field's first byte after its '[' in text;
                  // kNotFound when no field stopped the scan
  u16 len;        // the stop field's length between its brackets
  u16 status;     // the stop test's status for the last field expanded
  u16 expanded;   // how many fields were replaced by their values
};

// The one field-expansion loop of the library: replaces fields by their
// values (TplFieldValue with flags and defaults) from the start of the text
// until a field that the stop test (may be null) stops at, or the end. With
// kTplReexpand the search restarts at the text's start after each value,
// else it resumes just after the value. The text is copied to the scratch
// stack before the first value is taken: evaluating a field may change the
// variable store, which moves every text read from it.
TplScan TplExpandUntil(StrSlice text, u16 flags, StrSlice defaults, TplStopTest stop, const void* ctx);
// TplExpandFields with an empty default text.
StrSlice TplExpand(StrSlice text, u16 flags);
// TplExpandFields with kTplWithFlags.
StrSlice TplExpandWith(StrSlice text, StrSlice defaults);
// The text with every field replaced by its value.
StrSlice TplExpandFields(StrSlice text, u16 flags, StrSlice defaults);
// The value of one field (its text without the brackets). With kTplKey the
// first non-empty of: the default text's "field=value" / "field:value"
// (trimmed, unquoted, upper-cased when unquoted), the command-line parameter
// (retried once in the other letter case), the environment variable (exact
// name first, then without regard to case). Otherwise, or when all are
// empty: a field ending in '%' is its own text (empty with kTplKey); any
// other field is evaluated. Then trimmed and quoted as the flags say (163
// when the value holds both quote characters).
StrSlice TplFieldValue(StrSlice field, u16 flags, StrSlice defaults);
// The text before the field's '[' (pos - 1 bytes), the value, and the text
// after the field's ']' (from pos + len + 1). 146 past 65535 bytes, 159 when
// the field does not lie inside the text with its brackets.
StrSlice TplSpanReplace(StrSlice text, u16 pos, u16 len, StrSlice value);
// Every "[$]" of the text (searched plainly) replaced by value; the text
// itself when the replacement cannot be made.
StrSlice TplSubstDollar(StrSlice text, StrSlice value);
// "\{" becomes "[", then "\}" becomes "]"; any non-zero low byte of flags
// makes the search plain (else quoted parts are skipped).
StrSlice TplUnescape(StrSlice text, u16 flags);
// Replaces each occurrence of the two-byte escape by replacement. An escape
// followed by its own second byte again ("\{{") loses that repeated byte
// and stays as the two literal bytes. Neither a replacement nor a kept
// escape is searched again.
StrSlice TplReplaceEscaped(StrSlice text, StrSlice escape, StrSlice replacement, u16 flags);

}  // namespace vk
