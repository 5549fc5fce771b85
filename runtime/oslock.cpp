#include "runtime/oslock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/osnative.h"

namespace vk {

using namespace osnative;

i32 OsDirLock(StrSlice folder) {
  NativePath p;
  ToNative(folder, &p);
  const int fd = p.ok ? open(p.text, O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
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
