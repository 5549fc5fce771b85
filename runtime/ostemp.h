// Whole-file writes, at the operating-system boundary (see ostext.h).
// A file is replaced whole: its new content goes to a temporary file in the
// same folder, which is then renamed over it. At every moment the name holds
// the old file or the whole new one, also when the process is killed or the
// disk fills; a link at the name is replaced, never written through, and a
// hard-linked twin keeps the old content. A temporary is the file's name
// followed by ".~" and digits; one that a killed process left behind is
// removed by OsTempSweep.
//
// These three are safe to call from any thread; they never close the file
// that OsFileAppend keeps open (see OsAppendEnd).
#pragma once
#include "runtime/osfile.h"
#include "runtime/slice.h"

namespace vk {

// 0 when the name is a file of its own (not a link) that holds exactly the
// len bytes of data; its modification time is then set to now, as a rewrite
// would have set it. kOsDiffers for anything else (different content, a
// link, a folder, no file, a time that cannot be set).
constexpr u16 kOsDiffers = 0xFFFD;
[[nodiscard]] u16 OsFileKeepSame(StrSlice path, const void* data, u32 len);
// Replaces the file with len bytes of data (a missing file is created): 0;
// kOsOpenFailed when the temporary cannot be created or renamed over the
// name (a folder there, no write access to the folder); kFailed when writing
// it failed (a full disk, a size limit). A failure leaves the old file as it
// was and no temporary; OsLastError tells why.
[[nodiscard]] u16 OsFileReplace(StrSlice path, const void* data, u32 len);
// Creates a new empty temporary beside path, for a caller that writes it
// through a stream and then renames it over path (OsFileRename), or removes
// it when that fails: its library path as one new scratch entry, or an
// error slice (kOsOpenFailed when it cannot be created, 145 when the
// scratch stack is full).
StrSlice OsFileCreateTemp(StrSlice path);
// OsFileKeepSame, else OsFileReplace.
[[nodiscard]] u16 OsFilePut(StrSlice path, const void* data, u32 len);
// Removes the temporaries that a killed writer left in a folder (regular
// files and links named like one, nothing else): 0, or kFailed when the
// folder cannot be read.
[[nodiscard]] u16 OsTempSweep(StrSlice folder);

}  // namespace vk
