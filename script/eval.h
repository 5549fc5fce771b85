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
[[nodiscard]] u16 ExprEval(StrSlice text);
// A number as its text (trailing zero decimals dropped), a text unchanged,
// any other result as an error slice carrying the code.
StrSlice ExprEvalStr(StrSlice text);
// A number result divided by the scale and rounded half away from zero;
// 0 for every other result, a text included.
i16 ExprEvalInt(StrSlice text);
// 1 for the empty text (not evaluated); a number: 1 when it is non-zero;
// a text: 0; results of 122 and above as they are.
[[nodiscard]] u16 ExprEvalCond(StrSlice text);
// The result when it is 128 or more, else 0.
[[nodiscard]] u16 ExprExec(StrSlice text);

// Evaluates up to min(max, 16) arguments of the call the cursor has just
// read into variable group 35 (an omitted one as kArgOmitted). The types
// list (one new entry; empty when none was collected), or an error slice
// when an error stopped the collection after at least one argument; *out
// gets the cursor after the last argument (its status holds any error).
FuncArgTypes FuncArgsCollect(ExprCursor call, u16 max, ExprCursor* out);
// The steps of an evaluation, for built-ins that read the rest of their
// argument text themselves. Each takes the cursor after what was read so
// far and returns it after its own part, its status set; a value it gives
// is left as one new scratch entry.
// The next operand: its value pushed (an assignment target is not read).
ExprCursor ExprOperand(ExprCursor cursor);
// The operators that follow the operand whose value is the scratch top, as
// long as their precedence is at least floor, applied in precedence order;
// the result replaces that value.
ExprCursor ExprBinaryOps(ExprCursor cursor, u16 floor);
// A call of a name that is no built-in, its argument list just read: an
// array element (the name with its '(' names the array), or, for a name
// beginning with '_', the application's function (hook 2, ExprCallHook);
// without one that is 147. The value pushed, or the status.
[[nodiscard]] u16 ExprUserCall(StrSlice operand, ExprCursor cursor);

// The embedding application's function for name(...) calls of names that
// begin with '_' (hook 2): the name without '(' and its indices; a value
// text or an error slice.
using ExprCallHook = StrSlice (*)(StrSlice name, u16 count, const u16* indices);

}  // namespace vk
