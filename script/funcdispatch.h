// The dispatcher of built-in function calls: the evaluator hands it the
// cursor of a call whose name is a built-in (its function number set). The
// result value is left as the scratch top; the result is a status code.
#pragma once
#include "runtime/slice.h"
#include "script/lexer.h"

namespace vk {

u16 FuncCall(ExprCursor cursor);

}  // namespace vk
