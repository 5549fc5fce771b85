#include "sitegen/branch.h"

namespace vk {

void SiteKwCurBranch(StrSlice) {}
StrSlice SiteGenUpPath(StrSlice page_path, u16) { return page_path; }
void SiteKwSitemap(StrSlice) {}

}  // namespace vk
