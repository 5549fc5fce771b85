#include "script/fnvalue.h"

namespace vk {

u16 FnChange(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnChars(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnMids(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnTrim(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnParmStr(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnParmNum(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnStrLen(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnEnvelope(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnMask(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnValNum(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnDate(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnTime(const FuncCallInfo& call) { return FuncNotBuilt(call); }

}  // namespace vk
