#include "runtime/ostemp.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/error.h"
#include "runtime/osfile.h"
#include "runtime/osnative.h"
#include "runtime/scratch.h"

namespace vk {

using namespace osnative;

namespace {

// Writes all of data to fd: true, or false with the reason noted.
bool WriteAll(int fd, const char* at, u32 len) {
  while (len > 0) {
    const ssize_t n = write(fd, at, len);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      NoteError();
      return false;
    }
    at += n;
    len -= static_cast<u32>(n);
  }
  return true;
}

// The temporary's suffix: ".~" and digits. The number counts up across the
// process and starts from the process id, so two processes writing one
// name rarely meet; when they do, the exclusive create tells and the next
// number is tried.
constexpr char kTempMark[] = ".~";
constexpr u32 kTempTries = 64;
std::atomic<u32> g_temp_counter{0};

bool IsTempName(const char* name) {
  const char* mark = std::strrchr(name, '~');
  if (!mark || mark == name || mark[-1] != '.' || mark[1] == 0) return false;
  for (const char* c = mark + 1; *c; ++c)
    if (*c < '0' || *c > '9') return false;
  return true;
}

// Gives the open file fd a free temporary name beside path (into temp):
// with linked, fd is a file without a name and is linked there; else a new
// file is created there and *fd set. true, or false with the reason noted.
bool TempBeside(const char* path, char* temp, int* fd, bool linked) {
  const size_t base = std::strlen(path);
  if (base + sizeof kTempMark + 10 >= kOsPathMax) {
    t_last_error = ENAMETOOLONG;
    return false;
  }
  std::memcpy(temp, path, base);
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", *fd);
  for (u32 i = 0; i < kTempTries; ++i) {
    const u32 n = static_cast<u32>(getpid()) * 1000u + g_temp_counter.fetch_add(1);
    std::snprintf(temp + base, kOsPathMax - base, "%s%u", kTempMark, n);
    // Exclusive and without following a link: a name already taken (by
    // another process, or by anything planted there) is never written.
    if (linked ? linkat(AT_FDCWD, self, AT_FDCWD, temp, AT_SYMLINK_FOLLOW) == 0
               : (*fd = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)) >= 0) {
      return true;
    }
    if (errno != EEXIST) break;
  }
  NoteError();
  return false;
}

// The folder part of a system path ("." for a bare name).
void FolderOf(const char* path, char* out) {
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

// Renames the temporary over path: 0, or kOsOpenFailed (and the temporary
// is gone).
u16 RenameOver(const char* temp, const char* path) {
  if (rename(temp, path) == 0) return 0;
  NoteError();
  unlink(temp);
  return kOsOpenFailed;
}

// A file without a name is given one through its entry in /proc, which a
// system without /proc (a bare chroot) lacks.
bool CanLinkUnnamed() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

// Puts the written file without a name, fd, in place at path. A name that
// is free gets the file at once. Anything else but a folder is swapped with
// it in one step (the file goes in, what was there comes out under a
// temporary name) and then removed: unlike renaming over it, swapping does
// not make the file system write the new file out at once, which costs
// far more than the swap. A folder is renamed over, which fails as it
// should. 0, or kOsOpenFailed.
u16 LinkInPlace(int fd, const char* path, char* temp) {
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  struct stat st {};
  const bool there = fstatat(AT_FDCWD, path, &st, AT_SYMLINK_NOFOLLOW) == 0;
  if (!there) {
    if (linkat(AT_FDCWD, self, AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno != EEXIST) {
      NoteError();
      return kOsOpenFailed;
    }
  }
  if (!TempBeside(path, temp, &fd, true)) return kOsOpenFailed;
  if (there && !S_ISDIR(st.st_mode) && renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_EXCHANGE) == 0) {
    unlink(temp);
    return 0;
  }
  // No swapping here (the name went away meanwhile, or the file system
  // cannot swap): an ordinary rename.
  return RenameOver(temp, path);
}

}  // namespace

