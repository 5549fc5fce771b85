#include "sitegen/include.h"

#include <cstring>

#include "html/output.h"
#include "html/request.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/template.h"
#include "sitegen/dispatch.h"
#include "sitegen/sitetext.h"
#include "sitegen/texthtml.h"

namespace vk {

namespace {

constexpr char kSubTemplateExt[] = "sub.html";
constexpr char kTextExt[] = "txt";
constexpr char kSelfSuffix[] = "_index";
constexpr char kLevelKey[] = "BRANCHLEVEL";
constexpr char kBlanks[] = " \t";

// The own name, then once the name with kSelfSuffix.
constexpr u16 kIncludeTries = 2;
// The fields of a text file are expressions only: no macro values, a plain
// bracket search, and the escapes turned into brackets at the end.
constexpr u16 kTextExpandFlags = kTplPlain | kTplUnescape;

// Argument items of the two keywords.
enum : u16 { kArgBranch = 1, kArgKeywords = 2 };                  // INCLUDE
enum : u16 { kArgExt = 2, kArgFallback = 3, kArgOptions = 4 };  // TEXT

// The branch names of the sub-templates being rendered, a comma list in
// the order of nesting. Every name stands for an open template file whose
// name is shorter than kFileNameMax, so the list fits this table.
constexpr u32 kIncludeListMax = u32{kFileSlots} * kFileNameMax;
char g_include_list[kIncludeListMax];
u16 g_include_len = 0;

StrSlice IncludeList() { return StrSlice{g_include_list, g_include_len}; }

// Appends a name to the list; 146 when it does not fit (nothing changes).
u16 IncludeListAdd(StrSlice name) {
  const u32 sep = g_include_len ? 1 : 0;
  const u32 total = u32{g_include_len} + sep + name.len;
  if (total > kIncludeListMax) return kErrStringTooLong;
  if (sep) g_include_list[g_include_len] = ',';
  std::memcpy(g_include_list + g_include_len + sep, name.ptr, name.len);
  g_include_len = static_cast<u16>(total);
  return 0;
}

// Whether a file of that name exists in the current folder.
bool FileExists(StrSlice name) {
  if (StrError(name) || name.len == 0) return false;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const bool found = DirList(name) == 0;
  WorkMark(mark);
  return found;
}

// Whether the file name "." ext exists; nothing is kept on the scratch
// stack.
bool FileExistsWithExt(StrSlice name, StrSlice ext) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const bool found = FileExists(PathAddExt(name, ext));
  WorkMark(mark);
  return found;
}

// Item k of a keyword's arguments, trimmed of blanks and tabs.
StrSlice ArgItem(StrSlice args, u16 k) { return StrTrimSet(ListItem(args, ',', k), kTrimBoth, Lit(kBlanks)); }

// The argument's value; the empty text for an empty argument, which is not
// evaluated.
StrSlice ArgValue(StrSlice arg) {
  arg = StrTrimSet(arg, kTrimBoth, Lit(kBlanks));
  return arg.len ? ExprEvalStr(arg) : kStrEmpty;
}

// The path without its last component.
StrSlice PathParent(StrSlice path) {
  const u16 slash = StrFindLastChar(path, '\\', kPlain);
  return StrSlice{path.ptr, slash == kNotFound ? u16{0} : slash};
}

StrSlice PagePath() { return StoreGet(kGroupRun, kRunPagePath); }

// The branch name for an evaluated argument value (empty for none).
StrSlice BranchOf(StrSlice value) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice path = StrDup(PagePath());
  if (StrError(path)) return WorkReturn(mark, path);
  const u32 depth = PathComponentCount(path);
  u32 level = depth;
  if (value.len) {
    const StrSlice key = StrGetParam(value, Lit(kLevelKey));
    const u16 wanted = StrError(key) ? u16{0} : StrValue(key);
    level = wanted <= depth ? wanted : 0;
  }
  if (level == 0) return WorkReturn(mark, value);
  while (PathComponentCount(path) > level) path = PathParent(path);
  return WorkReturn(mark, StrTranslate(path, "\\", "_"));
}

// name "." ext, with the language suffix before the extension.
StrSlice TextFileName(StrSlice name, StrSlice ext) {
  return LangFileName(PathAddExt(name, ext), SiteGenLangIndex());
}

// The keyword list of a sub-template: the argument's value, or the site's
// nine keywords.
StrSlice IncludeKeywords(StrSlice arg) {
  const StrSlice value = ArgValue(arg);
  if (StrError(value) || value.len) return value;
  return Lit(kSiteKeywordList);
}

