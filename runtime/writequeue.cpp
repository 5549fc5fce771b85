#include "runtime/writequeue.h"

#include <pthread.h>

#include <algorithm>
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
#include "runtime/ossync.h"
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
  kJobQueued,   // to be written: into a temporary, or at once in its turn after want of room
  kJobWriting,  // a thread is writing it
  kJobWritten,  // its temporary is whole
  kJobKept,     // the file holds the content already
  kJobFailed,   // its temporary could not be written
  kJobPlaced,   // its content took its place at the turn of an earlier one of its name
  kJobSettled,  // in place, kept, failed or dropped: rc tells
};

struct Job {
  std::string path;    // library form
  std::string folder;  // its folder ("" for a bare name)
  char* data;
  u32 len;
  u32 number;  // in the order handed over
  u8 state;
  u16 rc;
  int err;
  OsTemp temp;
};

// An old file that a swap left under a temporary's name, to be removed.
struct Drop {
  std::string path;
  OsTemp temp;
};

// A folder that holds files not in place: how many, and what it is (known
// once a call spelled otherwise asks about it).
struct PendingFolder {
  u32 files;
  bool known;
  u64 device;
  u64 inode;
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
  u32 writers = 0;   // threads started (they live as long as the process)
  u32 most = 1;      // writer threads this run may use; 0 for none
  u32 idle = 0;      // writers waiting for work
  u32 thread_jobs = 0;  // jobs the writer threads wrote this run
  bool failed = false;
  bool settling = false;
  bool making = false;  // the producer makes a file (WriteQueueMaking)
  // Want of room was met at job `serial_from`: from it on, every file is
  // written at once in its turn, one at a time, as a writer without
  // temporaries to spare would.
  bool serial = false;
  u32 serial_from = 0;
  u64 held = 0;
  std::unordered_map<std::string, u32> latest;           // path -> its latest job not settled
  std::unordered_map<std::string, PendingFolder> folders;  // folder -> its files not settled
  std::unordered_map<std::string, u32> names;            // last step of a path in `latest` -> how many
  std::thread::id producer;
};

// Made on first use and never destroyed: writers sleep on it until the
// process ends. A child process made by fork has none of the writers: it
// starts a queue of its own.
Queue* g_queue = nullptr;

void ForgetQueue() { g_queue = nullptr; }

Queue* Get() {
  if (!g_queue) {
    static const bool watched = pthread_atfork(nullptr, nullptr, ForgetQueue) == 0;
    (void)watched;
    g_queue = new Queue;
  }
  return g_queue;
}

u32 End(const Queue* q) { return q->first + static_cast<u32>(q->jobs.size()); }
Job& At(Queue* q, u32 n) { return q->jobs[n - q->first]; }
StrSlice Sl(const std::string& s) { return StrMake(s.data(), static_cast<u32>(s.size())); }

// Where the last step of a library path begins.
size_t StepAt(const std::string& path) {
  const size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? 0 : cut + 1;
}
// The folder part of a library path ("" for a bare name).
std::string FolderOf(const std::string& path) {
  const size_t at = StepAt(path);
  return at == 0 ? std::string() : path.substr(0, at - 1);
}
std::string StepOf(const std::string& path) { return path.substr(StepAt(path)); }

// Whether writer threads may take jobs now: not when the run may use none,
// nor once want of room has made the run write one file at a time.
bool ThreadsServe(const Queue* q) { return q->most > 0 && !q->serial; }

// The next job that waits to be written, now being written; null when none
// (or, after want of room, when none is to be written ahead of its turn).
Job* NextQueued(Queue* q) {
  if (q->serial) return nullptr;
  if (q->next < q->first) q->next = q->first;
  while (q->next < End(q) && At(q, q->next).state != kJobQueued) ++q->next;
  if (q->next == End(q)) return nullptr;
  Job* job = &At(q, q->next++);
  job->state = kJobWriting;
  ++q->writing;
  return job;
}

