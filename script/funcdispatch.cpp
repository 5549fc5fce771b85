#include "script/funcdispatch.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/fncontrol.h"
#include "script/fnfile.h"
#include "script/fnvalue.h"
#include "script/funcargs.h"
#include "script/sortlist.h"

namespace vk {

namespace {

constexpr u16 kAll = kFuncAllArgs;

// Indexed by function number; entry 0 is unused. The names are those of
// the built-in name list, in its order.
constexpr FuncEntry kFuncTable[kFnCount + 1] = {
    {"", kAll, 0, nullptr},
    {"_#", kAll, 0, FnUnderNum},
    {"FN#FLEN", kAll, 0, FnFileLen},
    {"FN#SLEN", kAll, 0, FnStrLen},
    {"FN#PARM", kAll, 0, FnParmNum},
    {"FN#VALN", kAll, 0, FnValNum},
    {"FN#ACUM", 0, 0, FnAcum},  // reads its argument text itself
    {"CHK#", 1, 0, FnChk},     // the rest is left to the handler
    {"FILEFIND", kAll, 0, FnFileFind},
    {"FILEREL", 4, 0, FnFileRel},
    {"FILELOCATE", kAll, 0, FnFileLocate},
    {"FILESEL", kAll, 0, FnFileSel},
    {"FN$CHNG", kAll, 0, FnChange},
    {"FN$CHRS", kAll, 0, FnChars},
    {"FN$DATE", kAll, 0, FnDate},
    {"FN$FLDS", 0, 0, FnFields},
    {"FN$MASK", kAll, 0, FnMask},
    {"FN$MIDS", kAll, 0, FnMids},
    {"FN$PARM", kAll, 0, FnParmStr},
    {"FN$TRIM", kAll, 0, FnTrim},
    {"ENVELOP$", kAll, 0, FnEnvelope},
    {"CHK$", 1, 1, FnChk},
    {"SORT$", kAll, 0, FuncSortCall},
    {"EXEC$", kAll, 0, FnExec},
    {"READ$", kAll, 0, FnRead},
    {"WRITE", kAll, 0, FnWrite},
    {"MACRO$", kAll, 0, FnMacro},
    {"ENVRON$", kAll, 0, FnEnviron},
    {"_$", kAll, 0, FnUnderStr},
    {"KEY$", kAll, 0, FnKey},
    {"TIME$", kAll, 0, FnTime},
    {"IER", kAll, 0, FnIer},
    {"EXP$", 1, 0, FnExp},
    {"SQLCHILD", kAll, 0, FnSqlChild, FnSqlChildEnter, FnSqlChildLeave},
};

FuncExtFn g_ext[kFuncExtSlots] = {};

bool IsExtNumber(u16 number) { return number >= kFnExtFirst && number <= kFnExtLast; }

}  // namespace

u16 FuncNotBuilt(const FuncCallInfo& call) {
  const FuncEntry* e = FuncEntryOf(call.number);
  return ErrMsgAppend(kErrFeatureRemoved, StrC(e ? e->name : ""), ErrDetail().len > 0);
}

const FuncEntry* FuncEntryOf(u16 number) {
  return (number >= 1 && number <= kFnCount) ? &kFuncTable[number] : nullptr;
}

u16 FuncCallExt(u16 number, FuncArgTypes types) {
  if (!IsExtNumber(number)) return kErrSyntax;
  const FuncExtFn fn = g_ext[number - kFnExtFirst];
  return fn ? fn(types) : u16{kErrSyntax};
}

u16 FuncExtSet(u16 number, FuncExtFn fn) {
  if (!IsExtNumber(number)) return kErrSyntax;
  g_ext[number - kFnExtFirst] = fn;
  return 0;
}

u16 FuncCall(ExprCursor cursor) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 base = StoreCount(kGroupFuncArgs);
  const u16 number = cursor.func;
  const FuncEntry* entry = FuncEntryOf(number);

  FuncCallInfo call{};
  call.number = number;
  call.flag = entry ? entry->flag : 0;
  u16 st = 0;
  // A built-in that evaluates its arguments in a state of its own sets it
  // up first; it is put back below whatever the outcome.
  bool entered = false;
  if (entry && entry->enter) {
    st = entry->enter(&call);
    entered = st == 0;
  }

  WorkMarkId result_mark = mark;
  if (st == 0) {
    ExprCursor after{};
    const FuncArgTypes types = FuncArgsCollect(cursor, entry ? entry->limit : kAll, &after);
    if (!types.ptr) {
      st = StrError(types);
    } else if (after.status >= kFirstError) {
      // The first argument failed: the call fails with it rather than
      // running as a call without arguments.
      st = after.status;
    } else {
      call.types = types;
      call.after = after;
      // Only what the handler pushes is its result, never the types list.
      result_mark = WorkMark(kMarkQuery);
      const u16 outer_base = FuncArgFrameSet(base);
      if (!entry) {
        st = FuncCallExt(number, types);
      } else if (!entry->handler) {
        st = FuncNotBuilt(call);
      } else {
        st = entry->handler(call);
      }
      FuncArgFrameSet(outer_base);
    }
  }

  if (entered && entry->leave) entry->leave(call);

  if (WorkMark(kMarkQuery) > result_mark) {
    WorkReturn(mark, WorkTop());
  } else {
    WorkMark(mark);
    // A handler that succeeds without a value still gives a fresh one, so
    // that no older entry passes for its result.
    if (st < kFirstError) {
      if (const u16 rc = WorkPush("", 0)) st = rc;
    }
  }
  const u16 trimmed = StoreTrim(kGroupFuncArgs, base);
  return st ? st : trimmed;
}

u16 FuncSortCall(const FuncCallInfo& call) {
  i16 numbers[kFuncMaxArgs] = {};
  StrSlice texts[kFuncMaxArgs];
  for (StrSlice& t : texts) t = kStrEmpty;
  const u16 st = FuncArgsAll(call.types, numbers, texts, kFuncMaxArgs);
  if (st) return st;

  SortArgs a{};
  a.count = FuncArgTotal(call.types);
  for (u16 i = 0; i < a.count && i < kSortMaxArgs; ++i) {
    a.types[i] = FuncArgType(call.types, static_cast<u16>(i + 1));
    a.numbers[i] = numbers[i];
    a.texts[i] = texts[i];
  }
  return FnSort(a);
}

}  // namespace vk
