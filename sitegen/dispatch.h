// The generator's keyword handler: the page renderer hands it every site
// keyword field of a page, and it sends the keyword, by its index in
// kSiteKeywordList, to the keyword's writer. Only TEXT and INCLUDE can end
// the page with an error; every other keyword writes what it can.
#pragma once
#include "html/render.h"

namespace vk {

HtmlTagState SiteKwDispatch(HtmlTagState state, StrSlice macros);

}  // namespace vk
