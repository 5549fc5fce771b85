// Control, template and variable built-ins: the ones that read the rest
// of their argument text themselves (CHK#, CHK$, FN#ACUM, EXP$, FN$FLDS) and
// the ones that work on variables and the variable store.
//
// Each is a handler of the built-in dispatch: it reads its arguments from
// the call, leaves its result as the scratch top and returns the status.
#pragma once
#include "script/funcdispatch.h"

namespace vk {

// The most passes a FN#ACUM loop makes: a counting loop over the whole range
// of its 16-bit counter. A loop that would go on past it, because its
// condition never turns false or its body keeps resetting the counter, ends
// with kErrLoop (129) instead of freezing the program.
constexpr u32 kAcumPassMax = 65536;

[[nodiscard]] u16 FnChk(const FuncCallInfo& call);  // CHK# and CHK$
[[nodiscard]] u16 FnAcum(const FuncCallInfo& call);  // FN#ACUM
[[nodiscard]] u16 FnExp(const FuncCallInfo& call);  // EXP$
[[nodiscard]] u16 FnMacro(const FuncCallInfo& call);  // MACRO$
[[nodiscard]] u16 FnFields(const FuncCallInfo& call);  // FN$FLDS
[[nodiscard]] u16 FnUnderNum(const FuncCallInfo& call);  // _#
[[nodiscard]] u16 FnUnderStr(const FuncCallInfo& call);  // _$
[[nodiscard]] u16 FnEnviron(const FuncCallInfo& call);  // ENVRON$

}  // namespace vk
