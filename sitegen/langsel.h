// The language selector (LANG_SEL: a flag link per language of the site)
// and the login state links (LOGSTAT).
#pragma once
#include "runtime/slice.h"

namespace vk {

// LANG_SEL(arguments).
void SiteKwLangSel(StrSlice args);
// LOGSTAT(arguments): always 0.
u16 SiteKwLogStat(StrSlice args);

}  // namespace vk
