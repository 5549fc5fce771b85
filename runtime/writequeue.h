// Files written whole by a few writer threads behind one producer thread.
// The producer hands over a file's new content; when the file holds it
// already, only its modification time is set (at once, on the producer's
// thread: no thread is woken for a file that does not change); otherwise a
// writer thread replaces the file (OsFileReplace). Outcomes come back in the
// order the files were handed over, so the producer can report them as if
// they had been written one after the other. A file handed over while an
// earlier one of the same name is unfinished waits for it, so the later
// content wins.
//
// Only the producer calls these; the writers touch nothing but the files
// and their own jobs.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Jobs handed over and not yet taken back, at most.
constexpr u32 kWriteQueueDepth = 64;

struct WriteDone {
  u16 rc;      // OsFileReplace's result
  int err;     // the system's error number when it failed
};

// Takes data (allocated with malloc; the queue releases it with OsMemFree,
// at once or when its outcome is taken).
// false when the file held the data already (done), true when a writer
// got the job. The caller keeps fewer than kWriteQueueDepth jobs handed
// over and not taken back.
bool WriteQueuePut(StrSlice path, char* data, u32 len);
// The outcome of the oldest job not taken yet: true with *done set when it
// is finished (with wait, after waiting for it); false when there is none
// or, without wait, it is still being written.
bool WriteQueueTake(WriteDone* done, bool wait);

}  // namespace vk
