// The page-tree loader: the input is the tree file. A loaded tree is walked
// in full and its menu fragments are written, as a run does.
#include "fuzz_support.h"
#include "runtime/scratch.h"
#include "sitegen/menufrag.h"
#include "sitegen/pagetree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vkfuzz::Fresh();
  const std::string tree = vkfuzz::Put("tree.txt", data, size);
  const vk::u16 width = size && (data[0] & 1) ? vk::kSiteWidthAuto : vk::kSiteTextWidth;
  if (vk::SiteTreeLoad(vkfuzz::Sl(tree), width) != 0) return 0;
  vk::u32 steps = 0;
  for (vk::SiteCursor c = vk::SiteTreeAt(vk::SiteTreeRoot()); c.index != vk::kSiteNone;
       c = vk::SiteTreeNext(c.index, 1)) {
    if (++steps > vk::SiteTreeCount()) __builtin_trap();  // a walk visits each node once
  }
  const vk::WorkMarkId mark = vk::WorkMark(vk::kMarkQuery);
  // Only that nothing breaks counts: the result is not looked at.
  (void)vk::SiteGenWriteMenus();
  vk::WorkMark(mark);
  vk::SiteTreeFree();
  return 0;
}