u16 OsFileKeepSame(StrSlice path, const void* data, u32 len) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsDiffers;
  // A link is never followed (it is to be replaced), and a FIFO never
  // blocks: it reads as empty.
  const int fd = open(p.text, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kOsDiffers;
  // One byte more than data tells a longer file; a regular file is read
  // short only at its end.
  char* buf = static_cast<char*>(std::malloc(len + 1u));
  bool same = false;
  if (buf) {
    ssize_t n;
    do n = read(fd, buf, len + 1u);
    while (n < 0 && errno == EINTR);
    same = n == static_cast<ssize_t>(len) && std::memcmp(buf, data, len) == 0;
    std::free(buf);
  }
  // Both stamps to now, which the owner or anyone who may write the file
  // may set (a time of one's choosing would need the owner).
  same = same && futimens(fd, nullptr) == 0;
  close(fd);
  return same ? 0 : kOsDiffers;
}

u16 OsFileReplace(StrSlice path, const void* data, u32 len) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsOpenFailed;
  // The new content goes into a file without a name first: made outside
  // the folder's lock, so that writers in one folder do not wait for each
  // other, and gone by itself when the process dies before it is linked.
  // Where the file system has no such files, a named temporary takes its
  // place, closed before the rename so that a failure that only the close
  // reports keeps the old file.
  char folder[kOsPathMax];
  FolderOf(p.text, folder);
  char temp[kOsPathMax];
  int fd = CanLinkUnnamed() ? open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
  const bool unnamed = fd >= 0;
  if (!unnamed && CanLinkUnnamed() && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
    NoteError();
    return kOsOpenFailed;
  }
  if (!unnamed && !TempBeside(p.text, temp, &fd, false)) return kOsOpenFailed;
  u16 rc = WriteAll(fd, static_cast<const char*>(data), len) ? 0 : kFailed;
  if (unnamed) {
    if (rc == 0) rc = LinkInPlace(fd, p.text, temp);
    close(fd);
    return rc;
  }
  if (close(fd) != 0 && rc == 0) {
    NoteError();
    rc = kFailed;
  }
  if (rc != 0) {
    unlink(temp);
    return rc;
  }
  return RenameOver(temp, p.text);
}

StrSlice OsFileCreateTemp(StrSlice path) {
  NativePath p;
  ToNative(path, &p);
  char temp[kOsPathMax];
  int fd = -1;
  if (!p.ok || !TempBeside(p.text, temp, &fd, false)) return StrErrorSlice(kOsOpenFailed);
  close(fd);
  // The suffix is the same bytes in both forms.
  const size_t base = std::strlen(p.text);
  const u32 suffix = static_cast<u32>(std::strlen(temp + base));
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice room = path.len + suffix <= kMaxText ? WorkAllocSlice(static_cast<u16>(path.len + suffix), kNoFill)
                                                      : StrErrorSlice(kErrStringTooLong);
  if (!room.ptr) {
    unlink(temp);
    return room;
  }
  char* out = const_cast<char*>(room.ptr);
  std::memcpy(out, path.ptr, path.len);
  std::memcpy(out + path.len, temp + base, suffix);
  return WorkReturn(mark, room);
}

u16 OsFilePut(StrSlice path, const void* data, u32 len) {
  return OsFileKeepSame(path, data, len) == 0 ? 0 : OsFileReplace(path, data, len);
}

u16 OsTempSweep(StrSlice folder) {
  NativePath p;
  ToNative(folder, &p);
  const int dfd = p.ok ? open(p.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  DIR* d = dfd >= 0 ? fdopendir(dfd) : nullptr;
  if (!d) {
    if (p.ok) NoteError();
    if (dfd >= 0) close(dfd);
    return kFailed;
  }
  while (struct dirent* e = readdir(d)) {
    const bool file_or_link = e->d_type == DT_REG || e->d_type == DT_LNK || e->d_type == DT_UNKNOWN;
    // unlinkat without AT_REMOVEDIR never removes a folder.
    if (file_or_link && IsTempName(e->d_name)) unlinkat(dfd, e->d_name, 0);
  }
  closedir(d);
  return 0;
}

}  // namespace vk
