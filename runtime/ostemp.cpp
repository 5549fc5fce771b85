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

// ".vellumcraft-<boot>-<pid>-<number>.tmp": the boot (the first 8 digits
// of the system's boot id) and the process id tell a sweep whether the
// temporary's writer is still there (a process of an earlier boot never
// is, whatever process has its id now); the number counts up across the
// process, so no two temporaries of one process share a name. Names of
// the older form ".vellumcraft-<pid>-<number>.tmp" are still swept.
constexpr char kTempPrefix[] = ".vellumcraft-";
constexpr u32 kBootDigits = 8;
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

// This boot's tag, read once: kBootDigits hex digits, or "0" where the
// system does not say.
const char* BootTag() {
  static char tag[kBootDigits + 1] = {};
  static const bool known = [] {
    std::strcpy(tag, "0");
    const int fd = open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    char id[kBootDigits];
    if (read(fd, id, sizeof id) == static_cast<ssize_t>(sizeof id)) {
      bool hex = true;
      for (char c : id) hex = hex && ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'));
      if (hex) {
        std::memcpy(tag, id, sizeof id);
        tag[kBootDigits] = 0;
      }
    }
    close(fd);
    return true;
  }();
  (void)known;
  return tag;
}

// Folders swept since OsTempSweepForget, by file system and inode.
std::set<std::pair<u64, u64>> g_swept;

