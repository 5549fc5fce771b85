// File, command and data-file built-ins: disk files and the open-file
// table, script execution, and the entry points of the data-file layer.
//
// Each is a handler of the built-in dispatch: it reads its arguments from
// the call, leaves its result as the scratch top and returns the status.
#pragma once
#include "script/funcdispatch.h"

namespace vk {

u16 FnFileLen(const FuncCallInfo& call);  // FN#FLEN
u16 FnRead(const FuncCallInfo& call);  // READ$
u16 FnWrite(const FuncCallInfo& call);  // WRITE
u16 FnFileSel(const FuncCallInfo& call);  // FILESEL
u16 FnExec(const FuncCallInfo& call);  // EXEC$
u16 FnSqlChild(const FuncCallInfo& call);  // SQLCHILD
u16 FnFileFind(const FuncCallInfo& call);  // FILEFIND
u16 FnFileRel(const FuncCallInfo& call);  // FILEREL
u16 FnFileLocate(const FuncCallInfo& call);  // FILELOCATE
u16 FnKey(const FuncCallInfo& call);  // KEY$
u16 FnIer(const FuncCallInfo& call);  // IER

}  // namespace vk
