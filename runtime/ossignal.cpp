#include "runtime/ossignal.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace vk {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGHUP};
constexpr int kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

// The handler may run on any thread of the process (the write queue's
// writers included): a lock-free atomic is both signal-safe and seen by
// the thread that asks.
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free);

bool g_watching = false;
struct sigaction g_saved[kStopSignalCount];

// Only the first signal is kept: a repeat while the work ends changes
// nothing (both signals are blocked while the handler runs).
void OnStop(int signal) {
  int none = 0;
  g_stop.compare_exchange_strong(none, signal);
}

}  // namespace

void OsStopWatchBegin() {
  if (g_watching) return;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnStop;
  sigemptyset(&sa.sa_mask);
  for (const int s : kStopSignals) sigaddset(&sa.sa_mask, s);
  sa.sa_flags = SA_RESTART;
  for (int i = 0; i < kStopSignalCount; ++i) sigaction(kStopSignals[i], &sa, &g_saved[i]);
  g_watching = true;
}

void OsStopWatchEnd() {
  if (!g_watching) return;
  for (int i = 0; i < kStopSignalCount; ++i) sigaction(kStopSignals[i], &g_saved[i], nullptr);
  g_watching = false;
  g_stop.store(0);
}

int OsStopRequested() { return g_stop.load(); }

const char* OsStopSignalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "";
  }
}

}  // namespace vk
