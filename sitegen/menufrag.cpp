#include "sitegen/menufrag.h"

namespace vk {

u16 SiteGenWriteMenus() { return 0; }
u16 SiteGenWriteMenuTree(StrSlice, StrSlice, StrSlice) { return 0; }
u16 SiteGenWriteMenuItem(u16, StrSlice, StrSlice, const char*) { return 0; }
u8 SiteGenMenuAvoided(StrSlice) { return 0; }
u16 SiteGenWriteTypeMap(StrSlice, StrSlice, u16) { return 0; }

}  // namespace vk
