// The expression lexer: the token cursor, one step that reads an operand and
// the operator after it, the classes of operands, the syntax pre-check, the
// preparation of a text before it is read (blanks outside quotes removed,
// input macros expanded), argument lists, the built-in function names and
// the pushers that put values on the scratch stack in the interpreter's
// value form (an 8-byte entry is a number scaled by 10^_PRECIS, any other
// entry a text).
//
// The cursor is a small value passed into and out of every step. Positions
// and lengths are 16-bit and always lie inside the cursor's text.
#pragma once
#include "runtime/slice.h"

namespace vk {

struct ExprCursor {
  const char* text;  // the prepared expression text
  u16 length;        // how far it may be read (an argument list: its ')')
  u16 op;            // operator after the operand (kOp...), kOpNone if none
  u16 cls;           // operand class | call flag; after evaluation only the
                     // text bit counts
  u16 start;         // operand position
  u16 operand_len;   // operand length, without a following (...) part
  u16 pos;           // where the next step reads
  u16 inner;         // characters between a following '(' and its ')'
  u16 prec;          // precedence of op (kept by a step that finds none)
  u16 func;          // built-in function number when '(' follows, else 0
  u16 status;        // result code of the last step
};

// Operand classes and call flags.
enum : u16 {
  kClassNumber = 0,     // a number or a dot constant
  kClassTextBit = 1,    // the value is a text
  kClassQuoted = 1,     // a quoted literal
  kClassVarBit = 2,     // a variable name of any kind
  kClassIntVar = 2,
  kClassStrVar = 3,
  kClassNumVar = 6,
  kClassField = 8,      // a field reference in braces
  kClassFieldText = 9,
  kCallUser = 0x10,     // a name followed by '(' that is not a built-in; also
                        // the class of an operand holding '(' inside quotes
  kCallBuiltin = 0x20,  // a built-in function call
  kCallFlags = kCallUser | kCallBuiltin,
  kClassSubExpr = 0x40, // an empty operand followed by '(': ( ... )
};

// One top-level item of an argument list.
struct ExprSpan {
  u16 offset;
  u16 len;
};

// A cursor on the prepared text (one new scratch entry when the status is
// 0). Its status is the pre-check's result on the text as given, else the
// preparation's error, else 0.
ExprCursor ExprCursorInit(StrSlice text);
// The cursor over the argument list of the call the cursor has just read:
// from just after the '(' up to its ')'.
ExprCursor ExprCursorSet(ExprCursor cursor);
// One step: the next operand and the operator after it.
ExprCursor ExprNextToken(ExprCursor cursor);
// ExprCursorInit and, when that succeeded, one step.
ExprCursor ExprFirstToken(StrSlice text);
// The class of the operand the cursor designates.
u16 ExprTokenClass(ExprCursor cursor);
// From the cursor's position, the first '(' or ')' outside quotes opens;
// the number of characters between it and the parenthesis that balances it,
// or up to the end of the text when none does (0 when there is no opener).
u16 ExprMatchParen(ExprCursor cursor);
// The top-level items of an argument list (a cursor from ExprCursorSet), at
// most max of them into out; *count is the number stored. The last step's
// status.
[[nodiscard]] u16 ExprArgSpans(ExprCursor args, ExprSpan* out, u16 max, u16* count);
// Item n (1-based) of a ';'/','-separated prepared text, without its
// separator; parentheses and quotes are never split. A slice into text.
StrSlice ExprArgText(StrSlice text, u16 n);
// 1 when the text's first operand that has an operator after it (or else
// its last operand) is text-typed and that operator is none, '+' or '=';
// else 0. Nothing is evaluated.
u16 ExprResultType(StrSlice text);

// 0; 129 when the parentheses outside quotes do not balance (the detail is
// set to the text); 147 when a run of blanks outside quotes has no
// delimiter on either side (the detail is set to the rest after the run).
[[nodiscard]] u16 ExprCheckSyntax(StrSlice text);
// Blanks outside quotes removed and the input macros expanded: one new
// entry, or an error slice (145, 146).
StrSlice ExprPrepare(StrSlice text);
// The macro k whose name starts at pos expanded; the text itself (no new
// entry) when that occurrence cannot be expanded (empty argument list), an
// error slice when the result does not fit.
StrSlice ExprExpandAccept(StrSlice text, StrSlice name, u16 k, u16 pos);

// Built-in function names: kept NUL-separated as identity entry 8.
// The 1-based number of name (exact, then upper-cased), 0 when it is none.
u16 FuncListFind(StrSlice name);
// Stores the comma list with NULs for commas as identity entry 8 and returns
// the stored text, or the store's error slice.
StrSlice FuncListInit(StrSlice list);
u16 FuncListLookup(StrSlice nul_list, StrSlice name);

// Value pushers: one new entry each; 0, 145 on a full stack, 146 for a
// number that does not fit 64 bits once scaled.
[[nodiscard]] u16 ValPushRaw(i64 raw);
[[nodiscard]] u16 ValPushInt(i16 value);
[[nodiscard]] u16 ValPushLong(i64 value);
[[nodiscard]] u16 ValPushDecimal(StrSlice text);
[[nodiscard]] u16 ValPushIntText(StrSlice text);
// Variable kind 2 as ValPushIntText, 3 the text itself, 6 as
// ValPushDecimal; any other kind pushes nothing and gives 147.
[[nodiscard]] u16 ValPushTyped(u16 kind, StrSlice text);

// The 8-byte number held by a value entry (0 for an entry that is not one).
i64 ValNumber(StrSlice value);
// The scale factor 10^_PRECIS (exact: _PRECIS is taken as 0 to 18).
i64 NumScaleFactor();
// value x 10^_PRECIS in *out: false when that does not fit 64 bits.
bool ValScale(i64 value, i64* out);

}  // namespace vk
