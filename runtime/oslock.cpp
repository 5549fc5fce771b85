#include "runtime/oslock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/osnative.h"

namespace vk {

using namespace osnative;

namespace {

// Attempts at a lock file whose name another run removes or replaces as it
// ends, before the folder counts as busy.
constexpr int kLockTries = 16;

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// A new lock file may be used (read and written) by those who may write the
// folder and by no one else: a user who could not write into the site
// cannot hold its runs back. It is given to the folder's owner and group
// where this process may (the super-user may), so that the owner's runs
// open a lock file a run of the super-user made; where the folder's owner
// or group would not reach it so, anyone may use it.
void GiveLockFile(int fd, const struct stat& folder) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return;
  const bool owner = st.st_uid == folder.st_uid || fchown(fd, folder.st_uid, static_cast<gid_t>(-1)) == 0;
  const bool group = st.st_gid == folder.st_gid || fchown(fd, static_cast<uid_t>(-1), folder.st_gid) == 0;
  mode_t mode = S_IRUSR | S_IWUSR;
  if (folder.st_mode & S_IWGRP) mode |= S_IRGRP | S_IWGRP;
  if ((folder.st_mode & S_IWOTH) || !owner || (!group && (folder.st_mode & S_IWGRP))) {
    mode |= S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
  }
  (void)fchmod(fd, mode);
}

// Opens the lock file in the folder, never through a link and never waiting
// (a FIFO there opens at once): for writing where this process may, since
// some file systems lock only such files, else for reading, which is all a
// lock needs elsewhere. *made tells whether this call created it. -1 with
// errno set when it cannot be opened; kRemoved when the file there was
// removed between the two attempts.
constexpr int kRemoved = -2;
int OpenLockFile(int dfd, bool* made) {
  constexpr int kHow = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  *made = false;
  int fd = openat(dfd, kOsLockName, O_RDWR | O_CREAT | O_EXCL | kHow, S_IRUSR | S_IWUSR);
  if (fd >= 0) {
    *made = true;
    return fd;
  }
  if (errno != EEXIST) return -1;
  fd = openat(dfd, kOsLockName, O_RDWR | kHow);
  if (fd < 0 && errno == EACCES) fd = openat(dfd, kOsLockName, O_RDONLY | kHow);
  return fd < 0 && errno == ENOENT ? kRemoved : fd;
}

}  // namespace

i32 OsDirLock(StrSlice folder, OsDirLockHeld* held) {
  *held = OsDirLockHeld{};
  NativePath p;
  ToNative(folder, &p);
  // The folder is held by what it is for the whole lock, whatever its path
  // comes to name; it need not be readable for that.
  const int dfd = p.ok ? open(p.text, O_PATH | O_DIRECTORY | O_CLOEXEC) : -1;
  struct stat fst {};
  if (dfd < 0 || fstat(dfd, &fst) != 0) {
    if (dfd >= 0) close(dfd);
    return kOsLockNone;
  }
  for (int i = 0; i < kLockTries; ++i) {
    bool made = false;
    const int fd = OpenLockFile(dfd, &made);
    if (fd == kRemoved) continue;  // by the run that held it, as it ended
    if (fd < 0) {
      const int err = errno;
      // A process that may not write into the folder changes nothing there,
      // nor does one into a folder removed meanwhile. Where the file system
      // has no room left for the lock file, no run makes a file there
      // either; a run that removes pages to make room goes on.
      if (((err == EACCES || err == EPERM || err == EROFS) &&
           faccessat(AT_FDCWD, p.text, W_OK | X_OK, AT_EACCESS) != 0) ||
          err == ENOENT || err == ENOSPC || err == EDQUOT) {
        close(dfd);
        return kOsLockNone;
      }
      t_last_error = err == ELOOP ? 0 : err;  // a link: not a file
      close(dfd);
      return kOsLockRefused;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      t_last_error = 0;
      close(fd);
      close(dfd);
      return kOsLockRefused;
    }
    if (made) GiveLockFile(fd, fst);
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int err = errno;
      close(fd);
      close(dfd);
      if (err == EWOULDBLOCK) return kOsLockBusy;
      t_last_error = err;
      return kOsLockRefused;
    }
    // The run that held the file may have removed it between the open and
    // the lock: a lock on a file without that name keeps no one out, and
    // the name is tried again.
    struct stat now {};
    if (fstatat(dfd, kOsLockName, &now, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(now, st)) {
      held->file = fd;
      held->folder = dfd;
      return 0;
    }
    close(fd);
  }
  close(dfd);
  return kOsLockBusy;
}

void OsDirUnlock(OsDirLockHeld* held) {
  if (held->file >= 0) {
    // Removed while still held, and only while the name is this file's: a
    // run that opened it meanwhile finds its name gone once it locks it, and
    // tries again.
    struct stat mine {}, now {};
    if (fstat(held->file, &mine) == 0 && fstatat(held->folder, kOsLockName, &now, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameFile(mine, now)) {
      (void)unlinkat(held->folder, kOsLockName, 0);
    }
    close(held->file);
  }
  if (held->folder >= 0) close(held->folder);
  *held = OsDirLockHeld{};
}

}  // namespace vk
