// The language selector (LANG_SEL): a flag image per listed language, linked
// to the current page in that language.
//
// It reads the page path (variable group 9 entry 0), the current language
// and the shared cursor's node and writes one snippet per flag through
// HtmlOut. A snippet that would pass 384 bytes is not written and the page
// goes on; only a scratch stack that runs out ends the page (the result
// 145). The scratch stack is left as it was found.
#pragma once
#include "runtime/slice.h"

namespace vk {

// LANG_SEL(items): each item a language number 1-5 (EN ES FR DE IT) whose
// flag /RELPATH$/images/lang_xx.gif links to the page's own name with that
// language's suffix (index for a folder page), from the server root. A page
// listed in avoid_langlnk$ gets the flags without links. In page mode
// (_AUXSTAT kAuxRunFlag) a text item sets the link target of the items after
// it; a target ending in '=' gets the language code appended.
[[nodiscard]] u16 SiteKwLangSel(StrSlice args);

}  // namespace vk
