#include "script/fnfile.h"

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/moveword.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/stubs.h"
#include "runtime/varstore.h"
#include "script/funcargs.h"
#include "script/lexer.h"
#include "script/numtext.h"
#include "script/script.h"
#include "script/valtable.h"

namespace vk {

namespace {

// The number 0 as an argument default of FuncArgGet.
constexpr char kZeroNumber[8] = {};

// Move codes handed to the data-file layer.
constexpr u16 kMoveFirst = 36;
constexpr u16 kMoveNext = 16;
// The FILELOCATE code that deletes the current record; every other code
// moves by its low byte.
constexpr u16 kLocateDelete = 1602;
constexpr u16 kMoveCodeMask = 0x00FF;


// FILEFIND flags and the find status for a key that is not there.
enum : u16 {
  kFindAddMissing = 0x04,  // insert a record for a key not found
  kFindScan = 0x08,        // from the first record forward instead of an index
};
constexpr u16 kFindNotFound = 2;

// FILEREL flags.
enum : u16 {
  kRelAlways = 0x01,   // always set
  kRelKeyed = 0x02,    // kept only after one of kRelKeepKeys
  kRelApp = 0x04,      // the application's hook may take the update
  kRelNoKeyTest = 0x10,
};
// Last keys after which kRelKeyed stays set.
constexpr i16 kRelKeepKeys[] = {23, 29};
// Bit of _UPSTAT that lets the application's related-file hook run.
constexpr u16 kUpstatAppRel = 0x04;

// FILESEL mode bits that FileOpen takes.
constexpr u16 kSelOpenBits = kOpenPlain | kOpenWrite | kOpenAppend | kOpenNoUpdate;

// The name with its path macros expanded; the name itself when the
// expansion fails.
StrSlice Expanded(StrSlice name) {
  const StrSlice e = AppExpandPaths(name);
  return StrError(e) ? name : e;
}

// The whole number held by a number value, rounded as FuncArgNum rounds.
i64 WholeOf(StrSlice value) { return FixDivPow10(ValNumber(value), NumPrecis()); }

// A file number value as a slot of the open-file table (negative numbers
// land outside the table).
u16 SlotOf(StrSlice value) { return static_cast<u16>(static_cast<i16>(WholeOf(value))); }

// The argument as a whole number without narrowing to 16 bits (0 when
// absent); 128 for a text.
u16 ArgWhole(FuncArgTypes types, u16 n, i64* out) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 type = FuncArgGet(types, n, StrSlice{kZeroNumber, sizeof kZeroNumber}, 0);
  if (type >= kFirstError) return type;
  const u16 st = type == 0 ? 0 : u16{kErrTypeMismatch};
  if (st == 0) *out = WholeOf(WorkTop());
  WorkMark(mark);
  return st;
}

// A status below limit becomes the call's number; any other is the call's
// status.
u16 StatusResult(u16 status, u16 limit) { return status < limit ? ValPushLong(status) : status; }

// The write status of text written to a named file at position.
u16 WriteNamed(StrSlice target, i16 position, StrSlice text) {
  // The assignment file is rewritten through a temporary file, so a
  // failure keeps the old one.
  if (position == kWriteAssignFile) return VarFileUpdate(target, text);
  const StrSlice name = Expanded(target);
  // Recreating deletes the old file first; with no text nothing is written
  // after it, so the file is gone and the status is 131.
  if (position == kWriteRecreate) return FileWrite(name, kWriteReplace, text.ptr, text.len);
  const i32 at = position == kWriteAtEnd ? kWriteAppend : i32{static_cast<u16>(position)};
  return FileWrite(name, at, text.ptr, text.len);
}

// The write status of text written to an open file; 151 for a number that
// is no open file.
u16 WriteSlot(u16 slot, i16 position, StrSlice text) {
  if (!FileStream(slot)) return kErrBadFileNumber;
  // -1 reads as kFileAtEnd, the end of the file.
  return FileWriteAt(slot, static_cast<u16>(position), text);
}

// The move code of a FILELOCATE word, as the data-file layer translates it
// from the word's number.
u16 LocateCode(StrSlice word) {
  return DataFileStubNone(DataFileMoveWord(word));
}

bool KeepsRelKeyed(i16 last_key) {
  for (const i16 k : kRelKeepKeys) {
    if (k == last_key) return true;
  }
  return false;
}

// The argument text after the evaluated arguments, unevaluated.
StrSlice RestOf(const ExprCursor& after) {
  if (!after.text || after.pos >= after.length) return kStrEmpty;
  return StrSlice{after.text + after.pos, static_cast<u16>(after.length - after.pos)};
}

}  // namespace

