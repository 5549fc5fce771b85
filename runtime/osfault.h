// Failures injected at the operating-system boundary, for tests: the
// chosen call fails with the chosen error number as though the system had
// refused it, so that a full disk, a quota, an I/O error, a failed flush or
// a rename refused in the middle of a batch can be tested on any machine,
// without root and without mounts. Part of the boundary (see ostext.h).
#pragma once
#include "runtime/slice.h"

namespace vk {

// The calls a failure can be injected into.
enum OsFaultCall : u8 {
  kOsFaultCreate,  // making a temporary (before anything is written)
  kOsFaultWrite,   // writing a temporary's content
  kOsFaultSync,    // flushing a file system (or a temporary) to the disk
  kOsFaultPlace,   // a temporary taking its file's place
  kOsFaultCount
};

// From now on, the calls of that kind fail with err after `skip` of them
// went through; times of them fail (0: every one), then they go through
// again. err 0 removes the failure. With `only` (a file name, or its end
// from a '/', as in "sub/page.html"), only the calls on such a file count,
// as a name that refuses files while its neighbours take them.
void OsFaultSet(OsFaultCall call, int err, u32 skip = 0, u32 times = 0, const char* only = nullptr);
// Removes every injected failure.
void OsFaultClear();

}  // namespace vk
