#include "sitegen/sitetext.h"

#include "html/output.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "script/eval.h"
#include "script/runlog.h"
#include "sitegen/dispatch.h"
#include "sitegen/texthtml.h"

namespace vk {

namespace {

u16 g_lang = kSiteLangNone;

constexpr u16 kLogLineMax = 384;
constexpr char kFailFormat[] = "\r\n--- Fail LangCode %s";
// The name is cut so that the log line always fits.
constexpr u16 kFailNameMax = kLogLineMax - (sizeof(kFailFormat) - 1 - 2);

void LogMissing(StrSlice name) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (StrError(name)) name = kStrEmpty;
  if (name.len > kFailNameMax) name.len = kFailNameMax;
  LogLine(StrFormatV(kLogLineMax, kFailFormat, name), kLogNormal);
  WorkMark(mark);
}

}  // namespace

void SiteGenLangSet(u16 index) { g_lang = index <= kSiteLangCount ? index : kSiteLangNone; }

u16 SiteGenLangIndex() { return g_lang; }

StrSlice SiteGenLangSuffix(u16 index) {
  if (index == kSiteLangNone || index > kSiteLangCount) return kStrEmpty;
  return ListItem(Lit(kSiteLangSuffixes), ',', index);
}

StrSlice SiteGenTranslate(StrSlice text, u8 bits) {
  if (StrError(text)) {
    LogMissing(kStrEmpty);
    return text;
  }
  const WorkMarkId mark = WorkMark(kMarkQuery);
  if (text.len != 0) {
    const StrSlice value = ParamListLookup(text);
    if (!StrError(value) && value.len != 0) {
      text = value;
    } else {
      LogMissing(text);
      text = StrReplace(text, Lit("_"), Lit(" "), kPlain);
    }
  }
  return WorkReturn(mark, TextToHtml(text, bits));
}

u16 SiteKwLang(StrSlice args) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  u16 status = 0;
  const u8 bits = TextConvFlags(ListItem(args, ',', 2), kStrEmpty);
  const StrSlice text = ExprEvalStr(ListItem(args, ',', 1));
  SiteKwOut(SiteGenTranslate(text, bits), &status);
  WorkMark(mark);
  return status;
}

void SiteKwLangId() { HtmlOut(SiteGenLangSuffix(g_lang)); }

}  // namespace vk
