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
// they fail; the inquiries (OsStatPath, OsSameFile, OsList, OsFileSame,
// OsDirLock) need not.
int OsLastError();
// The system's reason for error number err ("No space left on device"),
// in English whatever the process's locale: one new scratch entry.
StrSlice OsErrorText(int err);

// Fallbacks the boundary takes where a system lacks something, forced on
// for tests (or from the environment variable VK_OS_FALLBACK, a number of
// these bits), so that each one runs on any machine.
enum : u32 {
  kOsNoThreads = 0x01,   // no thread can be started
  kOsNoExchange = 0x02,  // the file system cannot swap two names
  kOsNoUnnamed = 0x04,   // no file can be made without a name (or linked through /proc)
};
u32 OsFallbacks();
void OsSetFallbacks(u32 bits);

// The CPUs this process may run on (its affinity), at least 1.
u32 OsCpuCount();
// Starts a thread running fn(arg) that is never joined: false when the
// system refuses one (or kOsNoThreads is set).
bool OsThreadStart(void (*fn)(void*), void* arg);

}  // namespace vk
