#include "script/fnfile.h"

namespace vk {

u16 FnFileLen(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnRead(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnWrite(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnFileSel(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnExec(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnSqlChild(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnFileFind(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnFileRel(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnFileLocate(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnKey(const FuncCallInfo& call) { return FuncNotBuilt(call); }
u16 FnIer(const FuncCallInfo& call) { return FuncNotBuilt(call); }

}  // namespace vk
