#include "runtime/writequeue.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "runtime/error.h"
#include "runtime/osfile.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"

namespace vk {
namespace {

// Writing a new file is mostly the system's work on the folder and the
// inode, which goes faster from several threads; a few more than this gain
// nothing.
constexpr u32 kMaxWriters = 6;
// Contents held for files not in place, at most: past it the queue
// settles, so that memory and the temporaries on the disk stay bounded.
constexpr u64 kHeldMax = u64{64} << 20;
// The producer wakes a writer once this many jobs wait to be started (or
// when it settles); a writer that takes a job while more wait wakes the
// next. Waking a thread is a system call, which the producer then makes
// once a batch instead of once a file.
constexpr u32 kWakeBatch = 8;

enum : u8 {
  kJobQueued,   // to be written into a temporary
  kJobWriting,  // a thread is writing it
  kJobWritten,  // its temporary is whole
  kJobKept,     // the file holds the content already
  kJobFailed,   // its temporary could not be written
  kJobSettled,  // in place, kept, failed or dropped: rc tells
};

struct Job {
  std::string path;    // library form
  std::string folder;  // its folder ("" for a bare name)
  char* data;
  u32 len;
  u8 state;
  u16 rc;
  int err;
  OsTemp temp;
  u64 device;  // the file system of a kept file
  u32 after;   // the job of an earlier content of its name not in place when handed over, or 0
};

// An old file that a swap left under a temporary's name, to be removed.
struct Drop {
  std::string path;
  OsTemp temp;
};

// Jobs are numbered from 1 in the order handed over; jobs [first, first +
// jobs.size()) are not taken yet, and those up to settled are settled.
// References to jobs stay valid while they are in the deque (it only grows
// at the back and shrinks at the front), so a thread works on its job
// without the lock.
struct Queue {
  std::mutex m;
  std::condition_variable work;  // for the writers: a job to write or a file to drop
  std::condition_variable done;  // for the producer: a job written, a file dropped
  std::deque<Job> jobs;
  u32 first = 1;
  u32 next = 1;     // no job before this one waits to be written
  u32 settled = 0;
  u32 writing = 0;  // jobs being written
  std::vector<Drop> drops;
  size_t drop_next = 0;
  u32 dropping = 0;  // drops being done
  u32 writers = 0;
  u32 most = 1;
  u32 idle = 0;  // writers waiting for work
  bool failed = false;
  bool settling = false;
  u64 held = 0;
  std::unordered_map<std::string, u32> latest;   // path -> its latest job not settled
  std::unordered_map<std::string, u32> folders;  // folder -> jobs in it not settled
  std::vector<std::pair<u64, std::string>> devices;  // file systems written this run, a folder on each
  std::thread::id producer;
};

// Made on first use and never destroyed: writers sleep on it until the
// process ends.
Queue* g_queue = nullptr;

Queue* Get() {
  if (!g_queue) g_queue = new Queue;
  return g_queue;
}

u32 End(const Queue* q) { return q->first + static_cast<u32>(q->jobs.size()); }
Job& At(Queue* q, u32 n) { return q->jobs[n - q->first]; }
StrSlice Sl(const std::string& s) { return StrMake(s.data(), static_cast<u32>(s.size())); }

// The folder part of a library path ("" for a bare name).
std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

// The next job that waits to be written, now being written; null when none.
Job* NextQueued(Queue* q) {
  if (q->next < q->first) q->next = q->first;
  while (q->next < End(q) && At(q, q->next).state != kJobQueued) ++q->next;
  if (q->next == End(q)) return nullptr;
  Job* job = &At(q, q->next++);
  job->state = kJobWriting;
  ++q->writing;
  return job;
}

// Writes the job's temporary; called without the lock, and finished under it.
void WriteJob(Queue* q, Job* job, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  const u16 rc = OsTempWrite(Sl(job->path), job->data, job->len, false, &job->temp);
  const int err = rc ? OsLastError() : 0;
  lock.lock();
  job->rc = rc;
  job->err = err;
  job->state = rc ? kJobFailed : kJobWritten;
  --q->writing;
  q->done.notify_all();
}

// Removes the next old file waiting; false when none waits.
bool DropOne(Queue* q, std::unique_lock<std::mutex>& lock) {
  if (q->drop_next == q->drops.size()) return false;
  const Drop& d = q->drops[q->drop_next++];
  ++q->dropping;
  const std::string path = d.path;
  const OsTemp temp = d.temp;
  lock.unlock();
  OsTempDrop(Sl(path), temp);
  lock.lock();
  --q->dropping;
  q->done.notify_all();
  return true;
}

void Writer(void* arg) {
  Queue* q = static_cast<Queue*>(arg);
  std::unique_lock<std::mutex> lock(q->m);
  for (;;) {
    if (Job* job = NextQueued(q)) {
      if (q->idle > 0 && q->next < End(q)) q->work.notify_one();
      WriteJob(q, job, lock);
      continue;
    }
    if (DropOne(q, lock)) continue;
    ++q->idle;
    q->work.wait(lock);
    --q->idle;
  }
}

// Removes every old file left by a swap, with the writers' help, and waits
// until all are gone.
void WaitDrops(Queue* q, std::unique_lock<std::mutex>& lock) {
  q->work.notify_all();
  while (DropOne(q, lock)) {
  }
  q->done.wait(lock, [q] { return q->dropping == 0; });
  q->drops.clear();
  q->drop_next = 0;
}

// Remembers that the run wrote on the file system dev, through folder.
void NoteDevice(Queue* q, u64 dev, const std::string& folder) {
  for (const auto& d : q->devices)
    if (d.first == dev) return;
  q->devices.emplace_back(dev, folder);
}

// Flushes the file system that holds folder ("" the current one).
u16 SyncFolder(const std::string& folder) { return OsSyncFileSystem(Sl(folder.empty() ? std::string(".") : folder)); }

// Replaces the job's file at once, durable before it takes its place (as
// OsFileReplace does): a temporary refused for want of room when earlier
// files still held theirs, or a kept file whose time cannot be set (it is
// then replaced, as a changed file would be). The old files swapped out so
// far are removed first, for their room.
u16 PlaceNow(Queue* q, Job& job, std::unique_lock<std::mutex>& lock) {
  WaitDrops(q, lock);
  lock.unlock();
  u64 device = 0;
  const u16 rc = OsFileReplace(Sl(job.path), job.data, job.len, &device);
  job.err = rc ? OsLastError() : 0;
  lock.lock();
  if (rc == 0) NoteDevice(q, device, job.folder);
  return rc;
}

// Puts job n in place, under the lock: 0, or its failure.
u16 PlaceJob(Queue* q, Job& job, std::unique_lock<std::mutex>& lock) {
  const StrSlice path = Sl(job.path);
  u16 rc = 0;
  if (job.state == kJobKept) {
    lock.unlock();
    rc = OsFileTouch(path);
    lock.lock();
    if (rc == 0) {
      // A file kept after an earlier content of the run is on the file
      // system that one's placement noted.
      if (job.after == 0) NoteDevice(q, job.device, job.folder);
    } else {
      rc = PlaceNow(q, job, lock);
    }
  } else if (job.state == kJobWritten) {
    bool swapped = false;
    lock.unlock();
    rc = OsTempPlace(path, &job.temp, &swapped);
    job.err = rc ? OsLastError() : 0;
    lock.lock();
    if (rc == 0) NoteDevice(q, job.temp.device, job.folder);
    if (rc == 0 && swapped) {
      q->drops.push_back(Drop{job.path, job.temp});
      if (q->idle > 0) q->work.notify_one();
    }
  } else {  // kJobFailed
    rc = job.rc == kOsNoRoom ? PlaceNow(q, job, lock) : job.rc;
  }
  // No room in the end is a write that failed.
  return rc == kOsNoRoom ? u16{kFailed} : rc;
}

// Job n is settled with rc: it leaves the names and folders not in place.
void Finish(Queue* q, u32 n, u16 rc) {
  Job& job = At(q, n);
  job.rc = rc;
  if (rc == kWriteDropped) job.err = 0;
  job.state = kJobSettled;
  auto latest = q->latest.find(job.path);
  if (latest != q->latest.end() && latest->second == n) q->latest.erase(latest);
  auto folder = q->folders.find(job.folder);
  if (folder != q->folders.end() && --folder->second == 0) q->folders.erase(folder);
}

// Drops job n, which a failure before it (rc kWriteDropped) or a later
// content of its name (rc 0) made needless: its temporary goes, at once
// after a failure (the run may remove the folder it is in), else with the
// old files.
void DropJob(Queue* q, u32 n, u16 rc, std::unique_lock<std::mutex>& lock) {
  Job& job = At(q, n);
  if (job.state == kJobWritten && rc == kWriteDropped) {
    lock.unlock();
    OsTempDrop(Sl(job.path), job.temp);
    lock.lock();
  } else if (job.state == kJobWritten) {
    q->drops.push_back(Drop{job.path, job.temp});
    if (q->idle > 0) q->work.notify_one();
  }
  Finish(q, n, rc);
}

// Puts jobs [from, end) in place in order, under the lock. A file whose
// name gets a later content in the same batch waits for it and is then
// dropped (nothing could have looked at it in between: a look settles), so
// the disk never holds a content that the run replaced at once; when a
// file in between fails, the waiting ones go in first, as they came first.
// The first failure drops every later file.
void PlaceAll(Queue* q, u32 from, u32 end, std::unique_lock<std::mutex>& lock) {
  std::unordered_map<std::string, u32> last;  // name -> its last whole temporary here
  for (u32 n = from; n < end; ++n)
    if (At(q, n).state == kJobWritten) last[At(q, n).path] = n;
  std::vector<u32> waiting;
  for (u32 n = from; n < end; ++n) {
    Job& job = At(q, n);
    if (q->failed) {
      DropJob(q, n, kWriteDropped, lock);
      continue;
    }
    const auto later = last.find(job.path);
    const bool placeable = job.state == kJobWritten || job.state == kJobKept;
    if (placeable && later != last.end() && later->second > n) {
      waiting.push_back(n);
      continue;
    }
    if (later != last.end() && later->second == n) {
      // This content replaces the waiting ones of its name.
      for (size_t i = 0; i < waiting.size();) {
        if (At(q, waiting[i]).path == job.path) {
          DropJob(q, waiting[i], 0, lock);
          waiting.erase(waiting.begin() + static_cast<long>(i));
        } else {
          ++i;
        }
      }
    }
    u16 rc = PlaceJob(q, job, lock);
    if (rc != 0) {
      // The files waiting for a later content of their name came first:
      // they go in first (a failed placement changed nothing).
      for (u32 w : waiting) {
        if (q->failed) {
          DropJob(q, w, kWriteDropped, lock);
          continue;
        }
        const u16 before = PlaceJob(q, At(q, w), lock);
        if (before != 0) q->failed = true;
        Finish(q, w, before);
      }
      waiting.clear();
      if (q->failed) rc = kWriteDropped;  // one of them failed first
      q->failed = true;
    }
    Finish(q, n, rc);
  }
}

// Starts a writer while the jobs waiting outnumber them, up to the most the
// run may use. A thread the system refuses stops the trying: the run goes
// on with the writers it has, or writes on its own thread.
void MoreWriters(Queue* q) {
  const u32 waiting = End(q) - q->next;
  if (q->writers >= q->most || (q->writers > 0 && q->writers > waiting)) return;
  if (OsThreadStart(Writer, q)) {
    ++q->writers;
  } else {
    q->most = q->writers;
  }
}

// Settles the queue when the producer is about to touch a file, or list a
// folder, whose new content is not in place yet.
void SettleHook(StrSlice path, bool folder) {
  Queue* q = g_queue;
  {
    std::lock_guard<std::mutex> lock(q->m);
    if (q->settling || q->settled + 1 >= End(q) || std::this_thread::get_id() != q->producer) return;
    const std::string key(path.ptr ? path.ptr : "", path.len);
    if (folder ? q->folders.count(key) == 0 : q->latest.count(key) == 0) return;
  }
  WriteQueueSettle();
}

// The content the queue holds for path, for a whole-file read by the
// producer that must see it as though it were in place.
bool PendingHook(StrSlice path, char** data, u32* size) {
  Queue* q = g_queue;
  std::lock_guard<std::mutex> lock(q->m);
  if (q->latest.empty() || q->settling || std::this_thread::get_id() != q->producer) return false;
  const auto latest = q->latest.find(std::string(path.ptr ? path.ptr : "", path.len));
  if (latest == q->latest.end()) return false;
  if (!data) return true;
  const Job& job = At(q, latest->second);
  *data = static_cast<char*>(std::malloc(job.len ? job.len : 1u));
  if (!*data) return false;  // read from the file then, once it is in place
  std::memcpy(*data, job.data, job.len);
  *size = job.len;
  return true;
}

}  // namespace

void WriteQueueBegin() {
  Queue* q = Get();
  WriteQueueSettle();
  std::unique_lock<std::mutex> lock(q->m);
  WaitDrops(q, lock);
  q->failed = false;
  q->devices.clear();
  q->producer = std::this_thread::get_id();
  // One writer a CPU beside the producer's, decided once a run from the
  // CPUs this process may run on.
  const u32 cpus = OsCpuCount();
  q->most = cpus <= 1 ? 1 : cpus - 1 < kMaxWriters ? cpus - 1 : kMaxWriters;
  OsSetPendingHooks(OsPendingHooks{SettleHook, PendingHook});
}

void WriteQueuePut(StrSlice path, char* data, u32 len) {
  Queue* q = Get();
  std::unique_lock<std::mutex> lock(q->m);
  Job job{};
  job.path.assign(path.ptr, path.len);
  job.data = data;
  job.len = len;
  if (q->failed) {
    // The run ended at an earlier file, and every file before this one is
    // settled (a failure is found only by settling): it is never written.
    job.state = kJobSettled;
    job.rc = kWriteDropped;
    q->jobs.push_back(std::move(job));
    q->held += len;
    q->settled = End(q) - 1;
    return;
  }
  // A content not in place yet is what the file will hold when this one
  // takes its turn; else the file itself is compared (without the lock: the
  // comparison reads the file, and the writers need the lock).
  const auto latest = q->latest.find(job.path);
  bool same;
  if (latest != q->latest.end()) {
    // Its data is the producer's; the rest of it may be a writer's now.
    const Job& before = At(q, latest->second);
    same = before.len == len && std::memcmp(before.data, data, len) == 0;
    job.after = latest->second;
  } else {
    lock.unlock();
    same = OsFileSame(path, data, len, &job.device) == 0;
    lock.lock();
  }
  job.state = same ? kJobKept : kJobQueued;
  const bool queued = job.state == kJobQueued;
  job.folder = FolderOf(job.path);
  q->jobs.push_back(std::move(job));
  const u32 n = End(q) - 1;
  q->held += len;
  Job& added = At(q, n);
  q->latest[added.path] = n;
  ++q->folders[added.folder];
  if (queued) {
    MoreWriters(q);
    if (q->writers == 0) {
      // No writer thread: the producer writes it itself.
      Job* self = NextQueued(q);
      if (self) WriteJob(q, self, lock);
    } else if (q->idle > 0 && End(q) - q->next >= kWakeBatch) {
      q->work.notify_one();
    }
  }
  if (q->held > kHeldMax) {
    lock.unlock();
    WriteQueueSettle();
  }
}

void WriteQueueSettle() {
  Queue* q = Get();
  std::unique_lock<std::mutex> lock(q->m);
  if (q->settling || q->settled + 1 >= End(q)) return;
  q->settling = true;
  const u32 end = End(q);
  // What no writer has started is written here, beside them; then the rest
  // is waited for.
  q->work.notify_all();
  while (Job* job = NextQueued(q)) WriteJob(q, job, lock);
  q->done.wait(lock, [q] { return q->writing == 0; });

  // Every temporary reaches the disk before any takes its file's place, so
  // that a file holds its old or its new content whenever the power goes:
  // one flush for each file system the temporaries are on. A flush that
  // fails fails the first file there.
  std::vector<u64> flushed;
  for (u32 n = q->settled + 1; n < end; ++n) {
    Job& job = At(q, n);
    if (job.state != kJobWritten) continue;
    bool seen = false;
    for (u64 d : flushed) seen = seen || d == job.temp.device;
    if (seen) continue;
    flushed.push_back(job.temp.device);
    lock.unlock();
    const u16 rc = SyncFolder(job.folder);
    const int err = rc ? OsLastError() : 0;
    lock.lock();
    if (rc) {
      OsTempDrop(Sl(job.path), job.temp);
      job.state = kJobFailed;
      job.rc = kFailed;
      job.err = err;
    }
  }
  PlaceAll(q, q->settled + 1, end, lock);
  q->settled = end - 1;
  q->settling = false;
}

bool WriteQueueTake(WriteDone* done) {
  Queue* q = Get();
  std::lock_guard<std::mutex> lock(q->m);
  if (q->jobs.empty() || q->first > q->settled) return false;
  Job& job = q->jobs.front();
  *done = WriteDone{job.rc, job.err};
  // Released here, on the producer's thread, where it was allocated: a
  // block freed by another thread would make the allocator take a lock
  // that the producer wants for its next page.
  OsMemFree(job.data);
  q->held -= job.len;
  q->jobs.pop_front();
  ++q->first;
  return true;
}

u32 WriteQueueCount() {
  Queue* q = Get();
  std::lock_guard<std::mutex> lock(q->m);
  return static_cast<u32>(q->jobs.size());
}

u16 WriteQueueSync(StrSlice folder) {
  Queue* q = Get();
  OsStat st;
  const bool there = folder.len && OsStatPath(folder, &st);
  std::unique_lock<std::mutex> lock(q->m);
  WaitDrops(q, lock);
  if (there) NoteDevice(q, st.device, std::string(folder.ptr, folder.len));
  const auto devices = q->devices;
  lock.unlock();
  u16 rc = 0;
  for (const auto& d : devices)
    if (SyncFolder(d.second) != 0) rc = kFailed;
  return rc;
}

}  // namespace vk
