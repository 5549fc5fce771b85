#include "runtime/ossync.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/osfault.h"
#include "runtime/osnative.h"

namespace vk {

using namespace osnative;

namespace {

struct Held {
  u64 device;
  int fd;
  std::string folder;  // system form, for the message when its flush fails
};

// Noted from the writer threads too.
std::mutex g_mutex;
std::vector<Held> g_held;

bool IsHeld(u64 device) {
  for (const Held& h : g_held)
    if (h.device == device) return true;
  return false;
}


// Flushes one held file system: 0, or kFailed with the reason noted.
u16 Flush(const Held& h) {
  if (Faulted(kOsFaultSync)) return Outcome(-1);
  return Outcome(syncfs(h.fd));
}

}  // namespace

void osnative::SyncNoteFd(int fd, u64 device, const char* path) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (IsHeld(device)) return;
  const int held = fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (held < 0) return;
  char folder[kOsPathMax];
  NativeFolderOf(path, folder);
  g_held.push_back(Held{device, held, folder});
}

void osnative::SyncNoteFolder(const char* folder) {
  struct stat st {};
  if (stat(folder, &st) != 0) return;
  const u64 device = static_cast<u64>(st.st_dev);
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (IsHeld(device)) return;
  }
  // A folder that cannot be read is still one the run may write into: a
  // file without a name made in it holds the file system as well (and
  // vanishes with its descriptor).
  int fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fd = open(folder, O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
  if (fd < 0) return;
  std::lock_guard<std::mutex> lock(g_mutex);
  if (IsHeld(device)) {
    close(fd);
    return;
  }
  g_held.push_back(Held{device, fd, folder});
}

void osnative::SyncNoteParent(const char* path) {
  char folder[kOsPathMax];
  NativeFolderOf(path, folder);
  SyncNoteFolder(folder);
}

void OsSyncBegin() {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const Held& h : g_held) close(h.fd);
  g_held.clear();
}

void OsSyncNote(StrSlice folder) {
  NativePath p;
  ToNative(folder.len ? folder : StrMake(".", 1), &p);
  if (p.ok) SyncNoteFolder(p.text);
}

u16 OsSyncDevice(u64 device) {
  std::lock_guard<std::mutex> lock(g_mutex);
  for (const Held& h : g_held)
    if (h.device == device) return Flush(h);
  return 0;
}

u16 OsSyncAll(StrSlice* failed) {
  std::vector<Held> held;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    held.swap(g_held);
  }
  u16 rc = 0;
  int err = 0;
  std::string where;
  for (const Held& h : held) {
    if (Flush(h) != 0 && rc == 0) {
      rc = kFailed;
      err = t_last_error;
      where = h.folder;
    }
    close(h.fd);
  }
  if (rc) {
    // Named as the user would find it, from the root.
    char whole[PATH_MAX];
    *failed = OsPathFromUtf8(realpath(where.c_str(), whole) ? whole : where.c_str());
    t_last_error = err;
  }
  return rc;
}

}  // namespace vk
