#include "runtime/osfault.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "runtime/osnative.h"

namespace vk {

namespace {

// One slot a call kind: counted down from any thread, so atomics; a test
// sets it before the calls it is about start (the name, read once err is
// seen set, is written before it).
struct Fault {
  std::atomic<int> err{0};
  std::atomic<u32> skip{0};
  std::atomic<u32> times{0};  // failures left; 0 for no end
  std::atomic<bool> limited{false};
  char only[kOsPathMax];      // empty for every file
};
Fault g_faults[kOsFaultCount];

// Whether the system path names a file that `only` names.
bool Named(const char* only, const char* path) {
  if (!only[0]) return true;
  if (!path) return false;
  const size_t n = std::strlen(only);
  const size_t len = std::strlen(path);
  return len >= n && std::strcmp(path + len - n, only) == 0 && (len == n || path[len - n - 1] == '/');
}

}  // namespace

void OsFaultSet(OsFaultCall call, int err, u32 skip, u32 times, const char* only) {
  Fault& f = g_faults[call];
  f.err.store(0);
  f.skip.store(skip);
  f.times.store(times);
  f.limited.store(times != 0);
  f.only[0] = 0;
  if (only && std::strlen(only) < sizeof f.only) std::strcpy(f.only, only);
  f.err.store(err);
}

void OsFaultClear() {
  for (Fault& f : g_faults) f.err.store(0);
}

bool osnative::Faulted(OsFaultCall call, const char* path) {
  Fault& f = g_faults[call];
  const int err = f.err.load(std::memory_order_acquire);
  if (err == 0 || !Named(f.only, path)) return false;
  // Calls still to go through before the failures begin.
  u32 skip = f.skip.load();
  while (skip > 0) {
    if (f.skip.compare_exchange_weak(skip, skip - 1)) return false;
  }
  if (f.limited.load()) {
    u32 left = f.times.load();
    do {
      if (left == 0) return false;
    } while (!f.times.compare_exchange_weak(left, left - 1));
  }
  errno = err;
  return true;
}

}  // namespace vk
