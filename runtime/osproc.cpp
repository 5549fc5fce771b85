#include "runtime/osproc.h"

#include <locale.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/osfile.h"
#include "runtime/osnative.h"
#include "runtime/ostext.h"

extern char** environ;

namespace vk {

namespace osnative {
thread_local int t_last_error = 0;
}  // namespace osnative

using namespace osnative;

namespace {

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// True when the environment entry "NAME=value" has the name, compared with
// or without regard to ASCII case.
const char* EnvEntryValue(const char* entry, StrSlice name, bool fold) {
  for (u16 i = 0; i < name.len; ++i) {
    char a = entry[i];
    if (a == 0 || a == '=') return nullptr;
    char b = name.ptr[i];
    if (fold ? AsciiLower(a) != AsciiLower(b) : a != b) return nullptr;
  }
  return entry[name.len] == '=' ? entry + name.len + 1 : nullptr;
}

}  // namespace

StrSlice OsEnvGet(StrSlice name, bool* found) {
  if (found) *found = false;
  if (!name.ptr || name.len == 0) return OsTextFromUtf8(nullptr);
  // Environment names are plain bytes; compare the name as given.
  const char* value = nullptr;
  for (int pass = 0; pass < 2 && !value; ++pass) {
    for (char** e = environ; e && *e && !value; ++e) value = EnvEntryValue(*e, name, pass == 1);
  }
  if (found) *found = value != nullptr;
  return OsTextFromUtf8(value);
}

StrSlice OsExePath() {
  static char buf[kOsPathMax];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return OsPathFromUtf8(nullptr);
  buf[n] = 0;
  return OsPathFromUtf8(buf);
}

StrSlice OsDirCurrent() {
  static char buf[kOsPathMax];
  if (!getcwd(buf, sizeof buf)) return OsPathFromUtf8(nullptr);
  return OsPathFromUtf8(buf);
}

u16 OsDirChange(StrSlice path) {
  OsAppendEnd();
  NativePath p;
  ToNative(path, &p);
  return p.ok ? Outcome(chdir(p.text)) : kFailed;
}

int OsLastError() { return t_last_error; }

StrSlice OsErrorText(int err) {
  // The C locale's texts: a message in the program's own words never
  // switches language in mid-sentence with the user's locale.
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (c_locale) return OsTextFromUtf8(strerror_l(err, c_locale));
  char number[32];
  std::snprintf(number, sizeof number, "error %d", err);
  return OsTextFromUtf8(number);
}

namespace {
// Read once from the environment, unless a test sets them first.
u32 g_fallbacks = 0;
bool g_fallbacks_known = false;

struct ThreadStart {
  void (*fn)(void*);
  void* arg;
};

void* ThreadMain(void* p) {
  const ThreadStart start = *static_cast<ThreadStart*>(p);
  std::free(p);
  start.fn(start.arg);
  return nullptr;
}
}  // namespace

u32 OsFallbacks() {
  if (!g_fallbacks_known) {
    const char* v = std::getenv("VK_OS_FALLBACK");
    g_fallbacks = v ? static_cast<u32>(std::strtoul(v, nullptr, 0)) : 0;
    g_fallbacks_known = true;
  }
  return g_fallbacks;
}

void OsSetFallbacks(u32 bits) {
  g_fallbacks = bits;
  g_fallbacks_known = true;
}

u32 OsCpuCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) != 0) return 1;
  const int n = CPU_COUNT(&set);
  return n > 0 ? static_cast<u32>(n) : 1;
}

bool OsThreadStart(void (*fn)(void*), void* arg) {
  if (OsFallbacks() & kOsNoThreads) return false;
  auto* start = static_cast<ThreadStart*>(std::malloc(sizeof(ThreadStart)));
  if (!start) return false;
  *start = ThreadStart{fn, arg};
  pthread_attr_t attr;
  pthread_t thread;
  bool ok = pthread_attr_init(&attr) == 0;
  ok = ok && pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED) == 0;
  ok = ok && pthread_create(&thread, &attr, ThreadMain, start) == 0;
  pthread_attr_destroy(&attr);
  if (!ok) std::free(start);
  return ok;
}

}  // namespace vk
