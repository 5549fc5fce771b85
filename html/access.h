// The page access check asked before a page is rendered, and the login
// form. Protection is switched on by the system variable _SAFE: bit 0x01
// makes every page folder below the document folder hold a protection file
// ".htsafety" (key:value lines) whose key "users" names a users file of
// user:password lines; bit 0x02 takes the user name from the environment
// variable REMOTE_USER instead of the request parameter "user". With _SAFE
// at 0 every page passes.
//
// A refused page is replaced by the request's "failpage", rendered with the
// page's macro values, or else by a login form page asking for the user
// name and the password; the refusal code stands either way.
#pragma once
#include "html/request.h"

namespace vk {

// The user check that WebAccessCheck calls with the users file named by the
// protection file; WebUserCheck unless replaced.
using WebUserCheckFn = u16 (*)(StrSlice users_file);
extern WebUserCheckFn WebUserCheckHook;

// What renders the fail page in place of a refused one (the page renderer
// unless replaced); while none is set the login form is written instead.
using WebPageRenderFn = u16 (*)(StrSlice page, MacroContext context);
extern WebPageRenderFn WebFailPageRender;

// 0 when the page may be shown. Otherwise the fail page or the login form
// has been written and the refusal code is returned: 175, 164 when the
// folder's protection file is missing, or the code of an unusable request
// value.
u16 WebPageAccess(StrSlice page, StrSlice macros);
// The check for one page folder: 0, 175 refused (also when protection is on
// and no user name was given), or 164 with the protection file's path as
// the error detail when that file is missing or unreadable.
u16 WebAccessCheck(StrSlice folder);
// 0 when the user name that the check takes (REMOTE_USER or the request's
// "user", as _SAFE says) is listed in the users file with the request's
// "passw" as its password; else 175, or the code of an unusable request
// value. A name not beginning with '\' lies in the document folder.
u16 WebUserCheck(StrSlice users_file);
// A whole form page from a parameter text (its style keys) and a field list.
u16 WebFormWrite(StrSlice params, StrSlice fields);
// The login form page: a text field "user" pre-filled with the request's
// user name, an empty password field "passw" and the submit button. A user
// name that the field list or the attribute could not carry safely (quotes,
// ',', ';', '&', '<', '>' or control bytes) is not pre-filled; the password
// is never written back.
u16 WebLoginFormWrite(StrSlice macros);

}  // namespace vk
