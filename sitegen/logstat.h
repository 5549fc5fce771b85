// The login state (LOGSTAT): a login link or the logout form, chosen by
// conditions on the page path.
//
// It reads the page path (variable group 9 entry 0) and the current language
// and writes one snippet through HtmlOut. A snippet that would pass 384
// bytes is not written and the page goes on; only a scratch stack that runs
// out ends the page (the result 145). Links and fail pages written by the
// site's author are not formats: each "%s" in them becomes the language
// code, every other byte stays as it is. The scratch stack is left as it was
// found.
#pragma once
#include "runtime/slice.h"

namespace vk {

// LOGSTAT(link, condition, ...): the first pair whose condition lists the
// page path ('*' standing for the page's name; a condition of "*" alone
// matches every page) writes a login link to link (with "&lang=xx" unless
// the link holds "%s"), or, when link is empty or "(failpage)", the logout
// form with that fail page (default "/") and the language's confirm text.
// 0, or 145 when the scratch stack ran out.
[[nodiscard]] u16 SiteKwLogStat(StrSlice args);

}  // namespace vk
