// One process at a time per folder: an advisory lock on the folder that the
// system drops when the process ends, however it ends. OsDirLock gives a
// handle (0 or more), kOsLockBusy when another process holds the folder, or
// kOsLockNone when the folder is not there (nothing to guard then). A
// folder that may be written but not read is locked as well.
// Part of the operating-system boundary (see ostext.h).
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr i32 kOsLockBusy = -2;
constexpr i32 kOsLockNone = -1;
i32 OsDirLock(StrSlice folder);
void OsDirUnlock(i32 handle);

}  // namespace vk
