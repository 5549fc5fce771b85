#include "sitegen/include.h"

namespace vk {

StrSlice SiteGenBranchLevel(StrSlice arg) { return arg; }
StrSlice SiteGenFindSubTemplate(StrSlice arg, StrSlice) { return arg; }
HtmlTagState SiteKwInclude(HtmlTagState state, StrSlice) { return state; }
u16 SiteKwText(StrSlice) { return 0; }

}  // namespace vk
