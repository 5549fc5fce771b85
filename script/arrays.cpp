#include "script/arrays.h"

#include "runtime/error.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/variables.h"

namespace vk {

u16 ArrayArgsEnd(u16 depth, u16 rc) {
  (void)StoreTrim(kGroupFuncArgs, depth);  // removing entries needs no room
  return rc;
}

u16 VarIndexParse(ExprCursor call, u16* idx, u16* status) {
  *status = 0;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ExprCursor after{};
  const FuncArgTypes types = FuncArgsCollect(call, kArrayMaxDims, &after);
  u16 count = 0;
  if (after.status >= kFirstError) {
    *status = after.status;
  } else if (types.ptr) {
    count = VarIndexTake(types, idx);
  }
  WorkMark(mark);
  return count;
}

u16 VarArrayGet(StrSlice name, ExprCursor call) {
  const u16 depth = StoreCount(kGroupFuncArgs);
  u16 idx[kArrayMaxDims] = {};
  u16 st = 0;
  const u16 count = VarIndexParse(call, idx, &st);
  return ArrayArgsEnd(depth, st ? st : VarArrayGetAt(name, count, idx));
}

u16 VarArraySet(StrSlice name, StrSlice value, ExprCursor call) {
  const u16 depth = StoreCount(kGroupFuncArgs);
  u16 idx[kArrayMaxDims] = {};
  u16 st = 0;
  const u16 count = VarIndexParse(call, idx, &st);
  return ArrayArgsEnd(depth, st ? st : VarArraySetAt(name, value, count, idx));
}

}  // namespace vk