// Renders the sub-template base.sub.html with the branch name base on the
// include list. 0 (an empty sub-template too) or the error code.
u16 IncludeRender(StrSlice base, StrSlice file, StrSlice keywords_arg, StrSlice macros) {
  const u16 saved = g_include_len;
  u16 status = IncludeListAdd(base);
  if (status == 0) {
    const StrSlice keywords = IncludeKeywords(keywords_arg);
    status = StrError(keywords);
    if (status == 0) {
      MacroContext context{};
      MacroContextInit(&context, macros, keywords, SiteKwDispatch);
      status = HtmlPageRender(file, context);
      // A sub-template whose first line cannot be read is empty: nothing
      // to include, and no error.
      if (status == kErrDiskIO) status = 0;
    }
  }
  g_include_len = saved;
  return status;
}

// The TEXT keyword's work on the scratch stack of its caller.
u16 TextWrite(StrSlice args) {
  StrSlice ext = Lit(kTextExt);
  const StrSlice ext_arg = ArgItem(args, kArgExt);
  if (ext_arg.len) {
    ext = ExprEvalStr(ext_arg);
    if (const u16 err = StrError(ext)) return err;
  }

  StrSlice file = kStrEmpty;
  bool found = false;
  const StrSlice name = SiteGenBranchLevel(ArgItem(args, kArgBranch));
  if (const u16 err = StrError(name)) return err;
  if (name.len) {
    file = TextFileName(name, ext);
    if (const u16 err = StrError(file)) return err;
    found = FileExists(file);
  }
  const StrSlice fallback_arg = ArgItem(args, kArgFallback);
  if (!found && fallback_arg.len) {
    const StrSlice fallback = ExprEvalStr(fallback_arg);
    if (const u16 err = StrError(fallback)) return err;
    if (fallback.len) {
      file = TextFileName(fallback, ext);
      if (const u16 err = StrError(file)) return err;
      found = FileExists(file);
    }
  }
  if (!found) return 0;

  StrSlice text = FileReadAll(file, 0, kReadToEnd);
  if (!StrError(text)) text = TplExpand(text, kTextExpandFlags);
  if (!StrError(text)) {
    const u8 bits = TextConvFlags(ArgItem(args, kArgOptions), PathPart(file, kPartExt));
    text = TextToHtml(text, bits);
  }
  if (const u16 err = StrError(text)) return err;
  HtmlOut(text);
  return 0;
}

}  // namespace

StrSlice SiteGenBranchLevel(StrSlice arg) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice value = ArgValue(arg);
  return WorkReturn(mark, StrError(value) ? value : BranchOf(value));
}

StrSlice SiteGenFindSubTemplate(StrSlice arg, StrSlice ext) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice value = ArgValue(arg);
  if (StrError(value)) return WorkReturn(mark, value);
  StrSlice branch = BranchOf(value);
  if (value.len == 0 && !StrError(branch) && branch.len) {
    // The branch name and the page path have the same length, and so have
    // each of their leading parts: a folder of the path names the branch
    // cut to the folder's length.
    StrSlice folder = PagePath();
    if (folder.len > branch.len) folder.len = branch.len;
    while (folder.len && !FileExistsWithExt(StrSlice{branch.ptr, folder.len}, ext)) {
      folder = PathParent(folder);
    }
    if (folder.len) branch.len = folder.len;
  }
  return WorkReturn(mark, branch);
}

HtmlTagState SiteKwInclude(HtmlTagState state, StrSlice macros) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice args = HtmlTagArgs(state);
  const StrSlice ext = Lit(kSubTemplateExt);
  StrSlice base = SiteGenFindSubTemplate(ArgItem(args, kArgBranch), ext);
  u16 status = StrError(base);

  for (u16 tries = kIncludeTries; status == 0 && base.len && tries; --tries) {
    const StrSlice file = PathAddExt(base, ext);
    status = StrError(file);
    if (status || !FileExists(file)) break;
    if (ListFind(IncludeList(), base, ',')) {
      // Being rendered already: the branch's index sub-template instead.
      base = StrConcat(base, Lit(kSelfSuffix));
      status = StrError(base);
      continue;
    }
    status = IncludeRender(base, file, ArgItem(args, kArgKeywords), macros);
    break;
  }

  WorkMark(mark);
  if (status) state.status = status;
  return state;
}

u16 SiteKwText(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 result = TextWrite(args);
  WorkMark(mark);
  return result;
}

}  // namespace vk
