#include "runtime/ossignal.h"

#include <atomic>
#include <csignal>
#include <cstring>

namespace vk {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kStopSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

// The handler may run on any thread of the process (the write queue's
// writers included): a lock-free atomic is both signal-safe and seen by
// the thread that asks.
std::atomic<int> g_stop{0};
static_assert(std::atomic<int>::is_always_lock_free);
// What the decision found (the signal, or 0); kUndecided before it.
constexpr int kUndecided = -1;
std::atomic<int> g_decided{kUndecided};

bool g_may_catch[kStopSignalCount] = {true, true, true};
bool g_watching = false;
bool g_caught[kStopSignalCount];
struct sigaction g_saved[kStopSignalCount];

int StopIndex(int sig) {
  for (int i = 0; i < kStopSignalCount; ++i)
    if (kStopSignals[i] == sig) return i;
  return -1;
}

// Only the first signal is kept: a repeat while the work ends changes
// nothing (the stop signals are blocked while the handler runs).
void OnStop(int signal) {
  int none = 0;
  g_stop.compare_exchange_strong(none, signal);
}

}  // namespace

void OsStopNoteStart() {
  for (int i = 0; i < kStopSignalCount; ++i) {
    struct sigaction now;
    g_may_catch[i] = sigaction(kStopSignals[i], nullptr, &now) != 0 || now.sa_handler == SIG_DFL;
  }
}

bool OsSignalMayCatch(int sig) {
  const int i = StopIndex(sig);
  return i < 0 || g_may_catch[i];
}

void OsStopWatchBegin() {
  if (g_watching) return;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnStop;
  sigemptyset(&sa.sa_mask);
  for (const int s : kStopSignals) sigaddset(&sa.sa_mask, s);
  sa.sa_flags = SA_RESTART;
  for (int i = 0; i < kStopSignalCount; ++i)
    g_caught[i] = g_may_catch[i] && sigaction(kStopSignals[i], &sa, &g_saved[i]) == 0;
  g_watching = true;
}

int OsStopWatchDecide() {
  if (!g_watching) return 0;
  // The one point that tells before from after: the request read here is
  // the decision, one that comes later finds it made.
  int decided = g_decided.load();
  if (decided == kUndecided) {
    decided = g_stop.load();
    g_decided.store(decided);
  }
  return decided;
}

void OsStopWatchEnd() {
  if (!g_watching) return;
  for (int i = 0; i < kStopSignalCount; ++i)
    if (g_caught[i]) sigaction(kStopSignals[i], &g_saved[i], nullptr);
  g_watching = false;
  g_stop.store(0);
  g_decided.store(kUndecided);
}

int OsStopStopped() {
  const int decided = g_decided.load();
  return decided == kUndecided ? g_stop.load() : decided;
}

int OsStopRequested() { return g_stop.load(); }

const char* OsStopSignalName(int signal) {
  switch (signal) {
    case SIGINT:
      return "SIGINT";
    case SIGTERM:
      return "SIGTERM";
    case SIGHUP:
      return "SIGHUP";
    default:
      return "";
  }
}

}  // namespace vk
