// Whole-file writes and the temporaries they go through, at the
// operating-system boundary (see ostext.h).
//
// A file is replaced whole: its new content goes to a temporary in the same
// folder, which then takes the file's place in one step. At every moment the
// name holds the old file or the whole new one, also when the process is
// killed, the disk fills or the power goes: a temporary's content is on the
// disk before it takes a file's place. A link at the name is replaced, never
// written through, and a hard-linked twin keeps the old content.
//
// A temporary is named ".vellumcraft-<boot>-<process id>-<number>.tmp", a
// name no user gives a file; one whose process is gone (killed, or of an
// earlier boot) is removed by OsTempSweep. The calls on temporaries (OsTempWrite, OsTempPlace,
// OsTempDrop) may be made from any thread; the others are the producer's.
#pragma once
#include "runtime/osfile.h"
#include "runtime/slice.h"

namespace vk {

// A temporary beside a file: its number (which, with the file's folder and
// the process id, makes its name), the file system it is on, and the mode,
// owner and group it was made with.
struct OsTemp {
  u32 number;
  u64 device;
  u32 mode;
  u32 uid;
  u32 gid;
};
// OsTempWrite's answers when the system had no room (a full disk or quota,
// blocks or inodes) for the temporary itself (kOsNoRoomToMake) or for its
// content (kOsNoRoom): a writer going one file at a time may have had it.
constexpr u16 kOsNoRoom = 0xFFFB;
constexpr u16 kOsNoRoomToMake = 0xFFFA;
inline bool OsNoRoom(u16 rc) { return rc == kOsNoRoom || rc == kOsNoRoomToMake; }

// Writes len bytes of data into a new temporary beside path (*temp tells
// which), flushed to the disk first with durable: 0; kOsNoRoomToMake or
// kOsNoRoom when the system had no room for it (above); kOsOpenFailed
// when it cannot be created (no write access to the folder, no folder);
// kFailed when writing failed (a size limit, an I/O error). A failure
// leaves no temporary; OsLastError tells why. Its file system is noted for
// the run's flush (ossync.h).
[[nodiscard]] u16 OsTempWrite(StrSlice path, const void* data, u32 len, bool durable, OsTemp* temp);
// Puts the temporary in path's place, with the mode (and, where this
// process may set them, the owner and group) of the regular file it
// replaces: anything there but a folder is swapped with it in one step, so that the old file then lies under the
// temporary's name (*swapped; to be removed with OsTempDrop); else it is
// renamed to path. 0, or kOsOpenFailed when the name cannot take it (a
// folder there): the temporary is removed then.
[[nodiscard]] u16 OsTempPlace(StrSlice path, OsTemp* temp, bool* swapped);
// Removes the temporary beside path.
void OsTempDrop(StrSlice path, const OsTemp& temp);

// 0 when the name is a regular file of its own (not a link, no other name
// for it) that holds exactly the len bytes of data (its file system is then
// noted for the run's flush: it is to be stamped). kOsDiffers for anything
// else. Nothing is changed.
constexpr u16 kOsDiffers = 0xFFFD;
[[nodiscard]] u16 OsFileSame(StrSlice path, const void* data, u32 len);
// Sets a file's times to now, as a rewrite would have (a link is not
// followed): 0, or kFailed with the reason noted.
[[nodiscard]] u16 OsFileTouch(StrSlice path);
// Replaces the file with len bytes of data (a missing file is created),
// durable when it returns: 0; kOsOpenFailed when the temporary cannot be
// created (no write access to the folder, no room for one more file) or
// take the name (a folder there); kFailed when writing it failed (a full
// disk, a size limit). A failure leaves the old file as it was and no
// temporary; OsLastError tells why.
[[nodiscard]] u16 OsFileReplace(StrSlice path, const void* data, u32 len);
// 0 when a file could be put at path now (nothing there, or a file that
// may be replaced, in a folder that may be written); kOsOpenFailed with the
// reason noted when not: a folder there (EISDIR), a file that may not be
// replaced (immutable or append-only: EPERM), no folder, or a folder that
// may not be written. Nothing is changed.
[[nodiscard]] u16 OsFilePlaceable(StrSlice path);
// A file that holds the data already only gets the current time
// (OsFileSame, OsFileTouch); else OsFileReplace.
[[nodiscard]] u16 OsFilePut(StrSlice path, const void* data, u32 len);

// Removes the temporaries of processes that are gone from the folder
// `inside` of base (empty: base itself), reached from base without
// following a link: regular files and links named exactly as this program
// names a temporary (lower-case hex boot, decimal numbers without sign or
// leading zero, or the older form without the boot), nothing else.
// Each folder is swept once until OsTempSweepForget. 0, or kFailed when the
// folder cannot be reached or read.
[[nodiscard]] u16 OsTempSweep(StrSlice base, StrSlice inside);
void OsTempSweepForget();

// How the boundary lets the write queue show the producer a file system in
// which every content handed over is in place:
//  - settle(path, folder) is called before a call that names a file
//    (folder false) or lists a folder (folder true): the queue puts in place
//    what it holds for it (a file reached through a symbolic link too);
//  - pending(path, follow, data, size) answers whether the queue holds a
//    content for path (with follow, also for the file a symbolic link there
//    leads to, as a read would reach it) and, when data is given, a copy of
//    it (malloc'd, *size bytes): a whole-file read (OsFileSlurp, and so
//    FileOpen for reading) gets that content without waiting for it to be
//    put in place;
//  - change() is called before a call that changes the file system other
//    than through the queue (a file written, appended to, replaced, renamed
//    or removed, a folder made or removed, a time set): false when the
//    change is not to be made, which then fails (ECANCELED).
// Null members for none.
struct OsPendingHooks {
  void (*settle)(StrSlice path, bool folder);
  bool (*pending)(StrSlice path, bool follow, char** data, u32* size);
  bool (*change)();
};
void OsSetPendingHooks(OsPendingHooks hooks);

}  // namespace vk