u16 FnFileLen(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 1, 1)) return st;
  StrSlice name{};
  if (u16 st = FuncArgStr(call.types, 1, kStrEmpty, &name)) return st;
  return ValPushLong(FileSize(Expanded(name)));
}

u16 FnRead(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 1, 3)) return st;
  i16 length = 0, position = 0;
  u16 st = FuncArgNum(call.types, 3, -1, &length);
  if (st == 0) st = FuncArgNum(call.types, 2, 0, &position);
  if (st) return st;
  const u16 type = FuncArgGet(call.types, 1, kStrEmpty, 1);
  if (type >= kFirstError) return type;
  const StrSlice target = WorkTop();

  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice got{};
  if (type == 1) {
    got = FileReadAll(Expanded(target), static_cast<u16>(position), static_cast<u16>(length));
  } else {
    const u16 slot = SlotOf(target);
    if (length == 0) {
      static constexpr char kMark[] = {kReadEndMark};
      return FileEof(slot) ? WorkPush(kMark, 1) : WorkPush("", 0);
    }
    // Position -1 reads on from the current position, length -1 one line.
    got = FileReadLine(slot, static_cast<u16>(position), static_cast<u16>(length));
  }
  // Every read failure, the end of the file included, is the empty text.
  if (StrError(got)) {
    WorkMark(mark);
    return WorkPush("", 0);
  }
  return 0;
}

u16 FnWrite(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 3, 3)) return st;
  StrSlice text{};
  i16 position = 0;
  u16 st = FuncArgStr(call.types, 3, kStrEmpty, &text);
  if (st == 0) st = FuncArgNum(call.types, 2, 0, &position);
  if (st) return st;
  const u16 type = FuncArgGet(call.types, 1, kStrEmpty, 1);
  if (type >= kFirstError) return type;
  const StrSlice target = WorkTop();
  const u16 status = type == 1 ? WriteNamed(target, position, text) : WriteSlot(SlotOf(target), position, text);
  // The status is the value: WRITE itself never fails.
  return ValPushLong(status);
}

u16 FnFileSel(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 1, 2)) return st;
  i16 mode = 1;
  if (u16 st = FuncArgNum(call.types, 2, 1, &mode)) return st;
  u16 status = 0;
  if (FuncArgTotal(call.types) == 2) {
    StrSlice name{};
    if (u16 st = FuncArgStr(call.types, 1, kStrEmpty, &name)) return st;
    // Quiet: the slot, or the open error as the status.
    status = static_cast<u16>(FileOpen(name, (static_cast<u16>(mode) & kSelOpenBits) | kOpenQuiet));
  } else {
    const u16 type = FuncArgGet(call.types, 1, kStrEmpty, 1);
    if (type >= kFirstError) return type;
    if (type == 0) {
      // The standard streams stay open; a close that lost bytes is the status.
      if (FileClose(SlotOf(WorkTop())) == kErrFileIO) status = kErrFileIO;
    } else {
      status = DataFileSelect(WorkTop(), static_cast<u16>(mode));
    }
  }
  return StatusResult(status, kFirstWarning);
}

u16 FnExec(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 1, 2)) return st;
  StrSlice args{}, command{};
  u16 st = FuncArgStr(call.types, 2, kStrEmpty, &args);
  if (st == 0) st = FuncArgStr(call.types, 1, kStrEmpty, &command);
  if (st) return st;

  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice ext = PathPart(command, kPartExt);
  const bool script = !StrError(ext) && ext.len > 0 && args.len == 0;
  WorkMark(mark);
  if (script) {
    st = ScriptRunFile(command, kScriptReportMissing);
    return st >= kFirstError ? st : WorkPush("", 0);
  }
  // A command is the application's to run; this program never hands one to
  // the operating system.
  const auto exec = reinterpret_cast<ExecHookFn>(LibHookGet(kHookExec));
  if (!exec) return ErrMsgAppend(kErrFeatureRemoved, StrC("EXEC$()"), false);
  st = exec(command, args, kExecModeFunction);
  if (st) return st;
  return StrError(StorePopValue(kGroupFuncPop));
}

u16 FnSqlChildEnter(FuncCallInfo* call) {
  call->saved = FuncSqlSaved{SysVarGet(kSysSqlstk), SysVarGet(kSysCurrow), SysVarGet(kSysIer)};
  const u16 level = static_cast<u16>(call->saved.sqlstk + 1);
  if (level >= kSqlChildLevels) return kErrStrOutBound;
  SysVarSet(kSysCurrow, 0);
  SysVarSet(kSysSqlstk, level);
  return 0;
}

