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

// An error slice reads as the empty text wherever a value is looked up.
StrSlice Text(StrSlice s) { return StrError(s) ? kEmpty : s; }
StrSlice Value(const char* expr) { return Text(ExprEvalStr(StrC(expr))); }
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

void WriteFlag(u16 lang, StrSlice rel, StrSlice page, StrSlice avoided, StrSlice target) {
  const StrSlice suffix = SiteGenLangSuffix(lang);
  if (ListFind(avoided, page, ',') != 0) {
    HtmlOut(StrFormatV(kSnippetMax, kFlagAlone, rel, suffix));
    return;
  }
  if (target.len) {
    StrSlice href = target;
    // A target ending in '=' takes the language as its value: ?lang=fr.
    if (target.ptr[target.len - 1] == '=') href = StrConcat(target, StrMid(suffix, 1, kNotFound));
    HtmlOut(StrFormatV(kSnippetMax, kFlagToTarget, Slashed(Text(href)), rel, suffix));
    return;
  }
  const SiteNode* node = SiteCursorGet()->record;
  if (node && node->first_child != kSiteNone) page = Text(PathJoin(page, StrC(kIndexName)));
  HtmlOut(StrFormatV(kSnippetMax, kFlagToPage, rel, Slashed(page), suffix, rel, suffix));
}

// The snippet of a matching LOGSTAT pair.
void WriteLogState(StrSlice link, StrSlice lang, u16 index) {
  StrSlice fail_page = kEmpty;
  if (LogoutFailPage(link, &fail_page)) {
    const StrSlice confirm = index ? StrUnquote(ListItem(StrC(kConfirmTexts), ',', index)) : kEmpty;
    HtmlOut(StrFormatV(kSnippetMax, kLogoutForm, Text(LangFilled(fail_page, lang)), lang, confirm));
  } else if (StrFind(link, StrC(kLangSlot), kPlain) != kNotFound) {
    HtmlOut(StrFormatV(kSnippetMax, kLoginFilled, Text(LangFilled(link, lang))));
  } else {
    HtmlOut(StrFormatV(kSnippetMax, kLoginWithLang, link, lang));
  }
}

}  // namespace

void SiteKwLangSel(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice rel = Value(kRelPath);
  if (rel.len) rel = Text(StrConcat(StrC("/"), rel));
  const StrSlice avoided = Value(kAvoidLinks);
  StrSlice target = kEmpty;
  const bool page_mode = SysVarTest(kSysAuxstat, kAuxRunFlag);

  const u16 count = ListCount(args, ',');
  for (u16 k = 1; k <= count; ++k) {
    const StrSlice item = ListItem(args, ',', k);
    if (page_mode && ExprResultType(item) == 1) {
      // The target outlives this item: it is not released with it.
      target = Text(ExprEvalStr(item));
      continue;
    }
    const u16 lang = StrValue(item);
    if (SiteGenLangSuffix(lang).len == 0) continue;
    const WorkMarkId item_mark = WorkMark(kMarkQuery);
    // A copy: the page path is read from the store, which the evaluations
    // above may have changed.
    const StrSlice page = Text(StrDup(VarGet(kGroupRun, kRunPagePath)));
    WriteFlag(lang, rel, page, avoided, target);
    WorkMark(item_mark);
  }
  WorkMark(mark);
}

u16 SiteKwLogStat(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 index = SiteGenLangIndex();
  const StrSlice lang = index ? Text(StrCase(ListItem(StrC(kLangCodes), ',', index), kLower)) : kEmpty;
  const StrSlice page = Text(StrDup(VarGet(kGroupRun, kRunPagePath)));
  const StrSlice name = Text(PathPart(page, kPartName));

  // Item k is a pair's link, item k + 1 its condition.
  const u32 count = ListCount(args, ',');
  for (u32 k = 1; k <= count; k += 2) {
    const WorkMarkId pair = WorkMark(kMarkQuery);
    const StrSlice link = Text(ExprEvalStr(ListItem(args, ',', static_cast<u16>(k))));
    const StrSlice cond = Text(k < count ? ExprEvalStr(ListItem(args, ',', static_cast<u16>(k + 1))) : kEmpty);
    bool match = StrEqual(cond, StrC(kAnyPage));
    if (!match) match = ListFind(Text(StrReplace(cond, StrC(kAnyPage), name, kPlain)), page, ',') != 0;
    if (match) {
      WriteLogState(link, lang, index);
      break;
    }
    WorkMark(pair);
  }
  WorkMark(mark);
  return 0;
}

}  // namespace vk
