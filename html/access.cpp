#include "html/access.h"

#include "html/forms.h"
#include "html/render.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/osfile.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/valtable.h"

namespace vk {

WebUserCheckFn WebUserCheckHook = WebUserCheck;
WebPageRenderFn WebFailPageRender = HtmlFailPageRender;

namespace {

constexpr char kAccessFile[] = ".htsafety";
constexpr char kUsersKey[] = "users";
constexpr char kLoginFields[] =
    "User:;user;30;[user];text,Password:;passw;30;[passw];password,;;;Aceptar;submit";
// The protection file is read whole: no key columns, every line.
constexpr u16 kAccessLayout = 0;
constexpr u16 kAccessCode = 0;
// Where an unquoted value of a parameter text ends.
constexpr char kValueEnds[] = ": &/";
// Bytes that never stand in a name field of a users file line (the line's
// separators, the line ends) nor in a request's name.
constexpr char kNotInUserName[] = ":=&\r\n";

u16 SafeBits() { return static_cast<u16>(SysVarGet(kSysSafe)); }

// The user name the check goes by: REMOTE_USER when the web server names
// the user, else the request's "user". One new scratch entry.
StrSlice TakenUser(u16 safe) {
  if (safe & kSafeRemoteUser) return EnvGet(Lit("REMOTE_USER"));
  return CgiParam(Lit("user"));
}

// True when a and b are the same text apart from letter case.
bool SameName(StrSlice a, StrSlice b) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice ua = StrCase(a, kUpper);
  const StrSlice ub = StrCase(b, kUpper);
  const bool same = !StrError(ua) && !StrError(ub) && StrEqual(ua, ub);
  WorkMark(m);
  return same;
}

// The password that the users file text stores for user, normalised as a
// request value is (trimmed, unquoted, upper-cased when neither was needed);
// false when no line names the user. The file is read line by line (CR, LF
// or CR LF): a line names its user in the field before its first ':' or
// '=', and its password is the value that follows, within that line.
bool StoredPassword(StrSlice text, StrSlice user, StrSlice* stored) {
  if (user.len == 0 || StrFindAny(user, Lit(kNotInUserName), kPlain) != kNotFound) return false;
  u16 at = 0;
  while (at < text.len) {
    const StrSlice rest{text.ptr + at, static_cast<u16>(text.len - at)};
    const u16 end = StrFindAny(rest, Lit("\r\n"), kPlain);
    const StrSlice line{rest.ptr, end == kNotFound ? rest.len : end};
    u32 next = u32{at} + line.len;
    if (next < text.len && text.ptr[next] == '\r') ++next;
    if (next < text.len && text.ptr[next] == '\n') ++next;
    at = static_cast<u16>(next);

    const u16 sep = StrFindAny(line, Lit(":="), kPlain);
    if (sep == kNotFound) continue;
    const StrSlice name = StrTrimSet(StrSlice{line.ptr, sep}, kTrimBoth, Lit(" \t"));
    if (!StrEqual(name, user)) continue;
    const StrSlice value{line.ptr + sep + 1, static_cast<u16>(line.len - sep - 1)};
    const u16 stop = StrFindAny(value, Lit(kValueEnds), kQuoteAware);
    *stored = StrNormalize(StrSlice{value.ptr, stop == kNotFound ? value.len : stop});
    return true;
  }
  return false;
}

// The "users" value of the current parameter list as it is written (only
// trimmed and unquoted): file names keep their letter case.
StrSlice UsersFileName() {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice v = StrGetParamEx(StoreTop(kGroupParamLists), Lit(kUsersKey), kParamAsIs);
  if (!StrError(v)) v = StrUnquote(StrTrimSet(v, kTrimBoth, Lit(" \t")));
  // A copy: the store may move its texts before the check is done.
  return WorkReturn(m, v);
}

// Every byte of a user name that can stand in the form's field list and in
// the value attribute as it is.
bool SafeFormValue(StrSlice s) {
  for (u16 i = 0; i < s.len; ++i) {
    const u8 c = static_cast<u8>(s.ptr[i]);
    if (c < 0x20 || c == 0x7F) return false;
    switch (c) {
      case '"': case '\'': case ',': case ';': case '&': case '<': case '>':
        return false;
      default:
        break;
    }
  }
  return true;
}

// Whether the request's fail page may stand in for the refused page at
// path: never the refused page itself, nor a page whose folder holds a
// protection file that refuses this request. A folder without one shows it.
bool FailPageShown(StrSlice fail, StrSlice path) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice fail_path = CgiHtmlPath(fail);
  bool shown = !StrError(fail_path) && !OsSameFile(fail_path, path);
  if (shown && (SafeBits() & kSafeAccessFile)) {
    const StrSlice folder = PathPart(fail_path, kPartParent);
    OsStat st;
    if (OsStatPath(PathJoin(folder, Lit(kAccessFile)), &st)) shown = WebAccessCheck(folder) == 0;
  }
  WorkMark(m);
  return shown;
}

}  // namespace

