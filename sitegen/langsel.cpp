#include "sitegen/langsel.h"

#include "html/output.h"
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

constexpr char kLangCodes[] = "EN,ES,FR,DE,IT";
constexpr char kRelPath[] = "RELPATH$";
constexpr char kAvoidLinks[] = "avoid_langlnk$";
constexpr char kIndexName[] = "index";

constexpr char kFlagAlone[] = "<img border=\"0\" src=\"%s/images/lang%s.gif\" width=\"20\">\r\n";
constexpr char kFlagToTarget[] =
    "<a href=\"%s\"><img border=\"0\" src=\"%s/images/lang%s.gif\" width=\"20\"></a>\r\n";
constexpr char kFlagToPage[] =
    "<a href=\"%s/%s%s.html\"><img border=\"0\" src=\"%s/images/lang%s.gif\" width=\"20\"></a>\r\n";

constexpr char kLogoutForm[] =
    "[REMOTE_USER] | <a href=\"/cgi-bin/leafmill?htmlpage=/var/www/html/logout.html&failpage=%s&lang=%s\" "
    "style=\"text-decoration:none\" onclick=\"return confirm ('%s')\">logout</a>&nbsp;";
constexpr char kLoginFilled[] = "<a href=\"%s\" style=\"text-decoration:none\">login</a>&nbsp;";
constexpr char kLoginWithLang[] = "<a href=\"%s&lang=%s\" style=\"text-decoration:none\">login</a>&nbsp;";
// Item k is the confirm text of language k.
constexpr char kConfirmTexts[] =
    "'Please, confirm logout','Por favor, confirme la desconexi\xF3n',Veuillez confirmer la connexion,"
    "Bitte best\xE4tigen Sie sich abmelden,Si prega di confermare la disconnessione";
constexpr char kDefaultFailPage[] = "/";
constexpr char kLangSlot[] = "%s";
constexpr char kAnyPage[] = "*";

const StrSlice kEmpty{"", 0};

// The value of a variable of the site's script.
StrSlice Value(const char* expr, u16* status) { return SiteKwValue(ExprEvalStr(StrC(expr)), status); }
StrSlice Slashed(StrSlice path) { return StrTranslate(path, "\\", "/"); }

// An author's link or fail page with every "%s" replaced by the language
// code; the rest, an encoded "%20" included, is copied as it is.
StrSlice LangFilled(StrSlice text, StrSlice lang) { return StrReplace(text, StrC(kLangSlot), lang, kPlain); }

// The fail page of a logout link: "/" for an empty link, the text inside
// a leading "(...)" whose ')' closes the '('; false for a login link.
bool LogoutFailPage(StrSlice link, StrSlice* fail_page) {
  if (link.len == 0) {
    *fail_page = StrC(kDefaultFailPage);
    return true;
  }
  if (link.ptr[0] != '(') return false;
  u32 open = 0;
  for (u32 i = 0; i < link.len; ++i) {
    if (link.ptr[i] == '(') ++open;
    if (link.ptr[i] == ')' && --open == 0) {
      *fail_page = StrMake(link.ptr + 1, i - 1);
      return true;
    }
  }
  return false;
}

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

// The snippet of a matching LOGSTAT pair; its status as SiteKwValue keeps
// it.
u16 WriteLogState(StrSlice link, StrSlice lang, u16 index) {
  u16 status = 0;
  StrSlice fail_page = kEmpty;
  if (LogoutFailPage(link, &fail_page)) {
    const StrSlice confirm = index ? StrUnquote(ListItem(StrC(kConfirmTexts), ',', index)) : kEmpty;
    const StrSlice filled = SiteKwValue(LangFilled(fail_page, lang), &status);
    if (status == 0) SiteKwOut(StrFormatV(kSnippetMax, kLogoutForm, filled, lang, confirm), &status);
  } else if (StrFind(link, StrC(kLangSlot), kPlain) != kNotFound) {
    const StrSlice filled = SiteKwValue(LangFilled(link, lang), &status);
    if (status == 0) SiteKwOut(StrFormatV(kSnippetMax, kLoginFilled, filled), &status);
  } else {
    SiteKwOut(StrFormatV(kSnippetMax, kLoginWithLang, link, lang), &status);
  }
  return status;
}

}  // namespace

u16 SiteKwLangSel(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = 0;
  StrSlice rel = Value(kRelPath, &status);
  if (rel.len) rel = SiteKwValue(StrConcat(StrC("/"), rel), &status);
  const StrSlice avoided = Value(kAvoidLinks, &status);
  StrSlice target = kEmpty;
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
    const StrSlice page = SiteKwValue(StrDup(VarGet(kGroupRun, kRunPagePath)), &status);
    if (status == 0) status = WriteFlag(lang, rel, page, avoided, target);
    WorkMark(item_mark);
  }
  WorkMark(mark);
  return status;
}

u16 SiteKwLogStat(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 index = SiteGenLangIndex();
  u16 status = 0;
  const StrSlice lang = index ? SiteKwValue(StrCase(ListItem(StrC(kLangCodes), ',', index), kLower), &status) : kEmpty;
  const StrSlice page = SiteKwValue(StrDup(VarGet(kGroupRun, kRunPagePath)), &status);
  const StrSlice name = SiteKwValue(PathPart(page, kPartName), &status);

  // Item k is a pair's link, item k + 1 its condition.
  const u32 count = ListCount(args, ',');
  for (u32 k = 1; status == 0 && k <= count; k += 2) {
    const WorkMarkId pair = WorkMark(kMarkQuery);
    const StrSlice link = SiteKwValue(ExprEvalStr(ListItem(args, ',', static_cast<u16>(k))), &status);
    const StrSlice cond =
        SiteKwValue(k < count ? ExprEvalStr(ListItem(args, ',', static_cast<u16>(k + 1))) : kEmpty, &status);
    bool match = StrEqual(cond, StrC(kAnyPage));
    if (!match) match = ListFind(SiteKwValue(StrReplace(cond, StrC(kAnyPage), name, kPlain), &status), page, ',') != 0;
    if (status == 0 && match) {
      status = WriteLogState(link, lang, index);
      break;
    }
    WorkMark(pair);
  }
  WorkMark(mark);
  return status;
}

}  // namespace vk
