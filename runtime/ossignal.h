// Stop requests from the system: SIGTERM (kill, timeout, a logout) and
// SIGHUP (the terminal closed). While a watch is on, either signal only
// records the request; the work in progress asks OsStopRequested at its
// next step and ends as a cancel ends, so that it leaves every file whole
// and no temporary behind. Outside a watch both keep the effect they had
// before (by default the program ends), which is right when nothing is
// under way. Part of the operating-system boundary (see ostext.h).
#pragma once

namespace vk {

// Starts a watch: both signals are caught (SA_RESTART, so that a system
// call they interrupt goes on) and their earlier dispositions kept. While a
// watch is on, nothing happens (a request already received stays).
void OsStopWatchBegin();
// Gives both signals their earlier dispositions back and forgets the
// request; nothing when no watch is on.
void OsStopWatchEnd();
// The signal of the watch's first request; 0 for none, and without a
// watch. Later signals of the same watch are ignored.
int OsStopRequested();
// "SIGTERM" or "SIGHUP" for those signals, else "".
const char* OsStopSignalName(int signal);

}  // namespace vk
