#include "sitegen/branch.h"

#include <cstring>

#include "html/forms.h"
#include "html/output.h"
#include "runtime/error.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/template.h"
#include "script/valtable.h"
#include "sitegen/menufrag.h"
#include "sitegen/dispatch.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"
#include "sitegen/texthtml.h"

namespace vk {

namespace {

constexpr char kDefaultSeparator[] = " | ";
constexpr char kUpLevel[] = "../";
// A folder's index page (the language suffix goes before its extension).
constexpr char kIndexFile[] = "index.html";
constexpr char kIndexName[] = "index";
constexpr char kBranchIds[] = "BRANCHIDS$";
constexpr char kBranchTargets[] = "BRANCHTARS$";
constexpr u16 kLinkNameMax = 384;

// CURBRANCH argument items.
enum : u16 { kArgSeparator = 1, kArgLinkCount = 2, kArgLinkParams = 3, kArgAbsolute = 4 };

// The arguments that only links use, evaluated once for the first link.
struct LinkArgs {
  StrSlice separator;
  StrSlice params;
  bool absolute;
  bool page_mode;
  StrSlice ids;      // BRANCHIDS$ (page mode only)
  StrSlice targets;  // BRANCHTARS$ (page mode only)
};

LinkArgs EvalLinkArgs(StrSlice args, u16* status) {
  LinkArgs a{};
  a.separator = SiteKwValue(ExprEvalStr(ListItem(args, ',', kArgSeparator)), status);
  if (a.separator.len == 0) a.separator = StrC(kDefaultSeparator);
  a.params = SiteKwValue(ExprEvalStr(ListItem(args, ',', kArgLinkParams)), status);
  a.absolute = ExprEvalInt(ListItem(args, ',', kArgAbsolute)) != 0;
  a.page_mode = SysVarTest(kSysAuxstat, kAuxRunFlag);
  if (a.page_mode) {
    a.ids = SiteKwValue(ExprEvalStr(StrC(kBranchIds)), status);
    a.targets = SiteKwValue(ExprEvalStr(StrC(kBranchTargets)), status);
  }
  return a;
}

// The link of breadcrumb item i of n (i < n) with its text; in page mode
// the text alone when the component has no target.
StrSlice BranchLink(const LinkArgs& a, StrSlice path, u16 i, u16 n, u16 leaf, StrSlice text) {
  if (a.page_mode) {
    const u16 d = ListFind(a.ids, PathComponent(path, i), ',');
    if (d == 0) return text;
    return HtmlLink(TplExpand(ListItem(a.targets, ',', d), 0), text, a.params);
  }
  const StrSlice base = a.absolute ? SiteGenUpPath(path, i) : StrRepeat(StrC(kUpLevel), static_cast<u16>(n - i - leaf));
  const StrSlice index = LangFileName(StrC(kIndexFile), SiteGenLangIndex());
  return HtmlLink(StrConcat(base, index), text, a.params);
}

// One site map line: the indentation, the link, the line break. 0, or the
// scratch failure that kept a piece of it from being built; a line is
// written whole or not at all.
u16 SitemapLine(i32 depth, StrSlice path, StrSlice link_name, StrSlice name) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 levels = static_cast<u16>(depth < 0 ? 0 : (depth > kSiteMaxLevels ? kSiteMaxLevels : depth));
  const StrSlice indent = TextToHtml(StrRepeat(StrC("\t"), levels), 0);
  StrSlice href = StrTranslate(path, "\\", "/");
  if (path.len) href = StrConcat(href, StrC("/"));
  href = StrConcat(href, LangFileName(StrFormatV(kLinkNameMax, "%s.html", link_name), SiteGenLangIndex()));
  const StrSlice link = StrError(href) ? href : HtmlLink(href, SiteGenTranslate(name, 0), kStrEmpty);
  const StrSlice line_break = TextToHtml(StrC("\r\n"), 0);
  u16 status = StrError(indent) ? StrError(indent) : StrError(link) ? StrError(link) : StrError(line_break);
  if (status == 0) {
    HtmlOut(indent);
    HtmlOut(link);
    HtmlOut(line_break);
    HtmlOut(StrC("\r\n"));
  }
  WorkMark(mark);
  return status;
}

}  // namespace

