// The generator's keyword handler: the page renderer hands it every site
// keyword field of a page, and it sends the keyword, by its index in
// kSiteKeywordList, to the keyword's writer. TEXT and INCLUDE end the page
// with any error; LANG, CURBRANCH, LANG_SEL, SITEMAP and LOGSTAT only when
// the scratch stack runs out (145); the others write what they can.
#pragma once
#include "html/render.h"

namespace vk {

HtmlTagState SiteKwDispatch(HtmlTagState state, StrSlice macros);

}  // namespace vk
