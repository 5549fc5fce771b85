#include "sitegen/langsel.h"

namespace vk {

void SiteKwLangSel(StrSlice) {}
u16 SiteKwLogStat(StrSlice) { return 0; }

}  // namespace vk
