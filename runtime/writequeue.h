// Files written as if by one writer, with a few writer threads behind the
// one thread that makes them (the producer).
//
// The producer hands over each file's new content in the order a single
// writer would write the files. Writer threads write each content into a
// temporary beside its file. When the queue is settled, the files are put
// in place in that order: the temporaries are first flushed to the disk
// (one flush per file system), then each takes its file's place (swapped
// with the old file, which is removed afterwards, or renamed to a free
// name). A file that holds its content already is kept and only gets the
// current time, in its turn. So at every moment a file holds its old or its
// new content, also across a power cut, and the files end as one writer
// would have left them.
//
// Each content takes its turn, a name handed over twice too: within one
// settling, a name's last content takes its place in the turn of its first
// (so a content that the run replaced at once never reaches the disk), and
// the contents in between count as in place in their turns. The first file
// that cannot be put in place ends it: that file and every file handed
// over after it stay as they were (their temporaries are removed, nothing
// is time-stamped), as though the writer had stopped there; a name whose
// last content went in ahead of that file gets back the content it had
// there. At the first
// refusal for want of room (blocks or inodes, a full disk or a quota) the
// later temporaries are given up, and from that file on each file is
// written at once in its turn (a temporary, flushed, then renamed) after
// the files before it have freed their room: a run that a writer going one
// file at a time would finish, finishes.
//
// While a content is handed over and not in place, the producer sees the
// file system as though it were: any call of the system boundary that names
// the file (however the path is spelt: it is matched by its folder's
// identity and its name, and a symbolic link is followed to the name it
// leads to), or lists its folder, settles the queue first, and a whole-file
// read gets the content; a later content of the same name is compared with
// the earlier content, not with the file. While the producer makes a file
// or removes one in the run's order (WriteQueueMaking), a change it makes to
// the file system outside the queue comes after every file handed over,
// which are put in place first;
// once one of them could not be, the run has ended before that change,
// which is then not made.
//
// Only the producer calls these.
#pragma once
#include "runtime/slice.h"

namespace vk {

// The outcome of a file handed over, in the order handed over.
struct WriteDone {
  u16 rc;   // 0 in place (or kept); the failure (kOsOpenFailed: cannot be
            // put there; kFailed: cannot be written); kWriteDropped after a
            // failure
  int err;  // the system's error number when it failed
};
constexpr u16 kWriteDropped = 0xFFFC;

// Starts a run of files: decides how many writer threads it may use, from
// the CPUs the process may run on (none with the kOsNoThreads fallback),
// and forgets the file systems of the last run. Files of a run not settled
// yet are settled first.
void WriteQueueBegin();
// Hands over the new content of path: data (allocated with malloc) and len.
// The queue releases data, on this thread, when the outcome is taken. After
// a failure the file is dropped at once.
void WriteQueuePut(StrSlice path, char* data, u32 len);
// Puts every file handed over in place, in order (see above).
void WriteQueueSettle();
// The producer starts making the content of a file that it will hand over
// (true), or is done with it (false): a template that writes, appends to,
// renames or removes a file, or makes or removes a folder, meanwhile does
// so after the files handed over are in place, and not at all once one of
// them could not be (the call fails with ECANCELED).
void WriteQueueMaking(bool making);
// The outcome of the oldest file settled and not taken: false when there is
// none (the queue is not settled that far).
bool WriteQueueTake(WriteDone* done);
// Files handed over and not taken yet.
u32 WriteQueueCount();
// Jobs that writer threads (not the producer) wrote since WriteQueueBegin.
u32 WriteQueueThreadJobs();
// Makes what the run changed durable: waits for the old files' removal,
// then flushes every file system the run changed (ossync.h), each once,
// and the one that holds folder (the log's, say). 0, or kFailed with the
// reason noted and *failed the folder whose file system failed.
[[nodiscard]] u16 WriteQueueSync(StrSlice folder, StrSlice* failed);

}  // namespace vk
