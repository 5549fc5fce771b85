#include "script/errtext.h"

#include <cstdlib>

#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/memory.h"
#include "runtime/message.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/uibackend.h"
#include "runtime/varstore.h"
#include "runtime/window.h"
#include "script/runlog.h"

namespace vk {
namespace {

// Messages of the catalogue.
constexpr char kMsgSuccess[] = "0005";     // code 0
constexpr char kMsgCaution[] = "0008";     // codes 1-120
constexpr char kMsgErrorPrefix[] = "0009"; // before the text of an error
constexpr char kMsgWarningTitle[] = "0012";
constexpr char kMsgErrorTitle[] = "0013";

constexpr u16 kLastCautionCode = 120;
// Codes whose text is the error detail when there is one.
constexpr u16 kDetailCodeUndefined = 121;
constexpr u16 kDetailCodeBadData = kWarnBadData;


// a + b as a new entry; a text that cannot be built keeps a, so an error
// text always comes back, at worst without a part of it.
StrSlice Append(StrSlice a, StrSlice b) {
  const StrSlice r = StrConcat(a, b);
  return r.ptr ? r : a;
}

}  // namespace

StrSlice ErrModuleName(i16 where) {
  if (where < 1 || where > static_cast<i16>(kErrModuleCount)) return kStrEmpty;
  const StrSlice names{kErrModuleNames, sizeof kErrModuleNames - 1};
  return ListItem(names, ',', static_cast<u16>(where));
}

StrSlice ErrTextBase(i16 code) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  u16 c = static_cast<u16>(code);
  if (code == kErrRecorded) {
    const u16 recorded = static_cast<u16>(ErrGet() & 0xFFFF);
    if (recorded != 0) c = recorded;
  }

  StrSlice text;
  if (c == kOk) {
    text = MsgText(kMsgSuccess);
  } else if (c <= kLastCautionCode) {
    text = MsgText(kMsgCaution);
  } else if (c == kDetailCodeUndefined || c == kDetailCodeBadData) {
    const StrSlice detail = ErrDetail();
    text = detail.len > 0 ? detail : ErrCodeName(c);
  } else {
    text = ErrCodeName(c);
  }
  return WorkReturn(m, text);
}

StrSlice ErrText(u16 code) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice text = ErrTextBase(static_cast<i16>(code));
  if (code >= kFirstError) {
    const StrSlice prefixed = StrConcat(MsgText(kMsgErrorPrefix), text);
    if (prefixed.ptr) text = prefixed;
    const i16 where = static_cast<i16>(ErrGet() >> 16);
    if (where != kWhereNone) {
      text = Append(text, StrSlice{"(", 1});
      text = Append(text, ErrModuleName(where));
      text = Append(text, StrSlice{")", 1});
    }
    const StrSlice detail = ErrDetail();
    if (detail.len > 0) {
      text = Append(text, StrSlice{": ", 2});
      text = Append(text, detail);
    }
  }
  return WorkReturn(m, text);
}

u16 ErrShowMessage(u16 code) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice text = ErrText(code);
  if (code >= kFirstError) {
    MsgBoxAsk(text, MsgText(kMsgErrorTitle), kMsgBoxError);
  } else {
    MsgBoxAsk(text, MsgText(kMsgWarningTitle), kMsgBoxWarning);
  }
  WorkMark(m);
  return StoreSet(kGroupRun, kRunErrorDetail, kStrEmpty);
}

u16 MemRoomCheck(u8 flag) {
  if (flag != kRoomCheckMarks) return 0;
  MemControl status;
  MemGetStatus(&status);
  const u32 needed = u32{status.work.high_marks} + kRoomMarksReserve;
  return needed > status.work.marks ? kErrOutOfMemory : 0;
}

void AssertCheck(bool condition, StrSlice text) {
  if (condition) return;
  // Owner-less on purpose: the box must show even when the window that would
  // own it is the one in trouble.
  const u16* wide_text = StrToWide(text);
  const u16* wide_title = StrToWide(StrSlice{kAssertTitle, sizeof kAssertTitle - 1});
  UiBackendGet()->message_box(kUiNoWindow, wide_text, wide_title, kUiMbOk | kUiMbIconError);
  // The process ends next: an entry that cannot be written is lost, the box was shown.
  (void)LogWriteEntry(text, StrSlice{kAssertLogName, sizeof kAssertLogName - 1});
  std::abort();
}

}  // namespace vk
