// The trail of the page being written, which the breadcrumb (CURBRANCH)
// shows: the components of the page path, each in the current language.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Sets variable group 9 entry 1 to the translated components of the page
// path (entry 0, split at '\') joined by ','. A comma or an unclosed quote in
// a translated name is written as its character reference, so every
// component stays exactly one item of the trail. The store's result.
[[nodiscard]] u16 SiteGenBuildTrail();

}  // namespace vk
