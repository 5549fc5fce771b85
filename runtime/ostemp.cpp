#include "runtime/ostemp.h"

#include <dirent.h>
#include <pthread.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <utility>

#include "runtime/error.h"
#include "runtime/osfile.h"
#include "runtime/osnative.h"
#include "runtime/osproc.h"

namespace vk {

using namespace osnative;

namespace {

// ".vellumcraft-<pid>-<number>.tmp": the process id tells a sweep whether
// the temporary's writer is still there; the number counts up across the
// process, so no two temporaries of one process share a name.
constexpr char kTempPrefix[] = ".vellumcraft-";
constexpr char kTempSuffix[] = ".tmp";
constexpr u32 kTempTries = 64;
std::atomic<u32> g_temp_counter{0};

OsPendingHooks g_hooks{};

// The process id, asked of the system once (and again in a child after a
// fork): every temporary's name holds it.
std::atomic<int> g_self{0};

void ForgetSelf() { g_self.store(0, std::memory_order_relaxed); }

int SelfPid() {
  int pid = g_self.load(std::memory_order_relaxed);
  if (pid == 0) {
    static const bool watched = pthread_atfork(nullptr, nullptr, ForgetSelf) == 0;
    (void)watched;
    pid = static_cast<int>(getpid());
    g_self.store(pid, std::memory_order_relaxed);
  }
  return pid;
}

// Folders swept since OsTempSweepForget, by file system and inode.
std::set<std::pair<u64, u64>> g_swept;

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

// The temporary number's name beside the file at path (system form), into
// out: false when it would not fit.
bool TempName(const char* path, u32 number, char* out) {
  const char* cut = std::strrchr(path, '/');
  const size_t folder = cut ? static_cast<size_t>(cut - path) + 1 : 0;
  if (folder + sizeof kTempPrefix + 2 * 10 + sizeof kTempSuffix >= kOsPathMax) return false;
  std::memcpy(out, path, folder);
  std::snprintf(out + folder, kOsPathMax - folder, "%s%d-%u%s", kTempPrefix, SelfPid(), number,
                kTempSuffix);
  return true;
}

// Gives a new temporary a free name beside path (into name, its number into
// *temp) through claim(name), which answers false with errno set; a name
// already taken (EEXIST) makes it try the next number. true, or false with
// errno telling why.
template <typename Claim>
bool ClaimTempName(const char* path, OsTemp* temp, char* name, Claim claim) {
  for (u32 i = 0; i < kTempTries; ++i) {
    temp->number = g_temp_counter.fetch_add(1);
    if (!TempName(path, temp->number, name)) {
      errno = ENAMETOOLONG;
      return false;
    }
    if (claim(name)) return true;
    if (errno != EEXIST) return false;
  }
  return false;
}

// The process id in a temporary's name; 0 for a name that is not one.
long TempOwner(const char* name) {
  const size_t prefix = sizeof kTempPrefix - 1;
  const size_t suffix = sizeof kTempSuffix - 1;
  const size_t len = std::strlen(name);
  if (len <= prefix + suffix || std::memcmp(name, kTempPrefix, prefix) != 0 ||
      std::memcmp(name + len - suffix, kTempSuffix, suffix) != 0) {
    return 0;
  }
  long pid = 0;
  size_t i = prefix;
  for (; i < len - suffix && name[i] >= '0' && name[i] <= '9'; ++i) {
    pid = pid * 10 + (name[i] - '0');
    if (pid > 0x7FFFFFFF) return 0;
  }
  if (i == prefix || name[i] != '-' || ++i == len - suffix) return 0;
  for (; i < len - suffix; ++i)
    if (name[i] < '0' || name[i] > '9') return 0;
  return pid;
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

// A file without a name is given one through its entry in /proc, which a
// system without /proc (a bare chroot) lacks.
bool CanLinkUnnamed() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

// True when the process is gone: its temporaries are no one's.
bool OwnerGone(long pid) { return pid != SelfPid() && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH; }

}  // namespace

void osnative::Settle(StrSlice path, bool folder) {
  if (g_hooks.settle) g_hooks.settle(path, folder);
}

bool osnative::Pending(StrSlice path, char** data, u32* size) {
  return g_hooks.pending && g_hooks.pending(path, data, size);
}

void OsSetPendingHooks(OsPendingHooks hooks) { g_hooks = hooks; }

u16 OsTempWrite(StrSlice path, const void* data, u32 len, bool durable, OsTemp* temp) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsOpenFailed;
  char name[kOsPathMax];
  name[0] = 0;
  // The content goes into a file without a name first, which is then
  // linked under the temporary's name: making a file is most of the work,
  // and a file without a name is made without holding the folder, so that
  // writers in one folder do not wait for each other. Where that cannot be
  // done (no such files on this file system, no /proc to link them
  // through), the temporary is made under its name at once.
  int fd = -1;
  bool unnamed = false;
  if (!(OsFallbacks() & kOsNoUnnamed) && CanLinkUnnamed()) {
    char folder[kOsPathMax];
    FolderOf(p.text, folder);
    fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    unnamed = fd >= 0;
    if (!unnamed && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      NoteError();
      return kOsOpenFailed;
    }
  }
  // Exclusive and without following a link: a name already taken (by
  // anything planted there) is never written.
  if (!unnamed && !ClaimTempName(p.text, temp, name, [&fd](const char* n) {
        fd = open(n, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        return fd >= 0;
      })) {
    NoteError();
    return kOsOpenFailed;
  }
  u16 rc = WriteAll(fd, static_cast<const char*>(data), len) ? 0 : kFailed;
  if (rc && (t_last_error == ENOSPC || t_last_error == EDQUOT)) rc = kOsNoRoom;
  if (rc == 0 && durable && fdatasync(fd) != 0) {
    NoteError();
    rc = kFailed;
  }
  struct stat st {};
  if (rc == 0 && fstat(fd, &st) != 0) {
    NoteError();
    rc = kFailed;
  }
  temp->device = static_cast<u64>(st.st_dev);
  if (rc == 0 && unnamed) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (!ClaimTempName(p.text, temp, name,
                       [&self](const char* n) { return linkat(AT_FDCWD, self, AT_FDCWD, n, AT_SYMLINK_FOLLOW) == 0; })) {
      NoteError();
      rc = t_last_error == ENOSPC || t_last_error == EDQUOT ? kOsNoRoom : kOsOpenFailed;
      name[0] = 0;  // nothing named to remove
    }
  }
  // A failure that only the close reports keeps the old file.
  if (close(fd) != 0 && rc == 0) {
    NoteError();
    rc = kFailed;
  }
  if (rc && name[0]) unlink(name);
  return rc;
}

u16 OsTempPlace(StrSlice path, OsTemp* temp, bool* swapped) {
  *swapped = false;
  NativePath p;
  ToNative(path, &p);
  char name[kOsPathMax];
  if (!p.ok || !TempName(p.text, temp->number, name)) return kOsOpenFailed;
  // Swapping leaves the old file's removal, which is most of the cost of
  // renaming over it, for later and for other threads. A folder is renamed
  // over, which fails as it should; so does a file system that cannot swap.
  struct stat st {};
  const bool there = lstat(p.text, &st) == 0;
  if (there && !S_ISDIR(st.st_mode) && !(OsFallbacks() & kOsNoExchange) &&
      renameat2(AT_FDCWD, name, AT_FDCWD, p.text, RENAME_EXCHANGE) == 0) {
    *swapped = true;
    return 0;
  }
  if (rename(name, p.text) == 0) return 0;
  NoteError();
  unlink(name);
  return kOsOpenFailed;
}

void OsTempDrop(StrSlice path, const OsTemp& temp) {
  NativePath p;
  ToNative(path, &p);
  char name[kOsPathMax];
  if (p.ok && TempName(p.text, temp.number, name)) unlink(name);
}

u16 OsSyncFileSystem(StrSlice path) {
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kFailed;
  const int fd = open(p.text, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Outcome(-1);
  const u16 rc = Outcome(syncfs(fd));
  close(fd);
  return rc;
}

u16 OsFileSame(StrSlice path, const void* data, u32 len, u64* device) {
  Settle(path, false);
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsDiffers;
  // A link is never followed (it is to be replaced), and a FIFO never
  // blocks.
  const int fd = open(p.text, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return kOsDiffers;
  // A file with another name is replaced, so that the other name keeps its
  // content and its time. One byte more than data tells a longer file; a
  // regular file is read short only at its end.
  struct stat st {};
  bool same = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_nlink == 1 &&
              static_cast<u64>(st.st_size) == len;
  char* buf = same ? static_cast<char*>(std::malloc(len + 1u)) : nullptr;
  if (buf) {
    ssize_t n;
    do n = read(fd, buf, len + 1u);
    while (n < 0 && errno == EINTR);
    same = n == static_cast<ssize_t>(len) && std::memcmp(buf, data, len) == 0;
    std::free(buf);
  } else {
    same = false;
  }
  close(fd);
  *device = static_cast<u64>(st.st_dev);
  return same ? 0 : kOsDiffers;
}

u16 OsFileTouch(StrSlice path) {
  // Both stamps to now, which the owner or anyone who may write the file
  // may set (a time of one's choosing would need the owner).
  return OnName(path, [](const char* name) { return utimensat(AT_FDCWD, name, nullptr, AT_SYMLINK_NOFOLLOW); });
}

u16 OsFileReplace(StrSlice path, const void* data, u32 len, u64* device) {
  Settle(path, false);
  OsTemp temp{};
  u16 rc = OsTempWrite(path, data, len, true, &temp);
  if (rc == kOsNoRoom) rc = kFailed;
  bool swapped = false;
  if (rc == 0) rc = OsTempPlace(path, &temp, &swapped);
  if (swapped) OsTempDrop(path, temp);
  if (device) *device = temp.device;
  return rc;
}

u16 OsFilePut(StrSlice path, const void* data, u32 len) {
  u64 device = 0;
  if (OsFileSame(path, data, len, &device) == 0 && OsFileTouch(path) == 0) return 0;
  return OsFileReplace(path, data, len);
}

u16 OsTempSweep(StrSlice base, StrSlice inside) {
  NativePath p;
  ToNative(base, &p);
  int dfd = p.ok ? open(p.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (p.ok && dfd < 0) NoteError();
  // Each step inside is a folder of its own, never a link to one.
  for (u16 i = 0; dfd >= 0 && i < inside.len;) {
    u16 j = i;
    while (j < inside.len && inside.ptr[j] != '\\' && inside.ptr[j] != '/') ++j;
    char step[kOsPathMax];
    if (j > i && OsToUtf8(StrMake(inside.ptr + i, j - i), false, step, sizeof step) != kOsTooLong) {
      const int next = openat(dfd, step, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (next < 0) NoteError();
      close(dfd);
      dfd = next;
    }
    i = static_cast<u16>(j + 1);
  }
  struct stat st {};
  if (dfd < 0 || fstat(dfd, &st) != 0) {
    if (dfd >= 0) close(dfd);
    return kFailed;
  }
  if (!g_swept.insert({static_cast<u64>(st.st_dev), static_cast<u64>(st.st_ino)}).second) {
    close(dfd);
    return 0;
  }
  DIR* d = fdopendir(dfd);
  if (!d) {
    NoteError();
    close(dfd);
    return kFailed;
  }
  while (struct dirent* e = readdir(d)) {
    const long owner = TempOwner(e->d_name);
    if (owner == 0 || !OwnerGone(owner)) continue;
    bool file_or_link = e->d_type == DT_REG || e->d_type == DT_LNK;
    struct stat es {};
    if (e->d_type == DT_UNKNOWN && fstatat(dfd, e->d_name, &es, AT_SYMLINK_NOFOLLOW) == 0) {
      file_or_link = S_ISREG(es.st_mode) || S_ISLNK(es.st_mode);
    }
    // unlinkat without AT_REMOVEDIR never removes a folder.
    if (file_or_link) unlinkat(dfd, e->d_name, 0);
  }
  closedir(d);
  return 0;
}

void OsTempSweepForget() { g_swept.clear(); }

}  // namespace vk
