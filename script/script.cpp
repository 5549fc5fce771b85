#include "script/script.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/arrays.h"
#include "script/eval.h"
#include "script/lexer.h"
#include "script/numtext.h"
#include "script/variables.h"

namespace vk {

namespace {

constexpr char kStatementSep = ';';
constexpr u16 kScriptDetailMax = 1024;

// Why a script file that exists could not be read.
const char* ReadFailureReason(u16 err) {
  if (err == kErrStringTooLong) return "the file is over 65535 bytes, the most a script may hold";
  if (err == kErrOutOfMemory) return "the file does not fit in the memory left";
  return "the file cannot be read";
}

// The whole file as one new entry with every line end (CR LF, LF or a lone
// CR) turned into ';', so each line is one statement.
StrSlice ReadStatements(StrSlice name) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice all = FileReadAll(name, 0, kReadToEnd);
  if (!all.ptr) return all;
  char* p = const_cast<char*>(all.ptr);
  u16 at = 0;
  for (u16 i = 0; i < all.len; ++i) {
    if (p[i] == '\r') {
      if (i + 1 < all.len && p[i + 1] == '\n') ++i;
      p[at++] = kStatementSep;
    } else if (p[i] == '\n') {
      p[at++] = kStatementSep;
    } else {
      p[at++] = p[i];
    }
  }
  return WorkReturn(mark, p, at);
}

// The name an assignment item sets: its part before the first '=', without
// blanks (the evaluator ignores them too).
StrSlice ItemName(StrSlice item) {
  const u16 eq = StrFindChar(item, '=', kPlain);
  return StrTrim(eq == kNotFound ? item : StrSlice{item.ptr, eq}, kTrimBoth);
}

// Whether one of the ';' items of text sets name.
bool NameTaken(StrSlice text, StrSlice name) {
  for (StrSlice rest = text; rest.len > 0; rest = ListNext(rest, kStatementSep)) {
    if (StrEqual(ItemName(StrSlice{rest.ptr, ListItemLen(rest, kStatementSep)}), name)) return true;
    if (ListItemLen(rest, kStatementSep) == rest.len) break;
  }
  return false;
}

// acc + ';' + item as the one entry above mark.
StrSlice Append(WorkMarkId mark, StrSlice acc, StrSlice item) {
  const StrSlice joined = StrJoin(acc, StrSlice{";", 1}, item);
  if (StrError(joined)) return joined;
  return WorkReturn(mark, joined);
}

}  // namespace

u16 ScriptRunFile(StrSlice name, u16 flags) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice expanded = AppExpandPaths(name);
  if (StrError(expanded)) expanded = name;
  u16 result = 0;
  bool ran = false;
  const StrSlice found = PathSearch(StoreGet(kGroupIdentity, kIdDefaultFolder), expanded);
  if (found.ptr && found.len > 0) {
    const StrSlice text = ReadStatements(found);
    if (const u16 err = StrError(text)) {
      // A script that is there but cannot be read is an error, never taken
      // for a missing one: its variables would silently stay unset.
      result = ErrMsgAppend(err == kErrStringTooLong || err == kErrOutOfMemory ? err : u16{kErrRead},
                            StrFormatV(kScriptDetailMax, "Script %s: %s", PathShown(found),
                                       StrC(ReadFailureReason(err))),
                            false);
      ran = true;
    } else if (text.len > 0) {
      result = ExprExec(text);
      ran = true;
    }
  }
  if (!ran && (flags & kScriptReportMissing)) {
    result = ErrMsgAppend(kErrFileNotFound, PathShown(expanded), false);
  }
  WorkMark(mark);
  return result;
}