u16 WebAccessCheck(StrSlice folder) {
  const u16 safe = SafeBits();
  if (!(safe & (kSafeAccessFile | kSafeRemoteUser))) return 0;

  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice user = TakenUser(safe);
  u16 result = StrError(user);
  if (result) {
    // An unusable user name refuses the page.
  } else if (safe & kSafeAccessFile) {
    const StrSlice file = PathJoin(folder, Lit(kAccessFile));
    if (StrError(file)) {
      result = StrError(file);
    } else if (ParamListLoad(file, kAccessLayout, kAccessCode) != 0) {
      result = ErrMsgAppend(kErrFileNotFound, PathShown(file), false);
    } else {
      // A protected folder without a user name asks for one. A request
      // that names another user than the web server did is refused.
      result = kErrPermission;
      bool agree = true;
      if (safe & kSafeRemoteUser) {
        const StrSlice asked = CgiParam(Lit("user"));
        agree = !StrError(asked) && (asked.len == 0 || SameName(asked, user));
      }
      if (user.len && agree) {
        const StrSlice users = UsersFileName();
        result = StrError(users);
        if (!result) result = WebUserCheckHook ? WebUserCheckHook(users) : u16{kErrPermission};
      }
      (void)ParamListPop();  // removing an entry needs no room
    }
  } else if (user.len == 0) {
    result = kErrPermission;
  }
  WorkMark(m);
  return result;
}

u16 WebUserCheck(StrSlice users_file) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  u16 result = kErrPermission;
  StrSlice name = users_file;
  if (name.ptr && name.len && name.ptr[0] != '\\') name = CgiDocPath(name);
  // Looked for quietly first: a missing users file refuses the page, it is
  // no error of the run.
  if (!StrError(name) && name.len && FileFindInfo(name) == 0) {
    StrSlice text = FileReadAll(name, 0, kReadToEnd);
    if (!StrError(text)) {
      const StrSlice passw = CgiParam(Lit("passw"));
      const StrSlice user = TakenUser(SafeBits());
      if (StrError(passw)) {
        result = StrError(passw);
      } else if (StrError(user)) {
        result = StrError(user);
      } else {
        StrSlice stored = kStrEmpty;
        if (StoredPassword(text, user, &stored) && !StrError(stored) && StrEqual(stored, passw)) result = 0;
      }
    }
  }
  WorkMark(m);
  return result;
}

u16 WebFormWrite(StrSlice params, StrSlice fields) {
  HtmlFormPage(params, fields, 0);
  return 0;
}

u16 WebLoginFormWrite(StrSlice macros) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice user = CgiParam(Lit("user"));
  if (StrError(user) || !SafeFormValue(user)) user = kStrEmpty;
  StrSlice fields = StrReplace(Lit(kLoginFields), Lit("[passw]"), kStrEmpty, kPlain);
  fields = StrReplace(fields, Lit("[user]"), user, kPlain);
  u16 result = StrError(fields);
  if (!result) result = WebFormWrite(macros, fields);
  WorkMark(m);
  return result;
}

u16 WebPageAccess(StrSlice page, StrSlice macros) {
  if (!(SafeBits() & (kSafeAccessFile | kSafeRemoteUser))) return 0;
  const WorkMarkId m = WorkMark(kMarkQuery);
  // The folder checked is the one the renderer opens the template from.
  const StrSlice path = CgiHtmlPath(page);
  u16 result = StrError(path);
  if (!result) result = WebAccessCheck(PathPart(path, kPartParent));
  if (result) {
    const StrSlice fail = CgiParam(Lit("failpage"));
    if (!StrError(fail) && fail.len && WebFailPageRender && !StrError(path) && FailPageShown(fail, path)) {
      // The fail page shows the page's macro values; all its fields are
      // ordinary fields.
      WebFailPageRender(fail, MacroContextInit(nullptr, macros, kStrEmpty, nullptr));
    } else {
      (void)WebLoginFormWrite(macros);  // the refusal is the result, however far the form got
    }
  }
  WorkMark(m);
  return result;
}

}  // namespace vk
