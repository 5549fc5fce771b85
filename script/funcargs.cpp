#include "script/funcargs.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/exprtables.h"
#include "script/numtext.h"

namespace vk {

namespace {

// Group 35's count below the arguments of the call being run.
u16 g_frame_base = 0;

bool IsOmittedMark(StrSlice v) { return v.len == 1 && v.ptr[0] == kArgOmitted; }

// Takes argument n off the group when the call has it: its type, with the
// value as one new scratch entry and *taken set. *taken stays false (and
// nothing is pushed) when the default applies: n beyond the count, no
// argument of this call left on the group, or an argument left empty.
u16 ArgFetch(FuncArgTypes types, u16 n, bool* taken) {
  *taken = false;
  const u16 count = FuncArgTotal(types);
  const u16 held = StoreCount(kGroupFuncArgs);
  const u16 in_frame = held > g_frame_base ? static_cast<u16>(held - g_frame_base) : 0;
  if (n == 0 || n > count || in_frame == 0) return 0;
  // The top entry is argument in_frame of this call; the value and the type
  // reported must belong to the same argument.
  const u16 type = FuncArgType(types, in_frame <= count ? in_frame : n);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice v = FuncArgPop();
  if (!v.ptr) return StrError(v);
  // A number is always 8 bytes: an empty or marked number entry is an
  // argument left empty. A text holding the mark byte is a real text.
  if (type == 0 && (v.len == 0 || IsOmittedMark(v))) {
    WorkMark(mark);
    return 0;
  }
  *taken = true;
  return type;
}

}  // namespace

u16 FuncArgFrameSet(u16 base) {
  const u16 prev = g_frame_base;
  g_frame_base = base;
  return prev;
}

u16 FuncArgCount(FuncArgTypes types, u16 min, u16 max) {
  const u16 n = FuncArgTotal(types);
  return (n >= min && n <= max) ? 0 : u16{kErrSyntax};
}

u16 FuncArgGet(FuncArgTypes types, u16 n, StrSlice def, u16 def_type) {
  bool taken = false;
  const u16 type = ArgFetch(types, n, &taken);
  if (type >= kFirstError || taken) return type;
  def = StrOrEmpty(def);
  if (WorkPush(def.ptr, def.len)) return kErrOutOfMemory;
  return def_type & 1;
}

u16 FuncArgNum(FuncArgTypes types, u16 n, i16 def, i16* out) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  bool taken = false;
  const u16 type = ArgFetch(types, n, &taken);
  if (type >= kFirstError) return type;
  u16 st = 0;
  if (!taken) {
    *out = def;
  } else if (type == 0) {
    // Kept to the low 16 bits: a default of -1 and 65535 read alike.
    *out = static_cast<i16>(FixDivPow10(ValNumber(WorkTop()), NumPrecis()));
  } else {
    st = kErrTypeMismatch;
  }
  WorkMark(mark);
  return st;
}

u16 FuncArgStr(FuncArgTypes types, u16 n, StrSlice def, StrSlice* out) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  bool taken = false;
  const u16 type = ArgFetch(types, n, &taken);
  if (type >= kFirstError) return type;
  if (taken && type == 0) {
    WorkMark(mark);
    return kErrTypeMismatch;
  }
  if (!taken) {
    def = StrOrEmpty(def);
    if (WorkPush(def.ptr, def.len)) return kErrOutOfMemory;
  }
  *out = WorkTop();
  return 0;
}

u16 FuncArgsAll(FuncArgTypes types, i16* numbers, StrSlice* texts, u16 max) {
  const u16 count = FuncArgTotal(types);
  if (count > max) return kErrSyntax;
  for (u16 n = count; n >= 1; --n) {
    // An argument left empty is recorded as a number; a caller that keeps
    // only texts receives it as the empty text.
    const bool omitted = IsOmittedMark(StoreTop(kGroupFuncArgs));
    const u16 type = FuncArgType(types, n);
    u16 st = 0;
    if (texts && (type == 1 || (omitted && !numbers))) {
      st = FuncArgStr(types, n, kStrEmpty, &texts[n - 1]);
    } else if (numbers && type == 0) {
      st = FuncArgNum(types, n, 0, &numbers[n - 1]);
    } else {
      st = kErrSyntax;
    }
    if (st) return st;
  }
  return 0;
}

StrSlice FuncArgPop() { return StorePopValue(kGroupFuncArgs); }

u16 FuncArgTake() {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice v = FuncArgPop();
  if (!v.ptr) return StrError(v);
  if (IsOmittedMark(v)) {
    WorkMark(mark);
    return WorkPush("", 0);
  }
  return 0;
}

ExprCursor ExprSkipToEnd(ExprCursor c) {
  do {
    c = ExprNextToken(c);
  } while (c.status == 0 && c.op != kOpNone);
  return c;
}

}  // namespace vk