void FnSqlChildLeave(const FuncCallInfo& call) {
  SysVarSet(kSysSqlstk, call.saved.sqlstk);
  SysVarSet(kSysCurrow, call.saved.currow);
  SysVarSet(kSysIer, call.saved.ier);
}

// The arguments were evaluated one level deeper; the level comes back in
// the leave step.
u16 FnSqlChild(const FuncCallInfo&) { return ValPushInt(0); }

u16 FnFileFind(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 1, 4)) return st;
  i16 flags = 0, index = 0, file = 0;
  StrSlice key{};
  u16 st = FuncArgNum(call.types, 4, 0, &flags);
  if (st == 0) st = FuncArgNum(call.types, 3, 0, &index);
  if (st == 0) st = FuncArgNum(call.types, 2, SysVarGet(kSysCurfil), &file);
  if (st == 0) st = FuncArgStr(call.types, 1, kStrEmpty, &key);
  if (st) return st;

  const u16 f = static_cast<u16>(file);
  const u16 bits = static_cast<u16>(flags);
  if (bits & kFindScan) {
    st = DataFileMove(f, kMoveFirst);
    if (st < kFirstError) st = DataFileMoveExt(f, kMoveNext, key);
  } else {
    st = DataFileFind(f, static_cast<u16>(index), key);
    if (st == kFindNotFound && (bits & kFindAddMissing) && key.len > 0) {
      st = BufferKeySet(f, static_cast<u16>(index), key);
      if (st < kFirstError) st = DataFileInsert(f);
    }
  }
  return StatusResult(st, kFirstError);
}

u16 FnFileRel(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 3, 4)) return st;
  i64 arg[4] = {};
  for (u16 n = 4; n >= 1; --n) {
    const u16 st = ArgWhole(call.types, n, &arg[n - 1]);
    if (st == kErrTypeMismatch) return kErrSyntax;  // numbers only
    if (st) return st;
  }
  const i16 first = static_cast<i16>(arg[0]);
  // Argument 1 names the file only when it is an open data file.
  const u16 file = first >= 1 && DataFileInfo(static_cast<u16>(first)) ? static_cast<u16>(first)
                                                                          : static_cast<u16>(SysVarGet(kSysCurfil));
  const u8 related = static_cast<u8>(arg[1]);
  const i64 third = arg[2];
  u16 flags = static_cast<u16>(static_cast<u16>(arg[3]) | kRelAlways);
  if ((flags & (kRelKeyed | kRelNoKeyTest)) == kRelKeyed && !KeepsRelKeyed(SysVarGet(kSysLastkey))) {
    flags = static_cast<u16>(flags & ~kRelKeyed);
  }
  const StrSlice rest = RestOf(call.after);

  const auto hook = reinterpret_cast<FileRelHookFn>(LibHookGet(kHookFileRel));
  u16 st = 0;
  if ((flags & kRelApp) && SysVarTest(kSysUpstat, kUpstatAppRel) && hook) {
    st = hook(file, related, third, flags, rest);
  } else {
    st = DataFileRelUpdate(file, related, third, flags, rest);
  }
  return StatusResult(st, kFirstError);
}

u16 FnFileLocate(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 1, 2)) return st;
  i16 file = 0;
  StrSlice word{};
  u16 st = FuncArgNum(call.types, 2, SysVarGet(kSysCurfil), &file);
  if (st == 0) st = FuncArgStr(call.types, 1, StrC("NXT"), &word);
  if (st) return st;
  const u16 f = static_cast<u16>(file);
  const u16 code = LocateCode(word);
  st = code == kLocateDelete ? DataFileDelete(f) : DataFileMove(f, code & kMoveCodeMask);
  return StatusResult(st, kFirstError);
}

// KEY$ and IER read a data file's descriptor, which no file has in this
// program: the key is the empty text and the error status 0 for every file.
u16 FnKey(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 0, 4)) return st;
  i16 fourth = 0, third = 0, index = 0, file = 0;
  u16 st = FuncArgNum(call.types, 4, 0, &fourth);
  if (st == 0) st = FuncArgNum(call.types, 3, 1, &third);
  if (st == 0) st = FuncArgNum(call.types, 2, 0, &index);
  if (st == 0) st = FuncArgNum(call.types, 1, SysVarGet(kSysCurfil), &file);
  if (st) return st;
  return WorkPush("", 0);
}

u16 FnIer(const FuncCallInfo& call) {
  if (u16 st = FuncArgCount(call.types, 0, 1)) return st;
  i16 file = 0;
  if (u16 st = FuncArgNum(call.types, 1, SysVarGet(kSysCurfil), &file)) return st;
  return ValPushInt(0);
}

}  // namespace vk