u16 VarFileUpdate(StrSlice file, StrSlice names) {
  if (u16 err = StrError(file)) return err;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  auto fail = [mark](u16 code) {
    WorkMark(mark);
    return code;
  };
  StrSlice path = AppExpandPaths(file);
  if (StrError(path)) path = file;
  // The list may live in the variable store, which evaluation changes.
  const StrSlice list = StrDup(StrOrEmpty(names));
  if (u16 err = StrError(list)) return fail(err);

  StrSlice old = kStrEmpty;
  if (FileFindInfo(path) == 0) {
    old = ReadStatements(path);
    // An existing file that cannot be read must not be replaced.
    if (u16 err = StrError(old)) return fail(err == kFailed ? u16{kErrRead} : err);
  }

  const WorkMarkId build = WorkMark(kMarkQuery);
  StrSlice acc = kStrEmpty;
  const u16 count = ListCount(list, ',');
  for (u16 k = 1; k <= count; ++k) {
    const StrSlice item = StrTrim(ListItem(list, ',', k), kTrimBoth);
    const StrSlice name = ItemName(item);
    if (name.len == 0 || NameTaken(acc, name)) continue;
    const u16 eq = StrFindChar(item, '=', kPlain);
    const StrSlice expr = eq == kNotFound ? name : StrSlice{item.ptr + eq + 1, static_cast<u16>(item.len - eq - 1)};
    const StrSlice value = ExprEvalStr(expr);
    // A value that cannot be had would write a wrong one: keep the file.
    if (u16 err = StrError(value)) return fail(err);
    const StrSlice line = ExprAssignText(name, value);
    if (u16 err = StrError(line)) return fail(err);
    acc = Append(build, acc, line);
    if (u16 err = StrError(acc)) return fail(err);
  }
  for (StrSlice rest = old; rest.len > 0; rest = ListNext(rest, kStatementSep)) {
    const u16 n = ListItemLen(rest, kStatementSep);
    const StrSlice item{rest.ptr, n};
    const StrSlice name = ItemName(item);
    if (StrTrim(item, kTrimBoth).len > 0 && !NameTaken(acc, name)) {
      acc = Append(build, acc, item);
      if (u16 err = StrError(acc)) return fail(err);
    }
    if (n == rest.len) break;
  }

  if (acc.len > 0) {
    // The new text replaces the file in one step.
    if (u16 err = FileWrite(path, kWriteReplace, acc.ptr, acc.len)) return fail(err);
  }
  WorkMark(mark);
  return ScriptRunFile(file, kScriptReportMissing);
}

StrSlice ExprAssignText(StrSlice name, StrSlice value) {
  if (StrError(name)) return name;
  if (StrError(value)) return value;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const ExprCursor c = ExprFirstToken(name);
  const bool is_text = c.status == 0 && (c.cls & kClassTextBit);
  WorkMark(mark);
  StrSlice v = value;
  if (is_text) {
    v = StrQuote(value, '\'');
    if (StrError(v)) return v;
  } else if (value.len == 0) {
    v = StrSlice{"0", 1};
  }
  return WorkReturn(mark, StrKeyJoin(name, v));
}

u16 VarAssignText(StrSlice name, StrSlice value, u8 numeric) {
  if (u16 err = StrError(name)) return err;
  if (u16 err = StrError(value)) return err;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice v = value;
  u16 st = 0;
  if (numeric == 0) {
    st = ValPushRaw(TextToFix(NumTextClean(value)));
    v = WorkTop();
  }
  if (st == 0) {
    switch (VarTypeOf(name)) {
      case kVarInt:
      case kVarText:
      case kVarNum:
        st = VarAssign(name, v);
        break;
      case kVarArray: {
        const ExprCursor c = ExprFirstToken(name);
        const StrSlice array{c.text + c.start, static_cast<u16>(c.operand_len + 1)};
        if (c.status) {
          st = c.status;
        } else if (!(c.cls & kCallFlags) || c.operand_len == 0) {
          st = kErrTypeMismatch;
        } else if ((c.cls & kCallBuiltin) && !VarDeclare(array)) {
          st = kErrTypeMismatch;
        } else {
          const u16 depth = StoreCount(kGroupFuncArgs);
          u16 idx[kArrayMaxDims] = {};
          const u16 n = VarIndexParse(c, idx, &st);
          st = ArrayArgsEnd(depth, st ? st : VarArraySetAt(array, v, n, idx));
        }
        break;
      }
      default:
        st = kErrTypeMismatch;
        break;
    }
  }
  WorkMark(mark);
  return st;
}

}  // namespace vk
