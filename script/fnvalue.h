// Text and value built-ins: each computes a text or a number from its
// evaluated arguments alone and pushes it as the scratch top.
//
// Each is a handler of the built-in dispatch: it reads its arguments from
// the call, leaves its result as the scratch top and returns the status.
#pragma once
#include "script/funcdispatch.h"

namespace vk {

[[nodiscard]] u16 FnChange(const FuncCallInfo& call);  // FN$CHNG
[[nodiscard]] u16 FnChars(const FuncCallInfo& call);  // FN$CHRS
[[nodiscard]] u16 FnMids(const FuncCallInfo& call);  // FN$MIDS
[[nodiscard]] u16 FnTrim(const FuncCallInfo& call);  // FN$TRIM
[[nodiscard]] u16 FnParmStr(const FuncCallInfo& call);  // FN$PARM
[[nodiscard]] u16 FnParmNum(const FuncCallInfo& call);  // FN#PARM
[[nodiscard]] u16 FnStrLen(const FuncCallInfo& call);  // FN#SLEN
[[nodiscard]] u16 FnEnvelope(const FuncCallInfo& call);  // ENVELOP$
[[nodiscard]] u16 FnMask(const FuncCallInfo& call);  // FN$MASK
[[nodiscard]] u16 FnValNum(const FuncCallInfo& call);  // FN#VALN
[[nodiscard]] u16 FnDate(const FuncCallInfo& call);  // FN$DATE
[[nodiscard]] u16 FnTime(const FuncCallInfo& call);  // TIME$

}  // namespace vk
