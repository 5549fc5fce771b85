#include "runtime/oslock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "runtime/osnative.h"

namespace vk {

using namespace osnative;

namespace {

// A folder this process may write into but not read cannot be opened to
// be locked: it is locked through a file of its own in the system's
// shared temporary folder instead, named by the folder's identity, which
// every run into that folder that cannot read it finds the same.
int OpenSideLock(const char* folder) {
  struct stat st {};
  if (stat(folder, &st) != 0 || !S_ISDIR(st.st_mode)) return -1;
  char name[96];
  std::snprintf(name, sizeof name, "/tmp/.vellumcraft-lock-%llx-%llx", static_cast<unsigned long long>(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  // Never through a link planted at the name; readable by anyone who may
  // run into the folder too.
  const int fd = open(name, O_RDONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  return fd;
}

}  // namespace

i32 OsDirLock(StrSlice folder) {
  NativePath p;
  ToNative(folder, &p);
  int fd = p.ok ? open(p.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
  if (fd < 0 && p.ok && errno == EACCES) fd = OpenSideLock(p.text);
  if (fd < 0) return kOsLockNone;
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return fd;
  const bool busy = errno == EWOULDBLOCK;
  close(fd);
  return busy ? kOsLockBusy : kOsLockNone;
}

void OsDirUnlock(i32 handle) {
  if (handle >= 0) close(handle);
}

}  // namespace vk
