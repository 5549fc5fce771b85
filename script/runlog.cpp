#include "script/runlog.h"

#include <string>

#include "runtime/appenv.h"
#include "runtime/datetime.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/number.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/numtext.h"
#include "script/valtable.h"

namespace vk {
namespace {

constexpr char kLineEnd[] = "\r\n";
constexpr char kDefaultLogFormat[] = "%slog.txt";
constexpr char kErrorLineFormat[] = "Error #%u";
// Characters of the application's short name that start the default name.
constexpr u16 kLogPrefixLen = 2;

// The frame of an entry: the head (date, time, user) and the closing rule.
constexpr char kEntryHead[] = "*****************************\r\n Date:%s - Time:%s - User:%s\r\n";
constexpr char kEntryTail[] = "\r\n**********************\r\n\r\n";
constexpr char kEntryUser[] = "0";
// Room for the formatted head (its fixed part, a date and a time).
constexpr u16 kEntryHeadMax = 128;

// The text to write for a log line: an error slice becomes "Error #" and its
// code; any other text is itself.
StrSlice LineText(StrSlice text) {
  if (text.ptr) return text;
  const StrSlice s = StrFormatV(32, kErrorLineFormat, StrError(text));
  return s.ptr ? s : StrSlice{"", 0};
}

// The held lines: bytes [released, position) of what was held since the
// hold started are in g_held.
struct LogHold {
  bool on;
  u32 released;
  std::string held;
};
LogHold g_hold;

// The first line the log could not take since it was named, and why.
bool g_lost = false;
int g_lost_err = 0;

void NoteLost(bool ok) {
  if (ok || g_lost) return;
  g_lost = true;
  g_lost_err = OsLastError();
}

// Appends len bytes at the end of the open file; true when all went out.
bool PutAtEnd(u16 slot, StrSlice text) {
  if (text.len == 0) return true;
  return FileWriteBlock(slot, kFileAtEnd, text.ptr, text.len) == text.len;
}

// Appends text and CR LF to the named file in one write, so the line cannot
// be split by a failure in between; when the joined copy cannot be made (a
// text near the size limit, a full scratch stack) the two parts go out one
// by one. true when all went out.
bool AppendLine(StrSlice file_name, StrSlice text) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice line = LineText(text);
  const StrSlice whole = StrConcat(line, Lit(kLineEnd));
  bool ok = true;
  if (whole.ptr) {
    ok = FileWrite(file_name, kWriteAppend, whole.ptr, whole.len) == 0;
  } else {
    if (line.len > 0) ok = FileWrite(file_name, kWriteAppend, line.ptr, line.len) == 0;
    ok = FileWrite(file_name, kWriteAppend, kLineEnd, 2) == 0 && ok;
  }
  WorkMark(m);
  return ok;
}

}  // namespace

StrSlice LogFilePath() {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice stored = StoreGet(kGroupRun, kRunLogName);
  if (stored.len > 0) return WorkReturn(m, stored);

  const StrSlice names = StoreGet(kGroupIdentity, kIdAppNames);
  const StrSlice prefix = StrMid(ListItem(names, ':', 1), 0, kLogPrefixLen);
  const StrSlice name = StrFormatV(kLogNameMax, kDefaultLogFormat, prefix);
  return WorkReturn(m, PathJoin(StrSlice{"", 0}, name));
}

u16 LogSetFile(StrSlice name) {
  if (!name.ptr || name.len == 0) return 0;
  const u16 r = StoreSet(kGroupRun, kRunLogName, name);
  if (r != 0) return r;
  // The name as stored: the caller's slice may have pointed into the store,
  // which the store just rewrote. No file there is the usual case.
  (void)FileDelete(StoreGet(kGroupRun, kRunLogName));
  g_lost = false;
  g_lost_err = 0;
  return 0;
}

void LogLine(StrSlice text, u8 flags) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice line = LineText(text);
  if ((flags & static_cast<u16>(SysVarGet(kSysTrace))) != 0) {
    if (g_hold.on) {
      g_hold.held.append(line.ptr, line.len).append(kLineEnd);
    } else {
      const StrSlice path = LogFilePath();
      if (path.len) NoteLost(AppendLine(path, line));
    }
  }
  WorkMark(m);
}

void LogHoldStart() {
  if (g_hold.on) return;
  g_hold.on = true;
  g_hold.released = 0;
  g_hold.held.clear();
}

bool LogLost(int* err) {
  if (err) *err = g_lost ? g_lost_err : 0;
  return g_lost;
}

u32 LogHoldMark() { return g_hold.released + static_cast<u32>(g_hold.held.size()); }

void LogHoldRelease(u32 upto) {
  if (!g_hold.on || upto <= g_hold.released) return;
  const u32 n = upto - g_hold.released;
  if (n > g_hold.held.size()) return;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice path = LogFilePath();
  // One write: on a full disk the lines go out whole or not at all.
  if (path.len) NoteLost(OsFileAppend(path, g_hold.held.data(), n) == 0);
  WorkMark(m);
  g_hold.released = upto;
  g_hold.held.erase(0, n);
}

void LogHoldEnd(bool keep) {
  if (!g_hold.on) return;
  if (keep) LogHoldRelease(LogHoldMark());
  g_hold.on = false;
  g_hold.held.clear();
}

u8 LogAppendLine(StrSlice file_name, StrSlice text) {
  if (!file_name.ptr || file_name.len == 0) return 0;
  (void)AppendLine(file_name, text);  // a line that cannot be written is lost, as the contract says
  return 1;
}

u16 LogWriteEntry(StrSlice text, StrSlice file_name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice path = file_name.ptr && file_name.len > 0 ? file_name : LogFilePath();

  const i16 slot = FileOpen(path, kOpenPlain);
  if (FileOpenFailed(slot)) {
    const u16 code = ErrMsgAppend(kErrFileNotFound, PathShown(path), false);
    WorkMark(m);
    return code;
  }

  const StrSlice date = DateFormat(DateToText(DateToday()), kDateFull);
  const StrSlice time = TimeToText(TimeNow(), kTimeSeparators);
  const StrSlice head = StrFormatV(kEntryHeadMax, kEntryHead, date, time, kEntryUser);
  const StrSlice body = LineText(text);

  const u16 s = static_cast<u16>(slot);
  bool ok = head.ptr != nullptr;
  ok = ok && PutAtEnd(s, head);
  ok = ok && PutAtEnd(s, body);
  ok = ok && PutAtEnd(s, Lit(kEntryTail));
  // The entry is on disk only when the bytes still buffered went out too.
  if (FileClose(s) != s) ok = false;

  WorkMark(m);
  return ok ? 0 : kErrFileIO;
}

}  // namespace vk