// Writes the job's temporary; called without the lock, and finished under
// it. The system's first refusal for want of room makes the run write one
// file at a time from that job on.
void WriteJob(Queue* q, Job* job, std::unique_lock<std::mutex>& lock) {
  lock.unlock();
  const u16 rc = OsTempWrite(Sl(job->path), job->data, job->len, false, &job->temp);
  const int err = rc ? OsLastError() : 0;
  lock.lock();
  job->rc = rc;
  job->err = err;
  job->state = rc ? kJobFailed : kJobWritten;
  if (OsNoRoom(rc) && (!q->serial || job->number < q->serial_from)) {
    q->serial = true;
    q->serial_from = job->number;
  }
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
    if (ThreadsServe(q)) {
      if (Job* job = NextQueued(q)) {
        if (q->idle > 0 && q->next < End(q)) q->work.notify_one();
        ++q->thread_jobs;
        WriteJob(q, job, lock);
        continue;
      }
      if (DropOne(q, lock)) continue;
    }
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

// Replaces the job's file at once, durable before it takes its place (as
// OsFileReplace does): a file in its turn after want of room, or a kept
// file whose time cannot be set (it is then replaced, as a changed file
// would be). The old files swapped out so far are removed first, for
// their room.
u16 PlaceNow(Queue* q, Job& job, std::unique_lock<std::mutex>& lock) {
  WaitDrops(q, lock);
  lock.unlock();
  const u16 rc = OsFileReplace(Sl(job.path), job.data, job.len);
  job.err = rc ? OsLastError() : 0;
  lock.lock();
  return rc;
}

// Puts job n in place, under the lock: 0, or its failure.
u16 PlaceJob(Queue* q, Job& job, std::unique_lock<std::mutex>& lock) {
  const StrSlice path = Sl(job.path);
  if (job.state == kJobKept) {
    lock.unlock();
    const u16 rc = OsFileTouch(path);
    lock.lock();
    return rc == 0 ? 0 : PlaceNow(q, job, lock);
  }
  if (job.state == kJobQueued) return PlaceNow(q, job, lock);
  if (job.state == kJobFailed) return job.rc;
  bool swapped = false;
  lock.unlock();
  const u16 rc = OsTempPlace(path, &job.temp, &swapped);
  job.err = rc ? OsLastError() : 0;
  lock.lock();
  if (rc == 0 && swapped) {
    q->drops.push_back(Drop{job.path, job.temp});
    if (q->idle > 0 && ThreadsServe(q)) q->work.notify_one();
  }
  return rc;
}

// Job n is settled with rc: it leaves the names and folders not in place.
void Finish(Queue* q, u32 n, u16 rc) {
  Job& job = At(q, n);
  job.rc = rc;
  if (rc == kWriteDropped) job.err = 0;
  job.state = kJobSettled;
  auto latest = q->latest.find(job.path);
  if (latest != q->latest.end() && latest->second == n) {
    q->latest.erase(latest);
    auto name = q->names.find(StepOf(job.path));
    if (name != q->names.end() && --name->second == 0) q->names.erase(name);
  }
  auto folder = q->folders.find(job.folder);
  if (folder != q->folders.end() && --folder->second.files == 0) q->folders.erase(folder);
}

// Drops job n, which a failure before it (rc kWriteDropped) or a later
// content of its name in place (rc 0) made needless: its temporary goes, at
// once after a failure (the run may remove the folder it is in), else with
// the old files.
void DropJob(Queue* q, u32 n, u16 rc, std::unique_lock<std::mutex>& lock) {
  Job& job = At(q, n);
  if (job.state == kJobWritten && rc == kWriteDropped) {
    lock.unlock();
    OsTempDrop(Sl(job.path), job.temp);
    lock.lock();
  } else if (job.state == kJobWritten) {
    q->drops.push_back(Drop{job.path, job.temp});
    if (q->idle > 0 && ThreadsServe(q)) q->work.notify_one();
  }
  Finish(q, n, rc);
}

// A name whose last content in a batch took its place at the turn of its
// first (see PlaceAll): that job, and the contents of the name from the
// first on, in order, which count as in place in their turns.
struct Ahead {
  u32 last;
  std::vector<u32> before;
};

// Puts the content of job n back in its file, its name's last content
// having gone in ahead of its turn: the run ends before that turn. 0, or
// its failure.
u16 PutBack(Queue* q, Job& job, std::unique_lock<std::mutex>& lock) {
  if (job.state == kJobWritten) return PlaceJob(q, job, lock);
  // Kept or written in its turn: its content is in memory.
  return PlaceNow(q, job, lock);
}

// Puts jobs [from, end) in place in order, under the lock, as one writer
// would. A name with more than one whole content in the batch gets its last
// content at the turn of its first, and keeps it: no content that the run
// replaced at once ever reaches the disk (a type map between two
// languages), nothing could have looked at the name in between (a look
// settles), and the placement is the real one, so a name that refuses a
// file refuses it in the turn of its first content, where a writer would
// have met the refusal. The first failure drops every later file; a name
// whose last content went in ahead of that gets back the content it had
// there, as one writer would have left it.
void PlaceAll(Queue* q, u32 from, u32 end, std::unique_lock<std::mutex>& lock) {
  std::unordered_map<std::string, u32> last;  // name -> its last whole temporary here
  for (u32 n = from; n < end; ++n)
    if (At(q, n).state == kJobWritten) last[At(q, n).path] = n;
  std::unordered_map<std::string, Ahead> ahead;
  for (u32 n = from; n < end; ++n) {
    Job& job = At(q, n);
    if (q->failed) {
      DropJob(q, n, kWriteDropped, lock);
      continue;
    }
    auto a = ahead.find(job.path);
    if (a != ahead.end() && a->second.last == n) {
      // Its turn: in place, and so were the contents before it.
      for (u32 b : a->second.before) DropJob(q, b, 0, lock);
      ahead.erase(a);
      Finish(q, n, 0);
      continue;
    }
    if (a != ahead.end() && job.state != kJobFailed) {
      a->second.before.push_back(n);
      continue;
    }
    u16 rc;
    const auto later = last.find(job.path);
    if (job.state == kJobWritten && later != last.end() && later->second > n) {
      Job& final = At(q, later->second);
      rc = PlaceJob(q, final, lock);
      if (rc == 0) {
        final.state = kJobPlaced;
        ahead.emplace(job.path, Ahead{later->second, {n}});
        continue;
      }
      final.state = kJobFailed;  // its temporary went with the placement
      job.err = final.err;
      lock.unlock();
      OsTempDrop(Sl(job.path), job.temp);
      lock.lock();
    } else {
      rc = PlaceJob(q, job, lock);
    }
    if (rc == 0) {
      Finish(q, n, 0);
      continue;
    }
    // The run ends here. The names whose last content went in ahead get
    // back the content each had at this point (their latest before it), in
    // the order of their first contents; one that cannot be put back ends
    // the run there instead.
    q->failed = true;
    std::vector<Ahead*> back;
    for (auto& [name, b] : ahead) back.push_back(&b);
    std::sort(back.begin(), back.end(), [](const Ahead* x, const Ahead* y) { return x->before[0] < y->before[0]; });
    bool earlier = false;  // a content could not be put back
    for (Ahead* b : back) {
      const u32 held = b->before.back();
      for (u32 m : b->before)
        if (m != held) DropJob(q, m, 0, lock);
      const u16 put = PutBack(q, At(q, held), lock);
      Finish(q, held, put != 0 && earlier ? kWriteDropped : put);
      earlier = earlier || put != 0;
    }
    ahead.clear();
    Finish(q, n, earlier ? kWriteDropped : rc);
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

// The folder of a pending file: what it is, found out once.
bool FolderId(PendingFolder* f, const std::string& folder) {
  if (!f->known) f->known = OsFileIdOf(Sl(folder), &f->device, &f->inode);
  return f->known;
}

// The pending file that path names, however it is spelt (relative,
// absolute, with '/' or '\'): the same last step in a folder that is the
// same folder (file system and inode). Under the lock; key gets its path
// as handed over. False when none.
bool FindName(Queue* q, const std::string& path, std::string* key) {
  if (q->latest.count(path)) {
    *key = path;
    return true;
  }
  const std::string step = StepOf(path);
  if (q->names.count(step) == 0) return false;
  u64 device = 0;
  u64 inode = 0;
  if (!OsFileIdOf(Sl(FolderOf(path)), &device, &inode)) return false;
  for (auto& [folder, f] : q->folders) {
    if (!FolderId(&f, folder) || f.device != device || f.inode != inode) continue;
    const std::string there = folder.empty() ? step : folder + '\\' + step;
    if (q->latest.count(there)) {
      *key = there;
      return true;
    }
    // The producer may have spelt the folder with '/'.
    const std::string slash = folder.empty() ? step : folder + '/' + step;
    if (q->latest.count(slash)) {
      *key = slash;
      return true;
    }
  }
  return false;
}

// The links one path may go through, as the system allows.
constexpr int kMostLinks = 40;

// As FindName; with follow, a symbolic link at the name leads on to the
// name it points at (and so on), as a call that reads through it would
// reach: a link to a pending file finds it, even before that file exists.
// A name the queue will put a file at is that file, link or not. (A link
// among the folders is followed by the folder's identity.)
bool FindPending(Queue* q, StrSlice path, bool follow, std::string* key) {
  std::string at(path.ptr ? path.ptr : "", path.len);
  char target[kOsPathMax];
  for (int links = 0;; ++links) {
    if (FindName(q, at, key)) return true;
    if (!follow || links == kMostLinks) return false;
    const u32 len = OsLinkTarget(Sl(at), target, sizeof target);
    if (len == 0) return false;
    // A relative target is taken from the link's folder, as the system
    // takes it.
    const size_t from = target[0] == '\\' ? 0 : StepAt(at);
    at.replace(from, std::string::npos, target, len);
  }
}

// True when folder (a listing's) holds a file not in place, however spelt.
bool FolderPending(Queue* q, StrSlice folder) {
  const std::string key(folder.ptr ? folder.ptr : "", folder.len);
  if (q->folders.count(key)) return true;
  u64 device = 0;
  u64 inode = 0;
  if (q->folders.empty() || !OsFileIdOf(folder, &device, &inode)) return false;
  for (auto& [name, f] : q->folders)
    if (FolderId(&f, name) && f.device == device && f.inode == inode) return true;
  return false;
}

// Settles the queue when the producer is about to touch a file, or list a
// folder, whose new content is not in place yet.
void SettleHook(StrSlice path, bool folder) {
  Queue* q = g_queue;
  if (!q) return;
  {
    std::lock_guard<std::mutex> lock(q->m);
    if (q->settling || q->settled + 1 >= End(q) || std::this_thread::get_id() != q->producer) return;
    std::string key;
    if (folder ? !FolderPending(q, path) : !FindPending(q, path, true, &key)) return;
  }
  WriteQueueSettle();
}

// Before the producer changes the file system other than through the queue:
// while it makes a file, the change is part of that file's making, which
// comes after every file handed over; they are put in place first, and
// when one of them could not be, the run ended before this file and the
// change is not made (false). Outside a file's making (the run's own log
// and folders) nothing is settled for it.
bool ChangeHook() {
  Queue* q = g_queue;
  if (!q) return true;
  {
    std::lock_guard<std::mutex> lock(q->m);
    if (q->settling || !q->making || std::this_thread::get_id() != q->producer) return true;
    if (q->failed) return false;
    if (q->settled + 1 >= End(q)) return true;
  }
  WriteQueueSettle();
  std::lock_guard<std::mutex> lock(q->m);
  return !q->failed;
}

// The content the queue holds for path, for a whole-file read by the
// producer that must see it as though it were in place.
bool PendingHook(StrSlice path, bool follow, char** data, u32* size) {
  Queue* q = g_queue;
  if (!q) return false;
  std::lock_guard<std::mutex> lock(q->m);
  if (q->latest.empty() || q->settling || std::this_thread::get_id() != q->producer) return false;
  std::string key;
  if (!FindPending(q, path, follow, &key)) return false;
  if (!data) return true;
  const Job& job = At(q, q->latest[key]);
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
  q->making = false;
  q->serial = false;
  q->serial_from = 0;
  q->thread_jobs = 0;
  q->producer = std::this_thread::get_id();
  // One writer a CPU beside the producer's, decided once a run from the
  // CPUs this process may run on; none where threads are not to be used
  // (writers started by an earlier run then stay asleep).
  const u32 cpus = OsCpuCount();
  q->most = cpus <= 1 ? 1 : cpus - 1 < kMaxWriters ? cpus - 1 : kMaxWriters;
  if (OsFallbacks() & kOsNoThreads) q->most = 0;
  lock.unlock();
  OsSyncBegin();
  OsSetPendingHooks(OsPendingHooks{SettleHook, PendingHook, ChangeHook});
}

void WriteQueuePut(StrSlice path, char* data, u32 len) {
  Queue* q = Get();
  std::unique_lock<std::mutex> lock(q->m);
  Job job{};
  job.path.assign(path.ptr, path.len);
  job.data = data;
  job.len = len;
  job.number = End(q);
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
  } else {
    lock.unlock();
    same = OsFileSame(path, data, len) == 0;
    lock.lock();
  }
  job.state = same ? kJobKept : kJobQueued;
  const bool queued = job.state == kJobQueued;
  job.folder = FolderOf(job.path);
  q->jobs.push_back(std::move(job));
  const u32 n = End(q) - 1;
  q->held += len;
  Job& added = At(q, n);
  if (q->latest.count(added.path) == 0) ++q->names[StepOf(added.path)];
  q->latest[added.path] = n;
  ++q->folders.try_emplace(added.folder, PendingFolder{0, false, 0, 0}).first->second.files;
  if (queued && !q->serial) {
    if (q->most > 0) MoreWriters(q);
    if (q->writers == 0 || q->most == 0) {
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
  const u32 from = q->settled + 1;
  const u32 end = End(q);
  // What no writer has started is written here, beside them; then the rest
  // is waited for.
  if (ThreadsServe(q)) q->work.notify_all();
  while (Job* job = NextQueued(q)) WriteJob(q, job, lock);
  q->done.wait(lock, [q] { return q->writing == 0; });

  // After want of room, the temporaries of the files from there on are
  // given up, so that each of those is written in its turn into the room
  // the files before it leave.
  if (q->serial) {
    for (u32 n = std::max(from, q->serial_from); n < end; ++n) {
      Job& job = At(q, n);
      if (job.state == kJobWritten) {
        lock.unlock();
        OsTempDrop(Sl(job.path), job.temp);
        lock.lock();
      }
      if (job.state == kJobWritten || (job.state == kJobFailed && OsNoRoom(job.rc))) job.state = kJobQueued;
    }
  }

  // Every temporary reaches the disk before any takes its file's place, so
  // that a file holds its old or its new content whenever the power goes:
  // one flush for each file system the temporaries are on. A flush that
  // fails fails the first file there.
  std::vector<u64> flushed;
  for (u32 n = from; n < end; ++n) {
    Job& job = At(q, n);
    if (job.state != kJobWritten) continue;
    bool seen = false;
    for (u64 d : flushed) seen = seen || d == job.temp.device;
    if (seen) continue;
    flushed.push_back(job.temp.device);
    lock.unlock();
    const u16 rc = OsSyncDevice(job.temp.device);
    const int err = rc ? OsLastError() : 0;
    lock.lock();
    if (rc) {
      OsTempDrop(Sl(job.path), job.temp);
      job.state = kJobFailed;
      job.rc = kFailed;
      job.err = err;
    }
  }
  PlaceAll(q, from, end, lock);
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

void WriteQueueMaking(bool making) {
  Queue* q = Get();
  std::lock_guard<std::mutex> lock(q->m);
  q->making = making;
}

u32 WriteQueueCount() {
  Queue* q = Get();
  std::lock_guard<std::mutex> lock(q->m);
  return static_cast<u32>(q->jobs.size());
}

u32 WriteQueueThreadJobs() {
  Queue* q = Get();
  std::lock_guard<std::mutex> lock(q->m);
  return q->thread_jobs;
}

u16 WriteQueueSync(StrSlice folder, StrSlice* failed) {
  Queue* q = Get();
  {
    std::unique_lock<std::mutex> lock(q->m);
    WaitDrops(q, lock);
  }
  if (folder.len) OsSyncNote(folder);
  return OsSyncAll(failed);
}

}  // namespace vk