u16 SiteKwCurBranch(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = 0;
  // Copies: evaluating the arguments may change the variable store.
  const StrSlice path = SiteKwValue(StrDup(StoreGet(kGroupRun, kRunPagePath)), &status);
  const StrSlice trail = SiteKwValue(StrDup(StoreGet(kGroupRun, kRunTrail)), &status);
  // The page is written in its own folder (index) when the folder is the
  // page path itself; otherwise it lies in its parent's folder, one level
  // less deep than its path. Both come from the path, never from the
  // translated trail, whose names may hold anything.
  const u16 leaf =
      StrEqual(SiteKwValue(StrTranslate(path, "\\", ","), &status), StoreGet(kGroupRun, kRunPageFolder)) ? 0 : 1;
  const u16 n = PathComponentCount(path);
  if (n == 0 || status) {
    WorkMark(mark);
    return status;
  }
  // The number of leading components that get a link (0: all of them).
  const i32 count = ExprEvalInt(ListItem(args, ',', kArgLinkCount));
  const i32 limit = count == 0 ? n : count;

  if (n > 1 && limit >= 1) {
    const LinkArgs a = EvalLinkArgs(args, &status);
    for (u16 i = 1; status == 0 && i < n && i <= limit; ++i) {
      const WorkMarkId item = WorkMark(kMarkQuery);
      SiteKwOut(BranchLink(a, path, i, n, leaf, ListItem(trail, ',', i)), &status);
      HtmlOut(a.separator);
      WorkMark(item);
    }
  }
  if (status == 0) HtmlOut(ListItem(trail, ',', n));
  WorkMark(mark);
  return status;
}

StrSlice SiteGenUpPath(StrSlice page_path, u16 n) {
  if (const u16 code = StrError(page_path)) return StrErrorSlice(code);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (n == 0 || page_path.len == 0) return WorkReturn(mark, "/", 1);
  // The first n components are the path up to the end of component n.
  const u32 len = PathComponentEnd(page_path, n);
  if (len + 2 > kMaxText) return StrErrorSlice(kErrStringTooLong);
  char* out = WorkAllocRaw(static_cast<u16>(len + 2), kNoFill);
  if (!out) return StrErrorSlice(kErrOutOfMemory);
  out[0] = '/';
  for (u32 i = 0; i < len; ++i) out[i + 1] = page_path.ptr[i] == '\\' ? '/' : page_path.ptr[i];
  out[len + 1] = '/';
  return WorkReturn(mark, out, static_cast<u16>(len + 2));
}

u16 SiteKwSitemap(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = 0;
  const StrSlice sub = SiteKwValue(StrGetParam(args, StrC("SUBLEVEL")), &status);
  const StrSlice excluded = SiteKwValue(StrGetParam(args, StrC("EXCLUDELIST")), &status);
  const StrSlice excluded_options = SiteKwValue(StrGetParam(args, StrC("EXCLUDETEMPLATES")), &status);
  bool show = sub.len == 0;
  const i32 level = show ? 0 : ExprEvalInt(sub);

  // With SUBLEVEL the listing starts below the page being written, found
  // by its name among the folder pages at depth level - 1.
  StrSlice current = kStrEmpty;
  bool current_is_folder = false;
  if (const SiteNode* node = SiteCursorGet()->record) {
    current = SiteNodeField(node->text, kNodeFieldName);
    current_is_folder = node->first_child != kSiteNone;
  }

  const WorkMarkId walk = WorkMark(kMarkQuery);
  StrSlice path = kStrEmpty;
  i32 depth = 0;
  for (SiteCursor c = SiteTreeAt(SiteTreeRoot()); status == 0 && c.index != kSiteNone && c.record;
       c = SiteTreeNext(c.index, 1)) {
    const SiteNode node = *c.record;
    const StrSlice name = SiteNodeField(node.text, kNodeFieldName);
    if (SiteGenMenuAvoided(name)) break;
    depth += c.depth_change;
    if (level != 0 && show && depth < level) show = false;
    if (show) {
      for (i32 d = c.depth_change; d < 0; ++d) path = SiteKwValue(PathPart(path, kPartFolder), &status);
      StrSlice link_name = name;
      if (node.first_child != kSiteNone) {
        link_name = StrC(kIndexName);
        path = SiteKwValue(StrJoin(path, StrC("\\"), name), &status);
      }
      StrSlice options = SiteNodeField(node.text, kNodeFieldOptions);
      if (options.len == 0) options = StrC(" ");
      if (status == 0 && ListFind(excluded, name, ',') == 0 && ListFind(excluded_options, options, ',') == 0) {
        status = SitemapLine(depth, path, link_name, name);
      }
    } else if (depth == level - 1 && current_is_folder && StrEqual(name, current)) {
      show = true;
    }
    // Everything this node built goes; the folder path is kept.
    path = SiteKwValue(WorkReturn(walk, path), &status);
  }
  WorkMark(mark);
  return status;
}

}  // namespace vk
