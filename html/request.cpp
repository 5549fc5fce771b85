#include "html/request.h"

#include "html/output.h"
#include "html/tags.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/template.h"

namespace vk {

namespace {

constexpr char kEchoLine[] = "<--[$]--><br>\n";

// The echo flag and whether the "echo" parameter has been read; a value of
// kEchoUnread read from the command line must not make it be read again.
u16 g_echo = kEchoUnread;
bool g_echo_read = false;

StrSlice Identity(u16 entry) { return StoreGet(kGroupIdentity, entry); }

}  // namespace

StrSlice CmdLineGet() {
  const WorkMarkId m = WorkMark(kMarkQuery);
  return WorkReturn(m, Identity(kIdCommandLine));
}

StrSlice CgiParam(StrSlice name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice v = CmdLineParam(name);
  if (StrFind(name, Lit("page"), kPlain) != kNotFound || StrFind(name, Lit("path"), kPlain) != kNotFound) {
    v = PathToNative(v);
  }
  return WorkReturn(m, v);
}

u16 CgiParamFlag(StrSlice name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice v = CgiParam(name);
  u16 n = StrValue(v);
  if (n == 0 && StrError(v) == 0 && StrEqual(v, Lit("on"))) n = 1;
  WorkMark(m);
  return n;
}

StrSlice CgiHtmlPath(StrSlice name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice sub = CgiParam(Lit("htmlpath"));
  if (StrError(sub)) return WorkReturn(m, sub);
  if (sub.len == 0) sub = Identity(kIdDocsFolder);
  StrSlice base = Identity(kIdDefaultFolder);
  if (sub.len) base = PathCombine(base, sub);
  return WorkReturn(m, PathResolve(base, name));
}

StrSlice CgiDocumentRoot() { return EnvGet(Lit("DOCUMENT_ROOT")); }

StrSlice CgiDocPath(StrSlice name) { return PathJoin(Identity(kIdDefaultFolder), name); }

StrSlice CgiScriptNameAttr() {
  const WorkMarkId m = WorkMark(kMarkQuery);
  return WorkReturn(m, HtmlAttrEscaped(StrOrEmpty(TplExpandWith(Lit("[SCRIPT_NAME]"), kStrEmpty))));
}

u16 HtmlEchoFlag() { return g_echo_read ? g_echo : kEchoUnread; }

void HtmlEchoReset() {
  g_echo = kEchoUnread;
  g_echo_read = false;
}

u8 HtmlEcho(StrSlice text) {
  if (!g_echo_read) {
    g_echo = CgiParamFlag(Lit("echo"));
    g_echo_read = true;
  }
  if (g_echo == 1) {
    const WorkMarkId m = WorkMark(kMarkQuery);
    const StrSlice line = Lit(kEchoLine);
    const StrSlice out = StrReplace(line, Lit("[$]"), text, kPlain);
    HtmlOut(StrError(out) ? line : out);
    WorkMark(m);
  }
  return static_cast<u8>(g_echo & 0xFF);
}

MacroContext MacroContextInit(MacroContext* record, StrSlice macros, StrSlice keywords, HtmlTagHandler handler) {
  // An error slice stands for no text at all.
  macros = StrOrEmpty(macros);
  keywords = StrOrEmpty(keywords);
  const MacroContext c{macros.ptr, macros.len, keywords.ptr, keywords.len, handler};
  if (record) *record = c;
  return c;
}

}  // namespace vk
