// The breadcrumb (CURBRANCH) and the site map (SITEMAP) of the page being
// generated: links up the page's folder chain, and the whole page tree as
// an indented list of links.
#pragma once
#include "runtime/slice.h"

namespace vk {

// CURBRANCH(arguments): the breadcrumb of the current page.
void SiteKwCurBranch(StrSlice args);
// The absolute folder path made of the first n components of a page path.
StrSlice SiteGenUpPath(StrSlice page_path, u16 n);
// SITEMAP(arguments): the page tree as a list of links.
void SiteKwSitemap(StrSlice args);

}  // namespace vk
