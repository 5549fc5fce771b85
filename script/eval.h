// The expression evaluator: statement sequences (separated by ';' or ',')
// of operands and infix operators with precedence, over fixed-point numbers
// and texts, with assignment to typed variables.
//
// A value is the newest scratch entry: exactly 8 bytes a number scaled by
// 10^_PRECIS, any other length a text; which of the two travels beside it as
// the text bit of the cursor's class. Every level releases to its own mark,
// so an evaluation leaves exactly one new entry. Results: 0 a number, 1 a
// text, 122 cancelled, 124-127 warnings, 128 and above errors (recorded once
// with module 11; the failing operand and statement are appended to the
// error detail). Nesting of evaluation is bounded (145 beyond the bound).
#pragma once
#include "runtime/slice.h"
#include "script/lexer.h"

namespace vk {

// A text of u16 words, one per collected argument: 0 number, 1 text.
using FuncArgTypes = StrSlice;
// Number of arguments in a types list (0 for an error slice).
u16 FuncArgTotal(FuncArgTypes types);
// The recorded type of argument n (1-based): 0 number, 1 text; 0 outside
// the list. The list is a scratch entry, so its words are copied out
// rather than cast.
u16 FuncArgType(FuncArgTypes types, u16 n);

// Arguments a call collects at most.
constexpr u16 kFuncMaxArgs = 16;
// Collect every argument.
constexpr u16 kFuncAllArgs = 0xFFFF;
// Levels of operands, operator loops and nested evaluations at most.
constexpr u16 kExprMaxDepth = 200;
// The text an omitted argument is held as.
constexpr char kArgOmitted = '\x1B';

// Entry points.
u16 ExprEval(StrSlice text);
// A number as its text (trailing zero decimals dropped), a text unchanged,
// any other result as an error slice carrying the code.
StrSlice ExprEvalStr(StrSlice text);
// A number result divided by the scale and rounded half away from zero;
// 0 for every other result, a text included.
i16 ExprEvalInt(StrSlice text);
// 1 for the empty text (not evaluated); a number: 1 when it is non-zero;
// a text: 0; results of 122 and above as they are.
u16 ExprEvalCond(StrSlice text);
// The result when it is 128 or more, else 0.
u16 ExprExec(StrSlice text);

// Evaluates up to min(max, 16) arguments of the call the cursor has just
// read into variable group 35 (an omitted one as kArgOmitted). The types
// list (one new entry; empty when none was collected), or an error slice
// when an error stopped the collection after at least one argument; *out
// gets the cursor after the last argument (its status holds any error).
FuncArgTypes FuncArgsCollect(ExprCursor call, u16 max, ExprCursor* out);
// The index list of an array element the cursor has just read: up to 4
// indices into idx, their count returned; *status gets an evaluation error
// of 128 or more (then the count is 0).
// The array contract on group 35: the index list's arguments are collected
// there; the trailing numbers are taken off as indices, and a text argument
// with everything before it stays on the group, because a text array that
// does not exist yet is created from it (ArrayCreate takes its first
// element off the group). So the caller notes the group's depth before the
// parse and trims the group back to it after the element was read or
// stored (ArrayArgsEnd), never between the two.
u16 VarIndexParse(ExprCursor call, u16* idx, u16* status);
// Group 35 back to the depth noted before an index parse; passes rc on.
u16 ArrayArgsEnd(u16 depth, u16 rc);
// The element of the named array (name with its '(') whose index list the
// cursor has just read: pushed (VarArrayGet) or stored and pushed
// (VarArraySet); an error in the index list is the result.
u16 VarArrayGet(StrSlice name, ExprCursor call);
u16 VarArraySet(StrSlice name, StrSlice value, ExprCursor call);

// Inner operations.
ExprCursor ExprOperand(ExprCursor cursor);
ExprCursor ExprBinaryOps(ExprCursor cursor, u16 floor);
// The operator on left and the number on the scratch top; pushes the result.
ExprCursor ExprNumOp(i64 left, ExprCursor right, u16 op);
// The operator on left and the text on the scratch top.
ExprCursor ExprStrOp(StrSlice left, ExprCursor right, u16 op);
// -1, 0 or 1; equality with '*' patterns unless _AUXSTAT bit 128 is set.
i16 ExprStrCompare(StrSlice left, StrSlice right, u16 op);
u16 ExprAssign(ExprCursor target, ExprCursor value, bool release);
u16 ExprConstOrNumber(StrSlice operand);
u16 ExprUserCall(StrSlice operand, ExprCursor cursor);
u16 ExprBraceOperand(StrSlice operand);

// The embedding application's function for name(...) calls of names that
// begin with '_' (hook 2): the name without '(' and its indices; a value
// text or an error slice.
using ExprCallHook = StrSlice (*)(StrSlice name, u16 count, const u16* indices);

}  // namespace vk
