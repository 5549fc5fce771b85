// One process at a time per folder: an advisory lock on a file of the
// program's own inside the folder (kOsLockName), which the system drops when
// the process ends, however it ends. Every run takes the same lock, whoever
// starts it and whether or not it may read the folder. The file is made
// readable by those who may write the folder, and only they can make,
// replace or remove it; it is removed again by OsDirUnlock.
// Part of the operating-system boundary (see ostext.h).
#pragma once
#include "runtime/slice.h"

namespace vk {

// The lock file's name inside the folder it locks: not a temporary's form,
// so no sweep takes it, and no listing of the folder shows it.
constexpr char kOsLockName[] = ".vellumcraft.lock";

// A lock held: the lock file and the folder it is in (-1 for none).
struct OsDirLockHeld {
  i32 file = -1;
  i32 folder = -1;
};

// OsDirLock's answers besides 0 (held, in *held).
// Another process holds the folder.
constexpr i32 kOsLockBusy = -2;
// Nothing to guard: the folder is not there, this process may not write
// into it (so it changes nothing there), or its file system has no room
// left for the lock file (so no run makes a file there).
constexpr i32 kOsLockNone = -1;
// The lock cannot be taken: something other than a regular file is at the
// lock file's name (a link, a FIFO, a folder: never followed, opened
// without waiting), or a file there that this process may not read;
// OsLastError tells why (0 for something other than a file).
constexpr i32 kOsLockRefused = -3;
i32 OsDirLock(StrSlice folder, OsDirLockHeld* held);
// Removes the lock file (when its name is still its own) and releases the
// lock; *held is then empty. Nothing for an empty one.
void OsDirUnlock(OsDirLockHeld* held);

}  // namespace vk
