// A file-size limit for the test's process, the system's way to make a disk
// "full" at a chosen size: writes past it fail (SIGXFSZ is ignored, so they
// fail instead of ending the process). The old limit is back at the end of
// the scope.
#pragma once
#include <signal.h>
#include <sys/resource.h>

struct SizeLimit {
  rlimit old{};
  explicit SizeLimit(rlim_t bytes) {
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit now = old;
    now.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &now);
  }
  ~SizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
  SizeLimit(const SizeLimit&) = delete;
  SizeLimit& operator=(const SizeLimit&) = delete;
};
