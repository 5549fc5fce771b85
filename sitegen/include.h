// Sub-templates and text files placed into a page: INCLUDE renders a
// sub-template found in the page's folder or further up the folder chain;
// TEXT writes a text file of the current language converted to HTML.
#pragma once
#include "html/render.h"
#include "runtime/slice.h"

namespace vk {

// A branch name for the argument, or the argument's own value.
StrSlice SiteGenBranchLevel(StrSlice arg);
// The branch name whose file (with the extension) exists.
StrSlice SiteGenFindSubTemplate(StrSlice arg, StrSlice ext);
// INCLUDE: renders the sub-template into the page; returns the state.
HtmlTagState SiteKwInclude(HtmlTagState state, StrSlice macros);
// TEXT(arguments): 0 or an error code.
u16 SiteKwText(StrSlice args);

}  // namespace vk
