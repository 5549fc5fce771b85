// The page access check asked before a page is rendered, and the login
// form. Protection is switched on by the system variable _SAFE: bit 0x01
// makes every folder that a page is opened from hold a protection file
// ".htsafety" (key:value lines) whose key "users" names a users file of
// user:password lines; bit 0x02 takes the user name from the environment
// variable REMOTE_USER instead of the request parameter "user" (with both
// bits, a request "user" must name the same user). With _SAFE at 0 every
// page passes.
//
// The folder checked is the one the renderer opens the template from
// (CgiHtmlPath: "htmlpath" or the documents folder, '/' read as '\', ".."
// left to the system as the open leaves it). A refused page is replaced by
// the request's "failpage", rendered with the page's macro values, unless
// that is the refused page itself or lies in a folder whose protection file
// refuses the request; then, as without a fail page, by a login form page
// asking for the user name and the password. The refusal code stands
// either way.
#pragma once
#include "html/request.h"

namespace vk {

// The user check that WebAccessCheck calls with the users file named by the
// protection file; WebUserCheck unless replaced.
using WebUserCheckFn = u16 (*)(StrSlice users_file);
extern WebUserCheckFn WebUserCheckHook;

// What renders the fail page in place of a refused one (HtmlFailPageRender
// unless replaced); while none is set the login form is written instead.
using WebPageRenderFn = u16 (*)(StrSlice page, MacroContext context);
extern WebPageRenderFn WebFailPageRender;

// 0 when the page may be shown. Otherwise the fail page or the login form
// has been written and the refusal code is returned: 175, 164 when the
// folder's protection file is missing, or the code of an unusable request
// value.
[[nodiscard]] u16 WebPageAccess(StrSlice page, StrSlice macros);
// The check for the folder a page is opened from (a path as the system
// opens it, not joined to the document folder): 0, 175 refused (also when
// protection is on and no user name was given), or 164 with the protection
// file's path as the error detail when that file is missing or unreadable.
[[nodiscard]] u16 WebAccessCheck(StrSlice folder);
// 0 when the user name that the check takes (REMOTE_USER or the request's
// "user", as _SAFE says) is listed in the users file with the request's
// "passw" as its password; else 175, or the code of an unusable request
// value. A name not beginning with '\' lies in the document folder. The
// file is read line by line (CR, LF or CR LF): a line's user is the field
// before its first ':' or '=' and its password the value after it within
// that line (unquoted; upper-cased when written without quotes). A name
// holding ':', '=', '&' or a line end is never listed.
[[nodiscard]] u16 WebUserCheck(StrSlice users_file);
// A whole form page from a parameter text (its style keys) and a field list.
[[nodiscard]] u16 WebFormWrite(StrSlice params, StrSlice fields);
// The login form page: a text field "user" pre-filled with the request's
// user name, an empty password field "passw" and the submit button. A user
// name that the field list or the attribute could not carry safely (quotes,
// ',', ';', '&', '<', '>' or control bytes) is not pre-filled; the password
// is never written back.
[[nodiscard]] u16 WebLoginFormWrite(StrSlice macros);

}  // namespace vk
