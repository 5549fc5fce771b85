#include "sitegen/langsel.h"

#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/lexer.h"
#include "script/valtable.h"
#include "sitegen/dispatch.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"

namespace vk {

namespace {

constexpr u16 kSnippetMax = 384;

constexpr char kRelPath[] = "RELPATH$";
constexpr char kAvoidLinks[] = "avoid_langlnk$";
constexpr char kIndexName[] = "index";

constexpr char kFlagAlone[] = "<img border=\"0\" src=\"%s/images/lang%s.gif\" width=\"20\">\r\n";
constexpr char kFlagToTarget[] =
    "<a href=\"%s\"><img border=\"0\" src=\"%s/images/lang%s.gif\" width=\"20\"></a>\r\n";
constexpr char kFlagToPage[] =
    "<a href=\"%s/%s%s.html\"><img border=\"0\" src=\"%s/images/lang%s.gif\" width=\"20\"></a>\r\n";

// The value of a variable of the site's script.
StrSlice Value(const char* expr, u16* status) { return SiteKwValue(ExprEvalStr(StrC(expr)), status); }
StrSlice Slashed(StrSlice path) { return StrTranslate(path, "\\", "/"); }

// One flag; its status as SiteKwValue keeps it.
u16 WriteFlag(u16 lang, StrSlice rel, StrSlice page, StrSlice avoided, StrSlice target) {
  u16 status = 0;
  const StrSlice suffix = SiteGenLangSuffix(lang);
  if (ListFind(avoided, page, ',') != 0) {
    SiteKwOut(StrFormatV(kSnippetMax, kFlagAlone, rel, suffix), &status);
    return status;
  }
  if (target.len) {
    StrSlice href = target;
    // A target ending in '=' takes the language as its value: ?lang=fr.
    if (target.ptr[target.len - 1] == '=') href = StrConcat(target, StrMid(suffix, 1, kNotFound));
    href = Slashed(SiteKwValue(href, &status));
    if (status == 0) SiteKwOut(StrFormatV(kSnippetMax, kFlagToTarget, SiteKwValue(href, &status), rel, suffix), &status);
    return status;
  }
  const SiteNode* node = SiteCursorGet()->record;
  if (node && node->first_child != kSiteNone) page = SiteKwValue(PathJoin(page, StrC(kIndexName)), &status);
  const StrSlice shown = SiteKwValue(Slashed(page), &status);
  if (status == 0) SiteKwOut(StrFormatV(kSnippetMax, kFlagToPage, rel, shown, suffix, rel, suffix), &status);
  return status;
}

}  // namespace

u16 SiteKwLangSel(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = 0;
  StrSlice rel = Value(kRelPath, &status);
  if (rel.len) rel = SiteKwValue(StrConcat(StrC("/"), rel), &status);
  const StrSlice avoided = Value(kAvoidLinks, &status);
  StrSlice target = kStrEmpty;
  const bool page_mode = SysVarTest(kSysAuxstat, kAuxRunFlag);

  const u16 count = ListCount(args, ',');
  for (u16 k = 1; status == 0 && k <= count; ++k) {
    const StrSlice item = ListItem(args, ',', k);
    if (page_mode && ExprResultType(item) == 1) {
      // The target outlives this item: it is not released with it.
      target = SiteKwValue(ExprEvalStr(item), &status);
      continue;
    }
    const u16 lang = StrValue(item);
    if (SiteGenLangSuffix(lang).len == 0) continue;
    const WorkMarkId item_mark = WorkMark(kMarkQuery);
    // A copy: the page path is read from the store, which the evaluations
    // above may have changed.
    const StrSlice page = SiteKwValue(StrDup(StoreGet(kGroupRun, kRunPagePath)), &status);
    if (status == 0) status = WriteFlag(lang, rel, page, avoided, target);
    WorkMark(item_mark);
  }
  WorkMark(mark);
  return status;
}

}  // namespace vk
