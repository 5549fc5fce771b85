#include "runtime/moveword.h"

#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"

namespace vk {

namespace {

constexpr char kMoveWords[] = "NEW,TOP,PRV,RLD,NXT,BOT,FND,SVE,INS,DEL,LST,NLS,BLS,IMP,MDE,DDE,PRN,TSL";

}  // namespace

u16 DataFileMoveWord(StrSlice word) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice upper = StrCase(StrTrim(word, kTrimBoth), kUpper);
  const u16 number = StrError(upper) ? 0 : ListFind(StrC(kMoveWords), upper, ',');
  WorkMark(mark);
  return number;
}

}  // namespace vk
