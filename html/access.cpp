#include "html/access.h"

#include "html/forms.h"
#include "html/render.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/valtable.h"

namespace vk {

WebUserCheckFn WebUserCheckHook = WebUserCheck;
WebPageRenderFn WebFailPageRender = HtmlPageRender;

namespace {

constexpr char kAccessFile[] = ".htsafety";
constexpr char kUsersKey[] = "users";
constexpr char kLoginFields[] =
    "User:;user;30;[user];text,Password:;passw;30;[passw];password,;;;Aceptar;submit";
// The protection file is read whole: no key columns, every line.
constexpr u16 kAccessLayout = 0;
constexpr u16 kAccessCode = 0;

u16 SafeBits() { return static_cast<u16>(SysVarGet(kSysSafe)); }

// The user name the check goes by: REMOTE_USER when the web server names
// the user, else the request's "user". One new scratch entry.
StrSlice TakenUser(u16 safe) {
  if (safe & kSafeRemoteUser) return EnvGet(Lit("REMOTE_USER"));
  return CgiParam(Lit("user"));
}

// The "users" value of the current parameter list as it is written (only
// trimmed and unquoted): file names keep their letter case.
StrSlice UsersFileName() {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice v = StrGetParamEx(VarTop(kGroupParamLists), Lit(kUsersKey), kParamAsIs);
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
    const StrSlice file = CgiDocPath(PathJoin(folder, Lit(kAccessFile)));
    if (StrError(file)) {
      result = StrError(file);
    } else if (ParamListLoad(file, kAccessLayout, kAccessCode) != 0) {
      result = ErrMsgAppend(kErrFileNotFound, file, false);
    } else {
      // A protected folder without a user name asks for one.
      result = kErrPermission;
      if (user.len) {
        const StrSlice users = UsersFileName();
        result = StrError(users);
        if (!result) result = WebUserCheckHook ? WebUserCheckHook(users) : u16{kErrPermission};
      }
      ParamListPop();
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
    StrSlice text = FileReadAll(name, 0, 0xFFFF);
    if (!StrError(text)) {
      const StrSlice passw = CgiParam(Lit("passw"));
      const StrSlice user = TakenUser(SafeBits());
      if (StrError(passw)) {
        result = StrError(passw);
      } else if (StrError(user)) {
        result = StrError(user);
      } else if (user.len) {
        // The lines become one parameter text. The text is this call's own
        // scratch entry.
        char* p = const_cast<char*>(text.ptr);
        for (u16 i = 0; i < text.len; ++i) {
          if (p[i] == '\r') p[i] = ':';
        }
        for (u16 i = 0; i < text.len; ++i) {
          if (p[i] == '\n') p[i] = ':';
        }
        u16 at = 0;
        u16 len = 0;
        StrKeyFind(text, user, kParamAsIs, &at, &len);
        if (at != kNotFound) {
          const StrSlice stored = StrGetParam(text, user);
          if (!StrError(stored) && StrCompare(stored, passw) == 0) result = 0;
        }
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
  if (StrError(user) || !SafeFormValue(user)) user = StrSlice{"", 0};
  StrSlice fields = StrReplace(Lit(kLoginFields), Lit("[passw]"), StrSlice{"", 0}, kPlain);
  fields = StrReplace(fields, Lit("[user]"), user, kPlain);
  u16 result = StrError(fields);
  if (!result) result = WebFormWrite(macros, fields);
  WorkMark(m);
  return result;
}

u16 WebPageAccess(StrSlice page, StrSlice macros) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16 result = WebAccessCheck(PathPart(page, kPartFolder));
  if (result) {
    const StrSlice fail = CgiParam(Lit("failpage"));
    if (!StrError(fail) && fail.len && WebFailPageRender) {
      // The fail page shows the page's macro values; all its fields are
      // ordinary fields.
      WebFailPageRender(fail, MacroContextInit(nullptr, macros, StrSlice{"", 0}, nullptr));
    } else {
      WebLoginFormWrite(macros);
    }
  }
  WorkMark(m);
  return result;
}

}  // namespace vk
