#include "script/fncontrol.h"

namespace vk {

u16 FnChk(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnAcum(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnExp(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnMacro(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnFields(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnUnderNum(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnUnderStr(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnEnviron(const FuncCallInfo& call) { return FuncNotBuilt(call); }

}  // namespace vk
