// How built-in function handlers read their arguments.
//
// The dispatcher evaluates a call's arguments onto variable group 35, the
// last one on top, and hands the handler the types list (one u16 per
// argument: 0 number, 1 text). Arguments are taken off the top of the group,
// so a handler checks the count first and then reads argument max, max-1,
// ..., 1, stopping at the first status that is not 0. A read for an n
// within the count takes the top entry whatever n is; its type is that of
// the entry taken. An argument that is absent (n beyond the count) or was
// left empty in the list takes the default the handler reads it with.
//
// Values read are scratch entries above the caller's current mark; the
// dispatcher releases them when the call ends.
#pragma once
#include "runtime/slice.h"
#include "script/eval.h"
#include "script/lexer.h"

namespace vk {

// 0 when min <= number of arguments <= max, else 147.
[[nodiscard]] u16 FuncArgCount(FuncArgTypes types, u16 min, u16 max);
// The argument's type (0 or 1) with its value as one new scratch entry:
// the top argument of the call, or def (of type def_type) when n is beyond
// the count or the argument was left empty. 145 when the copy cannot be
// made (nothing new on the stack then).
[[nodiscard]] u16 FuncArgGet(FuncArgTypes types, u16 n, StrSlice def, u16 def_type);
// 0 and the argument as a 16-bit integer (rounded half away from zero,
// kept to its low 16 bits) in *out; an absent argument gives def. 128 for a
// text. Nothing is left on the scratch stack.
[[nodiscard]] u16 FuncArgNum(FuncArgTypes types, u16 n, i16 def, i16* out);
// 0 and the argument's text in *out (a scratch entry); an absent argument
// gives a copy of def. 128 for a number (nothing left on the stack then).
[[nodiscard]] u16 FuncArgStr(FuncArgTypes types, u16 n, StrSlice def, StrSlice* out);
// Every argument by its type at its own index: numbers[n-1] through
// FuncArgNum (default 0), texts[n-1] through FuncArgStr (default empty).
// 147 when there are more than max arguments or an argument's type has no
// array (either may be null). Stops at the first error; entries of absent
// arguments keep what the caller put there.
[[nodiscard]] u16 FuncArgsAll(FuncArgTypes types, i16* numbers, StrSlice* texts, u16 max);
// The top entry of group 35 taken off and copied as a new scratch entry,
// or the error slice 145 (the entry then stays).
StrSlice FuncArgPop();
// FuncArgPop as a status; an entry that is the lone omitted-argument mark
// becomes the empty text.
[[nodiscard]] u16 FuncArgTake();
// The cursor advanced token by token while its status is 0 and an operator
// follows the token: one argument skipped without evaluating it.
ExprCursor ExprSkipToEnd(ExprCursor cursor);

// The count of group 35 below the arguments of the call being run, so that
// reads never reach the arguments of an enclosing call. Returns the
// previous base; the dispatcher sets it for each call and puts it back.
u16 FuncArgFrameSet(u16 base);

}  // namespace vk