// Writes all of data to fd, the temporary of the file at path: true, or
// false with the reason noted.
bool WriteAll(int fd, const char* at, u32 len, const char* path) {
  while (len > 0) {
    const ssize_t n = Faulted(kOsFaultWrite, path) ? -1 : write(fd, at, len);
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
  if (folder + sizeof kTempPrefix + kBootDigits + 2 * 11 + sizeof kTempSuffix >= kOsPathMax) return false;
  std::memcpy(out, path, folder);
  std::snprintf(out + folder, kOsPathMax - folder, "%s%s-%d-%u%s", kTempPrefix, BootTag(), SelfPid(), number,
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

// Whose a temporary's name says it is.
struct TempOwnerOf {
  bool ours;     // a name of the program's form
  bool earlier;  // made in an earlier boot
  long pid;
};

// True when the size bytes at s are a number as the program writes one in
// decimal: digits alone, no sign, no leading zero (0 alone aside), at most
// max.
bool PlainNumber(const char* s, size_t size, unsigned long long max, unsigned long long* value) {
  if (size == 0 || size > 10 || (s[0] == '0' && size > 1)) return false;
  unsigned long long v = 0;
  for (size_t k = 0; k < size; ++k) {
    if (s[k] < '0' || s[k] > '9') return false;
    v = v * 10 + static_cast<unsigned>(s[k] - '0');
  }
  *value = v;
  return v <= max;
}

// True when the field is a boot tag as the program writes one: kBootDigits
// lower-case hex digits, or "0" where the system did not tell the boot.
bool BootField(const char* s, size_t size) {
  if (size == 1) return s[0] == '0';
  if (size != kBootDigits) return false;
  for (size_t k = 0; k < size; ++k)
    if (!((s[k] >= '0' && s[k] <= '9') || (s[k] >= 'a' && s[k] <= 'f'))) return false;
  return true;
}

// Reads the name's fields between the prefix and the suffix: (boot, pid,
// number) now, (pid, number) in the older form, each exactly as the
// program writes it. Any other name is someone else's file, however like
// a temporary's it looks.
TempOwnerOf TempOwner(const char* name) {
  TempOwnerOf owner{false, false, 0};
  const size_t prefix = sizeof kTempPrefix - 1;
  const size_t suffix = sizeof kTempSuffix - 1;
  const size_t len = std::strlen(name);
  if (len <= prefix + suffix || std::memcmp(name, kTempPrefix, prefix) != 0 ||
      std::memcmp(name + len - suffix, kTempSuffix, suffix) != 0) {
    return owner;
  }
  const char* field[3];
  size_t size[3];
  u32 fields = 0;
  for (size_t i = prefix, from = prefix; i <= len - suffix; ++i) {
    if (i < len - suffix && name[i] != '-') continue;
    if (fields == 3) return owner;
    field[fields] = name + from;
    size[fields++] = i - from;
    from = i + 1;
  }
  if (fields < 2) return owner;
  const u32 pid_at = fields == 3 ? 1 : 0;
  unsigned long long pid = 0, number = 0;
  if ((fields == 3 && !BootField(field[0], size[0])) || !PlainNumber(field[pid_at], size[pid_at], 0x7FFFFFFF, &pid) ||
      pid == 0 || !PlainNumber(field[pid_at + 1], size[pid_at + 1], 0xFFFFFFFF, &number)) {
    return owner;
  }
  owner.ours = true;
  owner.pid = static_cast<long>(pid);
  if (fields == 3) {
    const char* tag = BootTag();
    // Where this boot or the temporary's cannot be told, the process id
    // alone tells.
    owner.earlier = size[0] == kBootDigits && std::strlen(tag) == kBootDigits &&
                    std::memcmp(tag, field[0], kBootDigits) != 0;
  }
  return owner;
}


// A file without a name is given one through its entry in /proc, which a
// system without /proc (a bare chroot) lacks.
bool CanLinkUnnamed() {
  static const bool can = access("/proc/self/fd", X_OK) == 0;
  return can;
}

// True when a process that has ended still holds its id until its parent
// collects it: it writes nothing more.
bool Ended(long pid) {
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[512];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return false;
  buf[n] = 0;
  // "pid (name) state ...": the name may hold anything, ')' too.
  const char* close_paren = std::strrchr(buf, ')');
  return close_paren && close_paren[1] == ' ' && (close_paren[2] == 'Z' || close_paren[2] == 'X');
}

// True when the temporary's writer is gone: its temporaries are no one's.
bool OwnerGone(const TempOwnerOf& owner) {
  if (!owner.ours) return false;
  if (owner.earlier) return true;
  if (owner.pid == SelfPid()) return false;
  if (kill(static_cast<pid_t>(owner.pid), 0) != 0) return errno == ESRCH;
  return Ended(owner.pid);
}

// The answer for a temporary that could not be made (other kOsOpenFailed)
// or written (other kFailed): want of room (a full disk or quota) for the
// temporary itself or for its content, or `other`.
u16 WriteFailure(u16 other) {
  if (t_last_error != ENOSPC && t_last_error != EDQUOT) return other;
  return other == kOsOpenFailed ? kOsNoRoomToMake : kOsNoRoom;
}

}  // namespace

void osnative::Settle(StrSlice path, bool folder) {
  if (g_hooks.settle) g_hooks.settle(path, folder);
}

bool osnative::Pending(StrSlice path, bool follow, char** data, u32* size) {
  return g_hooks.pending && g_hooks.pending(path, follow, data, size);
}

bool osnative::MayChange() {
  if (!g_hooks.change || g_hooks.change()) return true;
  t_last_error = ECANCELED;
  return false;
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
  if (Faulted(kOsFaultCreate, p.text)) {
    NoteError();
    return WriteFailure(kOsOpenFailed);
  }
  if (!(OsFallbacks() & kOsNoUnnamed) && CanLinkUnnamed()) {
    char folder[kOsPathMax];
    NativeFolderOf(p.text, folder);
    fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    unnamed = fd >= 0;
    if (!unnamed && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
      NoteError();
      return WriteFailure(kOsOpenFailed);
    }
  }
  // Exclusive and without following a link: a name already taken (by
  // anything planted there) is never written.
  if (!unnamed && !ClaimTempName(p.text, temp, name, [&fd](const char* n) {
        fd = open(n, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        return fd >= 0;
      })) {
    NoteError();
    return WriteFailure(kOsOpenFailed);
  }
  u16 rc = WriteAll(fd, static_cast<const char*>(data), len, p.text) ? 0 : WriteFailure(kFailed);
  if (rc == 0 && durable && (Faulted(kOsFaultSync, p.text) || fdatasync(fd) != 0)) {
    NoteError();
    rc = WriteFailure(kFailed);
  }
  struct stat st {};
  if (rc == 0 && fstat(fd, &st) != 0) {
    NoteError();
    rc = kFailed;
  }
  temp->device = static_cast<u64>(st.st_dev);
  temp->mode = static_cast<u32>(st.st_mode);
  temp->uid = static_cast<u32>(st.st_uid);
  temp->gid = static_cast<u32>(st.st_gid);
  if (rc == 0 && unnamed) {
    char self[32];
    std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
    if (!ClaimTempName(p.text, temp, name,
                       [&self](const char* n) { return linkat(AT_FDCWD, self, AT_FDCWD, n, AT_SYMLINK_FOLLOW) == 0; })) {
      NoteError();
      rc = WriteFailure(kOsOpenFailed);
      name[0] = 0;  // nothing named to remove
    }
  }
  // The run's flush goes through a descriptor held from the first file of
  // each file system, opened before anything was written there.
  if (rc == 0) SyncNoteFd(fd, temp->device, p.text);
  // A failure that only the close reports keeps the old file.
  if (close(fd) != 0 && rc == 0) {
    NoteError();
    rc = WriteFailure(kFailed);
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
  struct stat st {};
  const bool there = lstat(p.text, &st) == 0;
  // A file replaced keeps its permissions, and its owner and group where
  // this process may give them (as editors do): a page kept private stays
  // private. A link or anything else there is replaced by a new file.
  if (there && S_ISREG(st.st_mode)) {
    if ((st.st_uid != temp->uid || st.st_gid != temp->gid) &&
        lchown(name, st.st_uid == temp->uid ? static_cast<uid_t>(-1) : st.st_uid,
               st.st_gid == temp->gid ? static_cast<gid_t>(-1) : st.st_gid) != 0) {
      // Not ours to give: the group alone may be.
      if (st.st_gid != temp->gid) (void)lchown(name, static_cast<uid_t>(-1), st.st_gid);
    }
    if ((st.st_mode & 07777) != (temp->mode & 07777)) (void)chmod(name, st.st_mode & 07777);
  }
  if (Faulted(kOsFaultPlace, p.text)) {
    NoteError();
    unlink(name);
    return kOsOpenFailed;
  }
  // Swapping leaves the old file's removal, which is most of the cost of
  // renaming over it, for later and for other threads. A folder is renamed
  // over, which fails as it should; so does a file system that cannot swap.
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

u16 OsFileSame(StrSlice path, const void* data, u32 len) {
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
  // A file kept is stamped: its file system is flushed with the run's.
  if (same) SyncNoteFd(fd, static_cast<u64>(st.st_dev), p.text);
  close(fd);
  return same ? 0 : kOsDiffers;
}

u16 OsFileTouch(StrSlice path) {
  // Both stamps to now, which the owner or anyone who may write the file
  // may set (a time of one's choosing would need the owner).
  return OnName(path, [](const char* name) { return utimensat(AT_FDCWD, name, nullptr, AT_SYMLINK_NOFOLLOW); });
}

u16 OsFileReplace(StrSlice path, const void* data, u32 len) {
  if (!MayChange()) return kOsOpenFailed;
  Settle(path, false);
  OsTemp temp{};
  u16 rc = OsTempWrite(path, data, len, true, &temp);
  // No earlier file holds room that could be given back: a file that could
  // not be made fails as an open, one that could not be written as a write.
  if (rc == kOsNoRoomToMake) rc = kOsOpenFailed;
  if (rc == kOsNoRoom) rc = kFailed;
  bool swapped = false;
  if (rc == 0) rc = OsTempPlace(path, &temp, &swapped);
  if (swapped) OsTempDrop(path, temp);
  return rc;
}

u16 OsFilePlaceable(StrSlice path) {
  Settle(path, false);
  NativePath p;
  ToNative(path, &p);
  if (!p.ok) return kOsOpenFailed;
  struct statx sx {};
  if (statx(AT_FDCWD, p.text, AT_SYMLINK_NOFOLLOW, STATX_TYPE, &sx) == 0) {
    if (S_ISDIR(sx.stx_mode)) {
      t_last_error = EISDIR;
      return kOsOpenFailed;
    }
    if (sx.stx_attributes & (STATX_ATTR_IMMUTABLE | STATX_ATTR_APPEND)) {
      t_last_error = EPERM;
      return kOsOpenFailed;
    }
  } else if (errno != ENOENT) {
    NoteError();
    return kOsOpenFailed;
  }
  char folder[kOsPathMax];
  NativeFolderOf(p.text, folder);
  if (faccessat(AT_FDCWD, folder, W_OK | X_OK, AT_EACCESS) != 0) {
    NoteError();
    return kOsOpenFailed;
  }
  return 0;
}

u16 OsFilePut(StrSlice path, const void* data, u32 len) {
  if (OsFileSame(path, data, len) == 0 && OsFileTouch(path) == 0) return 0;
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
    if (!OwnerGone(TempOwner(e->d_name))) continue;
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
