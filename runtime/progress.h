// The progress window: a small window with a bar (or a line of text) and a
// Cancel button that a long operation advances once per unit of work. It is
// not modal; every update pumps the thread's events, so the bar repaints and
// Cancel (control 1110), Esc or the close box can be pressed while the caller
// is busy; none of them takes the window down. A cancel request makes every later update answer kErrCancelled (122) until
// the window is closed.
//
// From the opening on, SIGINT, SIGTERM and SIGHUP are stop requests
// (ossignal.h): every later update answers kErrCancelled as for a cancel,
// and the work ends as a cancelled one does, until the work decides its end
// (OsStopWatchDecide). After a stop request closing keeps the watch on, so
// that a repeated signal cannot cut the work's end short: the program is to
// end (OsStopRequested says why); a caller that goes on ends the watch
// itself (OsStopWatchEnd).
//
// Caller's order: ProgressOpen once, ProgressUpdate per unit of work
// (stopping when it returns non-zero), ProgressClose at the end, also after
// a cancel. One progress window per process.
#pragma once
#include "runtime/slice.h"
#include "runtime/uibackend.h"

namespace vk {

constexpr u16 kProgressDefaultWidth = 400;
constexpr u16 kProgressCancelId = 1110;
constexpr u32 kProgressCycleTotal = 200;  // the bar's range when no total is known
constexpr u32 kProgressBarRangeMax = 0xFFFF;

struct ProgressState {
  u16 width;         // bar width asked for; 0 = kProgressDefaultWidth
  UiWindow window;   // kUiNoWindow when none is open
  UiWindow control;  // the bar, or the text line in text mode
  u8 cancelled;      // set by the window procedure; kept until the reset
  u8 text_mode;
  u32 position;
  i64 divisor;       // steps are divided by it; 0 = none
  i64 remainder;     // the part of the scaled steps not yet shown
  u32 total;         // the bar's range maximum
  u16 cycling;       // 1: no total was known, the bar runs 0..200 and wraps
};
const ProgressState* ProgressStateGet();

// Opens the window in bar mode unless one is open (then nothing happens and
// the result is 0). Width 0 or 0xFFFF means 400. 0, or kErrCommonCtl (170)
// when the bar cannot be created (the window stays open).
[[nodiscard]] u16 ProgressOpen(u16 width, u32 total);
// One unit of work: advances the bar by step (in text mode shows text
// instead), then polls. 0 or kErrCancelled.
[[nodiscard]] u16 ProgressUpdate(u32 total, u16 step, StrSlice text);
// Opens the window in text mode unless one is open; a non-empty text
// switches to text mode and is painted into the control; then polls.
[[nodiscard]] u16 ProgressText(StrSlice text);
// Destroys the window, takes it off the window stack and resets the state
// (the cancel request included); ends the stop watch unless a stop was
// requested.
void ProgressClose();

// Inner steps.
[[nodiscard]] u16 ProgressCreateWindow(u16 width, u32 total, bool text_mode);
// Settles the range at the first step: the step's total when none was
// given at opening, the cycling range when neither is known, halved until
// the bar can show it (the divisor doubling each time).
void ProgressSetRange(ProgressState* state, u32 total);
void ProgressStep(ProgressState* state, u32 total, u16 step);
// Pumps every waiting event; kErrCancelled when a cancel or a stop was
// requested.
[[nodiscard]] u16 ProgressPoll();
u32 ProgressWndProc(UiWindow window, u16 message, u32 param);
void ProgressStateInit();

}  // namespace vk
