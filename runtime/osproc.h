// The process, at the operating-system boundary (see ostext.h): its
// environment, executable, current directory and the reason of its latest
// failed system call. Texts and paths come back in library form (Latin-1,
// '\'), as one new scratch entry (or an error slice when the scratch stack
// is full).
#pragma once
#include "runtime/slice.h"

namespace vk {

// The value of the environment variable name, as Latin-1: looked up by the
// exact name first, then among the environment without regard to ASCII case
// (the first such name in environment order). The empty text when unset or
// when name is empty. *found (when given) tells unset from set-but-empty.
StrSlice OsEnvGet(StrSlice name, bool* found = nullptr);
// The running executable (/proc/self/exe) in library form; empty on failure.
StrSlice OsExePath();
// The current directory in library form; empty on failure.
StrSlice OsDirCurrent();
// Changes the current directory to a library path: 0 or kFailed.
[[nodiscard]] u16 OsDirChange(StrSlice path);

// The system's error number of the latest failed call on this thread that
// says so (0 when none did). The calls on files and folders note it when
// they fail; the inquiries (OsStatPath, OsSameFile, OsList, OsFileKeepSame,
// OsDirLock) need not.
int OsLastError();
// The system's reason for error number err ("No space left on device"),
// in English whatever the process's locale: one new scratch entry.
StrSlice OsErrorText(int err);

}  // namespace vk
