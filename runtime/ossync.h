// The file systems a run changed, flushed to the disk through descriptors
// held from the first change on each. Part of the operating-system boundary
// (see ostext.h).
//
// Every change the boundary makes on behalf of a run (a temporary written,
// a file kept and stamped, a file or folder removed or made, a rename)
// notes its file system; the first note on one keeps a descriptor on it.
// Flushing through that descriptor needs no right to read any folder (a
// folder that may be written but not read works), and it reports a
// write-back error that happened after the descriptor was opened, even one
// that another process has seen already. Device numbers are the system's
// own (st_dev), one form everywhere.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Forgets the file systems noted so far (their descriptors are closed).
void OsSyncBegin();
// Notes the file system that holds folder (a file's folder, the log's).
void OsSyncNote(StrSlice folder);
// Flushes the file system `device` (as a temporary's OsTemp::device names
// it): 0, or kFailed with the reason noted. One not noted is not flushed.
[[nodiscard]] u16 OsSyncDevice(u64 device);
// Flushes every file system noted, each once, then forgets them: 0, or
// kFailed with the reason noted and *failed the folder (library form, one
// new scratch entry) through which the first failing one was noted.
[[nodiscard]] u16 OsSyncAll(StrSlice* failed);

}  // namespace vk
