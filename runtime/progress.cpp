#include "runtime/progress.h"

#include "runtime/error.h"
#include "runtime/message.h"
#include "runtime/number.h"
#include "runtime/ossignal.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/window.h"

namespace vk {

namespace {

// Layout around the control, in pixels.
constexpr i32 kSideRoom = 40;       // window width = control width + this
constexpr i32 kBodyHeight = 90;     // window height = dialog frames + this
constexpr i32 kControlX = 20;
constexpr i32 kControlY = 10;
constexpr u16 kControlHeight = 17;
constexpr i32 kButtonFromRight = 50;  // button x = control width - this
constexpr i32 kButtonY = 35;
constexpr u16 kButtonWidth = 70;
constexpr u16 kButtonHeight = 20;
constexpr u16 kControlId = 0;
constexpr u16 kWidthDefaultToo = 0xFFFF;
// The widest control whose window width still fits 16 bits.
constexpr u16 kWidthMax = static_cast<u16>(0xFFFF - kSideRoom);

constexpr const char* kTitleKey = "0016";
constexpr const char* kCancelKey = "0020";

ProgressState g_progress = {};

UiWindow CreateChild(UiWindow parent, const char* cls, StrSlice title, u32 style, u32 ex_style, i32 x, i32 y,
                     u16 width, u16 height, u16 id) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const UiCreate params{cls, StrToWide(title), style, ex_style, x, y, width, height, parent, id, nullptr};
  const UiWindow w = UiBackendGet()->create_window(&params);
  WorkMark(m);
  return w;
}

}  // namespace

const ProgressState* ProgressStateGet() { return &g_progress; }

void ProgressStateInit() { g_progress = ProgressState{}; }

u16 ProgressCreateWindow(u16 width, u32 total, bool text_mode) {
  // The work's steps begin here, with or without a window.
  OsStopWatchBegin();
  const UiBackend* ui = UiBackendGet();
  const u16 w = width > kWidthMax ? kWidthMax : width;
  const UiSize screen = ui->screen_size();
  const UiSize frame = ui->dialog_frame();
  // Halves of the signed differences: a screen narrower than the window
  // puts it partly off the left or top edge, as the platform would.
  const i32 x = (i32{screen.width} - w - kSideRoom) >> 1;
  const i32 y = (i32{screen.height} - kBodyHeight) >> 1;
  const i32 h = i32{frame.width} + i32{frame.height} + kBodyHeight;

  const WorkMarkId m = WorkMark(kMarkQuery);
  const UiWindow window = WinCreate(WinKindName(kWinKindProgress), MsgText(kTitleKey), kUiStyleDlgFrame, x, y,
                                    static_cast<u16>(w + kSideRoom), static_cast<u16>(h > 0xFFFF ? 0xFFFF : h),
                                    0, ProgressWndProc);
  UiWindow control = kUiNoWindow;
  if (window != kUiNoWindow) {
    if (text_mode) {
      control = CreateChild(window, kUiClassStatic, StrC(""), kUiStyleChild, kUiExTopmost, kControlX, kControlY,
                            w, kControlHeight, kControlId);
    } else {
      control = CreateChild(window, kUiClassProgressBar, StrC(""), kUiStyleChild | kUiStyleVisible | kUiStyleSmooth,
                            0, kControlX, kControlY, w, kControlHeight, kControlId);
    }
    CreateChild(window, kUiClassButton, MsgText(kCancelKey), kUiStyleChild | kUiStyleVisible | kUiStylePushButton, 0,
                i32{w} - kButtonFromRight, kButtonY, kButtonWidth, kButtonHeight, kProgressCancelId);
    ui->show_window(window, true);
    ui->show_window(control, true);
    ui->update_window(window);
  }
  WorkMark(m);

  ProgressStateInit();
  g_progress.width = width;
  g_progress.window = window;
  g_progress.control = control;
  g_progress.total = total;
  return control == kUiNoWindow ? kErrCommonCtl : 0;
}

u16 ProgressOpen(u16 width, u32 total) {
  if (g_progress.window != kUiNoWindow) return 0;
  if (width == 0 || width == kWidthDefaultToo) width = kProgressDefaultWidth;
  return ProgressCreateWindow(width, total, false);
}

void ProgressSetRange(ProgressState* state, u32 total) {
  if (state->total == 0) {
    state->total = total;
    if (state->total == 0) {
      state->total = kProgressCycleTotal;
      state->cycling = 1;
    }
  }
  while (state->total > kProgressBarRangeMax) {
    state->total >>= 1;
    state->divisor = (state->divisor ? state->divisor : 1) * 2;
  }
  UiBackendGet()->progress_set_range(state->control, static_cast<u16>(state->total));
}

void ProgressStep(ProgressState* state, u32 total, u16 step) {
  // Without a window the step is only counted; the next one tries again.
  if (state->window == kUiNoWindow) (void)ProgressOpen(state->width, state->total);
  if (state->position == 0) ProgressSetRange(state, total);
  i64 advance = step ? step : 1;
  if (step && state->divisor) {
    state->remainder += step;
    advance = NumDivRound(state->remainder, state->divisor);
    state->remainder -= advance * state->divisor;
  }
  state->position = static_cast<u32>(state->position + advance);
  if (state->cycling && state->position > kProgressCycleTotal) state->position = 1;
  UiBackendGet()->progress_set_pos(state->control, state->position);
}

u16 ProgressPoll() {
  WinPumpMessages(kUiNoWindow);
  return g_progress.cancelled || OsStopStopped() ? kErrCancelled : 0;
}

u16 ProgressUpdate(u32 total, u16 step, StrSlice text) {
  if (g_progress.text_mode) return ProgressText(text);
  ProgressStep(&g_progress, total, step);
  return ProgressPoll();
}

u16 ProgressText(StrSlice text) {
  // Without a window the text is not shown; the next call tries again.
  if (g_progress.window == kUiNoWindow) (void)ProgressCreateWindow(kProgressDefaultWidth, 0, true);
  if (text.ptr && text.len) {
    g_progress.text_mode = 1;
    WinPaintMessage(g_progress.control, text);
  }
  return ProgressPoll();
}

void ProgressClose() {
  if (g_progress.window != kUiNoWindow) {
    UiBackendGet()->destroy_window(g_progress.window);
    WinStackPop(g_progress.window);
  }
  ProgressStateInit();
  // After a request, before the work's end or after it, the signals stay
  // caught: the work's end (what comes after this, its log line and its
  // message among it) and the program's exit are not cut short by a repeat.
  if (!OsStopRequested()) OsStopWatchEnd();
}

u32 ProgressWndProc(UiWindow window, u16 message, u32 param) {
  if ((message == kUiMsgCommand && (param & 0xFFFF) == kProgressCancelId) ||
      (message == kUiMsgKeyDown && param == kUiKeyEscape)) {
    g_progress.cancelled = 1;
  }
  // The close box is one more way to cancel. The window stays: destroying it
  // here would leave the operation running with nothing to show or stop it;
  // the caller closes it once it has seen the cancel.
  if (message == kUiMsgClose) {
    g_progress.cancelled = 1;
    return 0;
  }
  return UiDefWindowProc(window, message, param);
}

}  // namespace vk
