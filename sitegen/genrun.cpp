#include "sitegen/genrun.h"

namespace vk {

u16 SiteGenRun(StrSlice, StrSlice, StrSlice, MacroContext, u16, OverwriteRule, u8) { return 0; }
u16 SiteGenSetLanguage(StrSlice, u16) { return 0; }
u16 SiteGenLoadVars(StrSlice) { return 0; }
OverwriteRule SiteGenOverwriteRule(bool, bool, i16, u16* written, u16* avoids) {
  return OverwriteRule{0, 0, 0, 0, written, avoids};
}
StrSlice SiteGenTimeWindowItem(u16) { return StrSlice{"", 0}; }

}  // namespace vk
