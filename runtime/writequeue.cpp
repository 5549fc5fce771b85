#include "runtime/writequeue.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"

namespace vk {
namespace {

// Writing a new file is mostly the system's work on the folder and the
// inode, which goes faster from several threads; a few more than this gain
// nothing.
constexpr u32 kMaxWriters = 6;

struct Job {
  std::string path;  // library form
  char* data;
  u32 len;
  bool finished;
  u16 rc;
  int err;
};

// Tickets count up from 1; job t lives in ring[t % depth]. Jobs [taken+1,
// put] are handed over and not taken back; [taken+1, started] have been
// picked up by a writer.
struct Queue {
  std::mutex m;
  std::condition_variable work;      // a job to start, for the writers
  std::condition_variable finished;  // a job finished, for the producer
  Job ring[kWriteQueueDepth];
  u32 put = 0;
  u32 taken = 0;
  u32 started = 0;
  u32 writers = 0;
  u32 idle = 0;  // writers waiting for a job
};

// The producer wakes a writer once this many jobs wait to be started (or
// when it has to wait for one); a writer that takes a job while more wait
// wakes the next. Waking a thread is a system call, which the producer then
// makes once a batch instead of once a file.
constexpr u32 kWakeBatch = 8;

// Made on first use and never destroyed: writers sleep on it until the
// process ends.
Queue* g_queue = nullptr;

Job& At(Queue* q, u32 ticket) { return q->ring[ticket % kWriteQueueDepth]; }

void Writer(Queue* q) {
  std::unique_lock<std::mutex> lock(q->m);
  for (;;) {
    ++q->idle;
    q->work.wait(lock, [q] { return q->started < q->put; });
    --q->idle;
    Job& job = At(q, ++q->started);
    if (q->started < q->put && q->idle > 0) q->work.notify_one();
    lock.unlock();
    const u16 rc = OsFileReplace(StrMake(job.path.data(), static_cast<u32>(job.path.size())), job.data, job.len);
    const int err = rc ? OsLastError() : 0;
    lock.lock();
    job.rc = rc;
    job.err = err;
    job.finished = true;
    q->finished.notify_all();
  }
}

Queue* Get() {
  if (!g_queue) g_queue = new Queue;
  return g_queue;
}

// A job for path handed over and not finished.
bool Unfinished(Queue* q, StrSlice path) {
  for (u32 t = q->taken + 1; t <= q->put; ++t) {
    const Job& job = At(q, t);
    if (!job.finished && job.path.size() == path.len && job.path.compare(0, path.len, path.ptr, path.len) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool WriteQueuePut(StrSlice path, char* data, u32 len) {
  Queue* q = Get();
  std::unique_lock<std::mutex> lock(q->m);
  // An earlier content of this name is finished first: the file is
  // compared with what it will hold, not with what it holds meanwhile.
  if (Unfinished(q, path)) {
    q->work.notify_all();  // it may wait in a batch not full yet
    q->finished.wait(lock, [q, path] { return !Unfinished(q, path); });
  }
  // The comparison reads the file; the writers need the lock meanwhile.
  // Only this thread hands over jobs, so none of this name can come in.
  lock.unlock();
  if (OsFileKeepSame(path, data, len) == 0) {
    OsMemFree(data);
    return false;
  }
  lock.lock();
  // A writer more while the jobs outnumber them, up to one a core beside
  // the producer's.
  const u32 cores = std::thread::hardware_concurrency();
  const u32 most = cores <= 1 ? 1 : cores - 1 < kMaxWriters ? cores - 1 : kMaxWriters;
  if (q->writers == 0 || (q->writers < most && q->writers <= q->put - q->taken)) {
    std::thread(Writer, q).detach();
    ++q->writers;
  }
  Job& job = At(q, ++q->put);
  job.path.assign(path.ptr, path.len);
  job.data = data;
  job.len = len;
  job.finished = false;
  job.rc = 0;
  job.err = 0;
  if (q->put - q->started >= kWakeBatch && q->idle > 0) q->work.notify_one();
  return true;
}

bool WriteQueueTake(WriteDone* done, bool wait) {
  Queue* q = Get();
  std::unique_lock<std::mutex> lock(q->m);
  if (q->taken == q->put) return false;
  Job& job = At(q, q->taken + 1);
  if (!job.finished) {
    if (!wait) return false;
    if (q->started < q->put) q->work.notify_all();  // a batch not full yet
    q->finished.wait(lock, [&job] { return job.finished; });
  }
  ++q->taken;
  *done = WriteDone{job.rc, job.err};
  // Released here, on the producer's thread, where it was allocated: a
  // block freed by another thread would make the allocator take a lock
  // that the producer wants for its next page.
  OsMemFree(job.data);
  job.data = nullptr;
  return true;
}

}  // namespace vk
