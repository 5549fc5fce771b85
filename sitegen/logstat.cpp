#include "sitegen/logstat.h"

#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "sitegen/dispatch.h"
#include "sitegen/sitetext.h"

namespace vk {

namespace {

constexpr u16 kSnippetMax = 384;

constexpr char kLangCodes[] = "EN,ES,FR,DE,IT";

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

// The snippet of a matching LOGSTAT pair; its status as SiteKwValue keeps
// it.
u16 WriteLogState(StrSlice link, StrSlice lang, u16 index) {
  u16 status = 0;
  StrSlice fail_page = kStrEmpty;
  if (LogoutFailPage(link, &fail_page)) {
    const StrSlice confirm = index ? StrUnquote(ListItem(StrC(kConfirmTexts), ',', index)) : kStrEmpty;
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

u16 SiteKwLogStat(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const u16 index = SiteGenLangIndex();
  u16 status = 0;
  const StrSlice lang = index ? SiteKwValue(StrCase(ListItem(StrC(kLangCodes), ',', index), kLower), &status) : kStrEmpty;
  const StrSlice page = SiteKwValue(StrDup(StoreGet(kGroupRun, kRunPagePath)), &status);
  const StrSlice name = SiteKwValue(PathPart(page, kPartName), &status);

  // Item k is a pair's link, item k + 1 its condition.
  const u32 count = ListCount(args, ',');
  for (u32 k = 1; status == 0 && k <= count; k += 2) {
    const WorkMarkId pair = WorkMark(kMarkQuery);
    const StrSlice link = SiteKwValue(ExprEvalStr(ListItem(args, ',', static_cast<u16>(k))), &status);
    const StrSlice cond =
        SiteKwValue(k < count ? ExprEvalStr(ListItem(args, ',', static_cast<u16>(k + 1))) : kStrEmpty, &status);
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
