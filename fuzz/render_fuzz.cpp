// A page rendered from a template text with the generator's keywords, on a
// small tree with English texts, as a run renders it.
#include "fuzz_support.h"
#include "html/render.h"
#include "runtime/linelist.h"
#include "runtime/scratch.h"
#include "runtime/varstore.h"
#include "script/valtable.h"
#include "script/variables.h"
#include "sitegen/dispatch.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"
#include "sitegen/trail.h"

namespace {
const char kTree[] = "home\nproducts\n\twidget,TEMPLATE=sub.html\ncontact\n";
const char kTexts[] = "home='Home'\nproducts='Products'\n";
const char kSub[] = "<p>[LANG('home')]</p>\n";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vkfuzz::Fresh();
  vk::SysVarFlags(vk::kSysSystemCompat, vk::kCompatLf, 1);
  const std::string tree = vkfuzz::Put("tree.txt", reinterpret_cast<const uint8_t*>(kTree), sizeof kTree - 1);
  const std::string texts = vkfuzz::Put("tree_en.txt", reinterpret_cast<const uint8_t*>(kTexts), sizeof kTexts - 1);
  vkfuzz::Put("sub.html", reinterpret_cast<const uint8_t*>(kSub), sizeof kSub - 1);
  const std::string page = vkfuzz::Put("page.html", data, size);
  if (vk::SiteTreeLoad(vkfuzz::Sl(tree), vk::kSiteTextWidth) != 0) return 0;
  vk::SiteGenLangSet(1);
  // Set-up on a fresh store, and the render: results are not looked at.
  (void)vk::StoreSet(vk::kGroupRun, vk::kRunLangTexts, vk::SiteGenLangSuffix(1));
  (void)vk::ParamListLoadPairs(vkfuzz::Sl(texts));
  *vk::SiteCursorGet() = vk::SiteTreeAt(2);
  (void)vk::StoreSet(vk::kGroupRun, vk::kRunPagePath, vk::StrSlice{"products\\widget", 15});
  (void)vk::StoreSet(vk::kGroupRun, vk::kRunPageFolder, vk::StrSlice{"products", 8});
  (void)vk::SiteGenBuildTrail();

  vk::MacroContext context{};
  vk::MacroContextInit(&context, vk::kStrEmpty, vk::Lit(vk::kSiteKeywordList), vk::SiteKwDispatch);
  const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
  (void)vk::HtmlPageRender(vkfuzz::Sl(page), context);
  vk::WorkMark(mark);
  return 0;
}
