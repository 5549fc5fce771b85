// File, command and data-file built-ins: disk files and the open-file
// table, script execution, and the entry points of the data-file layer.
//
// Each is a handler of the built-in dispatch: it reads its arguments from
// the call, leaves its result as the scratch top and returns the status.
//
// EXEC$ never starts a program of the operating system: a command that is
// not a script file goes to the application's command executor (hook entry
// kHookExec), and without one the call fails with 148. FILEREL may go to the
// application's related-file hook (kHookFileRel). The signatures of the two
// hooks are below; an application stores them cast to LibHookFn.
#pragma once
#include "runtime/slice.h"
#include "script/funcdispatch.h"

namespace vk {

// The command executor: the command, its argument text and the mode
// (kExecModeFunction for EXEC$). On 0 its result text is the top entry of
// variable group 30, which EXEC$ takes off.
using ExecHookFn = u16 (*)(StrSlice command, StrSlice args, u16 mode);
constexpr u16 kExecModeFunction = 2;
// The related-file hook: the file number, the related number's low byte,
// the third argument, the flags and the unevaluated rest of the argument
// text. A status below 128 is FILEREL's number.
using FileRelHookFn = u16 (*)(u16 file, u8 related, i64 third, u16 flags, StrSlice rest);

// WRITE positions (byte offsets otherwise).
enum : i16 {
  kWriteAtEnd = -1,       // append
  kWriteAssignFile = -2,  // rewrite an assignment file with current values
  kWriteRecreate = -3,    // the text becomes the whole file
};
// The end-of-file mark READ$ gives for a length-0 read at the end.
constexpr char kReadEndMark = '\x1A';

[[nodiscard]] u16 FnFileLen(const FuncCallInfo& call);  // FN#FLEN
[[nodiscard]] u16 FnRead(const FuncCallInfo& call);  // READ$
[[nodiscard]] u16 FnWrite(const FuncCallInfo& call);  // WRITE
[[nodiscard]] u16 FnFileSel(const FuncCallInfo& call);  // FILESEL
[[nodiscard]] u16 FnExec(const FuncCallInfo& call);  // EXEC$
[[nodiscard]] u16 FnSqlChild(const FuncCallInfo& call);  // SQLCHILD

// SQLCHILD calls that may be active at once, plus one.
constexpr u16 kSqlChildLevels = 8;
// SQLCHILD evaluates its arguments one nesting level deeper (_SQLSTK), with
// the current row (_CURROW) reset; the level is bounded so that nesting
// cannot run away (159 at kSqlChildLevels). Leaving puts _SQLSTK, _CURROW
// and _IER back as they were.
[[nodiscard]] u16 FnSqlChildEnter(FuncCallInfo* call);
void FnSqlChildLeave(const FuncCallInfo& call);

[[nodiscard]] u16 FnFileFind(const FuncCallInfo& call);  // FILEFIND
[[nodiscard]] u16 FnFileRel(const FuncCallInfo& call);  // FILEREL
[[nodiscard]] u16 FnFileLocate(const FuncCallInfo& call);  // FILELOCATE
[[nodiscard]] u16 FnKey(const FuncCallInfo& call);  // KEY$
[[nodiscard]] u16 FnIer(const FuncCallInfo& call);  // IER

}  // namespace vk
