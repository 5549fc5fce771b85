// The generator's keyword handler: the page renderer hands it every site
// keyword field of a page, and it sends the keyword, by its index in
// kSiteKeywordList, to the keyword's writer. TEXT and INCLUDE end the page
// with any error; LANG, CURBRANCH, LANG_SEL, SITEMAP and LOGSTAT only when
// the scratch stack runs out (145); the others write what they can. The
// writers read the values they look up through SiteKwValue, which keeps that
// rule.
#pragma once
#include "html/render.h"

namespace vk {

// The keyword list of the generator's pages; a keyword is handled by its
// 1-based position in it.
constexpr char kSiteKeywordList[] = "MENU,LANG,CURBRANCH,INCLUDE,LANG_SEL,LANG_ID,TEXT,SITEMAP,LOGSTAT";
enum : u16 {
  kKwMenu = 1,
  kKwLang = 2,
  kKwCurBranch = 3,
  kKwInclude = 4,
  kKwLangSel = 5,
  kKwLangId = 6,
  kKwText = 7,
  kKwSitemap = 8,
  kKwLogStat = 9,
};

HtmlTagState SiteKwDispatch(HtmlTagState state, StrSlice macros);

// A value a keyword looked up or built. A missing value (any error slice)
// reads as the empty text, except a scratch stack that ran out (145): that
// is kept in *status, the first failure only, for the keyword to report, so
// a page never loses part of its content silently.
StrSlice SiteKwValue(StrSlice s, u16* status);
// HtmlOut of a keyword's piece of output; an error slice writes nothing and
// goes through SiteKwValue.
void SiteKwOut(StrSlice s, u16* status);

}  // namespace vk
