// Stop requests from the system: SIGINT (Ctrl-C on the terminal that
// started the program), SIGTERM (kill, timeout, a logout) and SIGHUP (the
// terminal closed). While a watch is on, each of them only records the
// request; the work in progress asks OsStopStopped at its next step and ends
// as a cancel ends, so that it leaves every file whole and no temporary
// behind. Outside a watch they keep the effect they had before (by default
// the program ends), which is right when nothing is under way.
//
// A signal the program found ignored when it started (nohup ignores SIGHUP;
// a background job of a script starts with SIGINT and SIGQUIT ignored) is
// never caught: it stays ignored, as its starter asked. SIGQUIT is not
// caught at all: it keeps its effect, the last resort when work hangs.
// Part of the operating-system boundary (see ostext.h).
#pragma once

namespace vk {

// Notes which stop signals the process found ignored: the program's start
// calls it before anything changes a disposition. Without the call (a test
// of the library) every stop signal may be caught.
void OsStopNoteStart();
// Whether sig may be caught: it was not found ignored at the start.
bool OsSignalMayCatch(int sig);

// Starts a watch: each stop signal that may be caught is caught (SA_RESTART,
// so that a system call it interrupts goes on) and its earlier disposition
// kept. While a watch is on, nothing happens (a request already received
// stays).
void OsStopWatchBegin();
// The work's end, decided once per watch: the signal of a request that
// came before this call, whether or not the work saw it (the work is then a
// stopped one), else 0. A request after it no longer stops the work: the
// work ends as finished, and the program after it (OsStopRequested).
// Without a watch, 0.
int OsStopWatchDecide();
// Gives the signals their earlier dispositions back and forgets the
// request and the decision; nothing when no watch is on.
void OsStopWatchEnd();
// The signal that stopped the work: the first request before the decision
// (before it is made, the first request so far); 0 for none.
int OsStopStopped();
// The signal of the watch's first request, before or after the decision:
// the program is to end once the work has. 0 for none, and without a
// watch. Later signals of the same watch are ignored.
int OsStopRequested();
// "SIGINT", "SIGTERM" or "SIGHUP" for those signals, else "".
const char* OsStopSignalName(int signal);

}  // namespace vk
