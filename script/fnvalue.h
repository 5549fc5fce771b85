// Text and value built-ins: each computes a text or a number from its
// evaluated arguments alone and pushes it as the scratch top.
//
// Each is a handler of the built-in dispatch: it reads its arguments from
// the call, leaves its result as the scratch top and returns the status.
#pragma once
#include "script/funcdispatch.h"

namespace vk {

u16 FnChange(const FuncCallInfo& call);  // FN$CHNG
u16 FnChars(const FuncCallInfo& call);  // FN$CHRS
u16 FnMids(const FuncCallInfo& call);  // FN$MIDS
u16 FnTrim(const FuncCallInfo& call);  // FN$TRIM
u16 FnParmStr(const FuncCallInfo& call);  // FN$PARM
u16 FnParmNum(const FuncCallInfo& call);  // FN#PARM
u16 FnStrLen(const FuncCallInfo& call);  // FN#SLEN
u16 FnEnvelope(const FuncCallInfo& call);  // ENVELOP$
u16 FnMask(const FuncCallInfo& call);  // FN$MASK
u16 FnValNum(const FuncCallInfo& call);  // FN#VALN
u16 FnDate(const FuncCallInfo& call);  // FN$DATE
u16 FnTime(const FuncCallInfo& call);  // TIME$

}  // namespace vk
