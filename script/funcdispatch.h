// The dispatcher of built-in function calls: the evaluator hands it the
// cursor of a call whose name is a built-in (its function number set). The
// result value is left as the scratch top; the result is a status code.
//
// Each function number has an entry in a fixed table: its name, how many of
// its arguments are evaluated before the handler runs (the handler reads
// the rest of the argument text itself), its handler, and for a built-in
// whose arguments are evaluated in a state of their own (SQLCHILD) the steps
// that set that state up and put it back. A number whose handler is not
// built answers 148 with the function's name in the error detail. Numbers
// 34-49 are slots for functions of the embedding application; any other
// number is an error (147).
//
// Whatever happens, a call leaves at most one new scratch entry (none on an
// error the handler left no value for) and group 35 as it found it.
#pragma once
#include "runtime/slice.h"
#include "script/eval.h"
#include "script/lexer.h"

namespace vk {

// Function numbers: the 1-based positions in the built-in name list.
enum : u16 {
  kFnUnderNum = 1,     // _#
  kFnFileLen = 2,      // FN#FLEN
  kFnStrLen = 3,       // FN#SLEN
  kFnParmNum = 4,      // FN#PARM
  kFnValNum = 5,       // FN#VALN
  kFnAcum = 6,         // FN#ACUM
  kFnChkNum = 7,       // CHK#
  kFnFileFind = 8,     // FILEFIND
  kFnFileRel = 9,      // FILEREL
  kFnFileLocate = 10,  // FILELOCATE
  kFnFileSel = 11,     // FILESEL
  kFnChange = 12,      // FN$CHNG
  kFnChars = 13,       // FN$CHRS
  kFnDate = 14,        // FN$DATE
  kFnFields = 15,      // FN$FLDS
  kFnMask = 16,        // FN$MASK
  kFnMids = 17,        // FN$MIDS
  kFnParm = 18,        // FN$PARM
  kFnTrim = 19,        // FN$TRIM
  kFnEnvelope = 20,    // ENVELOP$
  kFnChkStr = 21,      // CHK$
  kFnSort = 22,        // SORT$
  kFnExec = 23,        // EXEC$
  kFnRead = 24,        // READ$
  kFnWrite = 25,       // WRITE
  kFnMacro = 26,       // MACRO$
  kFnEnviron = 27,     // ENVRON$
  kFnUnderStr = 28,    // _$
  kFnKey = 29,         // KEY$
  kFnTime = 30,        // TIME$
  kFnIer = 31,         // IER
  kFnExp = 32,         // EXP$
  kFnSqlChild = 33,    // SQLCHILD
  kFnCount = 33,
  kFnExtFirst = 34,
  kFnExtLast = 49,
};
constexpr u16 kFuncExtSlots = kFnExtLast - kFnExtFirst + 1;

// _SQLSTK, _CURROW and _IER as they were before a SQLCHILD call.
struct FuncSqlSaved {
  i16 sqlstk;
  i16 currow;
  i16 ier;
};

// What a handler receives.
struct FuncCallInfo {
  FuncArgTypes types;  // the evaluated arguments (on group 35)
  ExprCursor after;    // the cursor after the last evaluated argument
  u16 number;          // the function number
  u16 flag;            // CHK#: 0, CHK$: 1
  FuncSqlSaved saved;  // SQLCHILD only: what its enter step kept
};

// A handler leaves its result as the scratch top and returns the status.
using FuncHandler = u16 (*)(const FuncCallInfo& call);
// A built-in whose arguments are evaluated in a state of its own sets that
// state up before the first argument is evaluated (enter) and puts the old
// one back after the handler, whatever the outcome (leave). A status from
// enter refuses the call: nothing is evaluated and leave is not called.
using FuncEnter = u16 (*)(FuncCallInfo* call);
using FuncLeave = void (*)(const FuncCallInfo& call);

struct FuncEntry {
  const char* name;
  u16 limit;  // arguments evaluated before the handler (kFuncAllArgs: all)
  u16 flag;
  FuncHandler handler;      // null: not built
  FuncEnter enter = nullptr;  // null: the caller's state
  FuncLeave leave = nullptr;
};

// An application function of an extension slot.
using FuncExtFn = u16 (*)(FuncArgTypes types);

[[nodiscard]] u16 FuncCall(ExprCursor cursor);
// The function of extension slot number - 34 called with the types list;
// 147 for an empty slot or a number outside 34-49.
[[nodiscard]] u16 FuncCallExt(u16 number, FuncArgTypes types);
// Fills (fn) or empties (null) an extension slot: 0, or 147 for a number
// outside 34-49.
[[nodiscard]] u16 FuncExtSet(u16 number, FuncExtFn fn);
// The table entry of function number 1-33, null for any other number.
const FuncEntry* FuncEntryOf(u16 number);

// 148 with the called function's name added to the error detail: the
// answer of a function whose handler is not built.
[[nodiscard]] u16 FuncNotBuilt(const FuncCallInfo& call);

// SORT$: the arguments read by type and handed to the sorted-list handler.
[[nodiscard]] u16 FuncSortCall(const FuncCallInfo& call);

}  // namespace vk
