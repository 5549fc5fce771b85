// Request values of the page library. Every named request parameter is
// read from the stored command line (identity entry 1) as key=value or
// key:value, with one retry in the other letter case; no query string or
// other source feeds them. Beside the lookups: where page files and
// document files are looked for, the debug echo, and MacroContext, the
// record that hands a page's macro values, keyword list and keyword
// handler to the page renderer.
//
// Text results are one new scratch entry (or an error slice passed on);
// an absent parameter, an unset variable or an empty identity entry gives
// the empty text, never an error.
#pragma once
#include "runtime/appenv.h"
#include "runtime/slice.h"

namespace vk {

// The renderer's scan state (defined with the renderer) and the keyword
// handler that a MacroContext carries: called for each keyword field with
// the state and the page's macro value text, it writes the keyword's output
// and returns the state.
struct HtmlTagState;
using HtmlTagHandler = HtmlTagState (*)(HtmlTagState state, StrSlice macros);

// The first byte of a keyword list of one-character codes.
constexpr u8 kKeywordCodeMarker = 0xC7;
// HtmlEchoFlag before the "echo" parameter has been read.
constexpr u16 kEchoUnread = 0xFFFF;

// Identity entry 1 (empty when none was stored).
StrSlice CmdLineGet();
// CmdLineParam, with every '/' turned into '\' when the name contains
// "page" or "path" (case-sensitive).
StrSlice CgiParam(StrSlice name);
// The parameter as a number or yes-word (StrValue); 1 also for "on".
u16 CgiParamFlag(StrSlice name);
// Where a page file of that name is looked for: resolved against the
// default folder (identity entry 5) combined with the "htmlpath" parameter
// or, without one, the documents folder (identity entry 6). A name that
// begins with '\' is taken as it is.
StrSlice CgiHtmlPath(StrSlice name);
// The environment variable DOCUMENT_ROOT (empty when unset).
StrSlice CgiDocumentRoot();
// The name joined to the document folder (identity entry 5).
StrSlice CgiDocPath(StrSlice name);

// The value of the field [SCRIPT_NAME] (a request parameter, an environment
// variable or its evaluated value, as TplExpandWith finds it) escaped for
// a double-quoted attribute; the empty text when it cannot be expanded.
StrSlice CgiScriptNameAttr();

// The process-wide echo flag: kEchoUnread until the first HtmlEcho, then
// the value of the "echo" parameter, which is never read again.
u16 HtmlEchoFlag();
// Forgets the echo flag, so that the next HtmlEcho reads the parameter
// again: for a library restarted within one process.
void HtmlEchoReset();
// When the echo flag is exactly 1, writes "<--" text "--><br>" LF through
// the output sink. Returns the flag's low byte; callers take any non-zero
// result as echo mode.
u8 HtmlEcho(StrSlice text);

// Five words handed to the renderer by value; it owns nothing, so the texts
// must outlive the render. The keyword list is a comma list of names, or
// kKeywordCodeMarker followed by one-character codes. A null handler means
// the renderer's default handler.
struct MacroContext {
  const char* macros;
  u32 macros_len;
  const char* keywords;
  u32 keywords_len;
  HtmlTagHandler handler;
};

// Stores the texts and the handler in *record and returns the record.
MacroContext MacroContextInit(MacroContext* record, StrSlice macros, StrSlice keywords, HtmlTagHandler handler);
inline StrSlice MacroContextMacros(MacroContext c) { return StrMake(c.macros, c.macros_len); }
inline StrSlice MacroContextKeywords(MacroContext c) { return StrMake(c.keywords, c.keywords_len); }

}  // namespace vk
