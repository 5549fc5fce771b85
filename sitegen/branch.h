// The breadcrumb (CURBRANCH) and the site map (SITEMAP) of the page being
// generated: links up the page's folder chain, and the page tree as an
// indented list of links.
//
// Both read the per-page values of variable group 9 (page path, trail,
// folder), the current language and the shared cursor's node and write
// through HtmlOut. A missing value gives an empty text and the page goes on;
// the result is 0 then. A scratch stack that runs out is no missing value:
// the result is 145, the page ends there, and no line is written half. The
// scratch stack is left as it was found.
#pragma once
#include "runtime/slice.h"

namespace vk {

// CURBRANCH(separator, link count, link parameters, absolute): a link to the
// index page of each enclosing folder of the current page, each followed by
// the separator (" | " when it is empty), then the page's own name without a
// link. The link count limits the leading components that get a link (0:
// all). Links are relative ("../" per folder level) unless absolute is
// non-zero. In page mode (_AUXSTAT kAuxRunFlag) a component's target is the
// item of BRANCHTARS$ at the component's place in BRANCHIDS$, its fields
// expanded; a component not listed there is written without a link.
[[nodiscard]] u16 SiteKwCurBranch(StrSlice args);
// "/" and then each of the first n '\'-separated components of the page path
// followed by "/": /products/tools/ for products\tools\hammer and n = 2. n
// beyond the components takes them all.
StrSlice SiteGenUpPath(StrSlice page_path, u16 n);
// SITEMAP(SUBLEVEL=n EXCLUDELIST=names EXCLUDETEMPLATES=options): one line
// per page of the tree in pre-order, indented four &nbsp; per level, linked
// relative to the output root. The list ends at the first node the menus
// avoid. With SUBLEVEL only the pages below the current page (a folder page
// at depth SUBLEVEL - 1) are listed, relative to its folder. Excluded names
// and option texts compare exactly (an unquoted value is upper-cased).
[[nodiscard]] u16 SiteKwSitemap(StrSlice args);

}  // namespace vk
