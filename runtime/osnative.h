// What the operating-system boundary's own sources (os*.cpp) share: the
// system form of a library path and the noting of a failed call's reason for
// OsLastError. Included by those sources only.
#pragma once
#include <cerrno>
#include <cstring>

#include "runtime/osfault.h"
#include "runtime/ostext.h"
#include "runtime/slice.h"

namespace vk::osnative {

// A system path built from a library path, NUL-terminated; ok is false when
// the path is empty, too long or holds a NUL byte.
struct NativePath {
  char text[kOsPathMax];
  bool ok;
};

// The reason of this thread's latest failed call (defined in osproc.cpp,
// read by OsLastError).
extern thread_local int t_last_error;

// Remembers why the call that just failed failed, for OsLastError.
inline void NoteError() { t_last_error = errno; }

// The result of a call that answers 0 on success: 0, or kFailed with the
// reason noted.
inline u16 Outcome(int r) {
  if (r == 0) return 0;
  NoteError();
  return kFailed;
}

// An unusable path is noted as the system would have refused it.
inline void ToNative(StrSlice path, NativePath* out) {
  out->ok = false;
  out->text[0] = 0;
  if (!path.ptr || path.len == 0) {
    t_last_error = ENOENT;
    return;
  }
  out->ok = OsToUtf8(path, true, out->text, sizeof out->text) != kOsTooLong;
  if (!out->ok) t_last_error = std::memchr(path.ptr, 0, path.len) ? EINVAL : ENAMETOOLONG;
}

// The folder part of a system path into out (kOsPathMax bytes): "." for a
// bare name, "/" for a name at the root.
inline void NativeFolderOf(const char* path, char* out) {
  const char* cut = std::strrchr(path, '/');
  if (!cut) {
    std::strcpy(out, ".");
  } else if (cut == path) {
    std::strcpy(out, "/");
  } else {
    std::memcpy(out, path, static_cast<size_t>(cut - path));
    out[cut - path] = 0;
  }
}

// Lets the write queue put in place what it holds for a file the caller is
// about to name (folder false) or for a folder it is about to list (folder
// true): every public call that names a file or lists a folder calls it
// first (defined in ostemp.cpp).
void Settle(StrSlice path, bool folder);
// True when the write queue holds a content for path that is not in place
// yet (with follow, also for the file a symbolic link at path leads to);
// with data, a copy of it (malloc'd) in *data and *size.
bool Pending(StrSlice path, bool follow, char** data, u32* size);
// Lets the write queue have its say before the caller changes the file
// system other than through it (see OsPendingHooks): false, with ECANCELED
// noted, when the change is not to be made. Every public call that changes
// the file system calls it first.
[[nodiscard]] bool MayChange();

// True when a failure is injected into this call (osfault.h), on the file
// at path (system form; null when the call names none): errno is then set
// to it, and the caller fails as though the system had refused.
bool Faulted(OsFaultCall call, const char* path = nullptr);

// Notes the file system of a change for the run's flush (ossync.h): through
// a descriptor the caller holds on a file there (its device from fstat; the
// file's path names the folder for a message), through a folder, or
// through the folder of a path (system forms).
void SyncNoteFd(int fd, u64 device, const char* path);
void SyncNoteFolder(const char* folder);
void SyncNoteParent(const char* path);

// A call that changes one name and answers 0 on success, call(system
// path): the write queue has its say (MayChange) and settles the name
// first. 0, or kFailed with the reason noted (an unusable path as the
// system would have refused it).
template <typename Call>
u16 OnName(StrSlice path, Call call) {
  if (!MayChange()) return kFailed;
  Settle(path, false);
  NativePath p;
  ToNative(path, &p);
  return p.ok ? Outcome(call(p.text)) : kFailed;
}

}  // namespace vk::osnative
