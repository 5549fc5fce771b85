// The fake user-interface backend for tests: windows are records, events
// are queued by the test (clicks, keys, close requests) and dispatched by
// the pump, message boxes and file dialogs answer as scripted, and every
// call leaves a trace in FakeUi for the test to read.
#pragma once
#include "runtime/uibackend.h"

namespace vk {

constexpr u16 kFakeTextMax = 1024;

// A wide text as the backend received it, each unit cut to its low byte;
// wide is set when some unit was above 0xFF.
struct FakeText {
  char bytes[kFakeTextMax];
  u16 len;
  bool wide;
};

struct FakeWindow {
  char class_name[kUiClassNameMax];
  FakeText title;
  FakeText painted;
  u16 painted_top;
  u16 paint_count;
  u16 update_count;
};

struct FakeMessageBox {
  UiWindow owner;
  u16 type;
  FakeText text;
  FakeText caption;
};

struct FakeFileDialog {
  bool save;
  UiWindow owner;
  FakeText filter;  // the units up to and with the closing double NUL
  FakeText name;    // the suggested name in the buffer
  FakeText title;
  FakeText default_ext;
  bool has_title;
  u16 file_units;
  u32 flags;
};

constexpr u16 kFakeMaxAnswers = 16;
constexpr u16 kFakeResultMax = 512;

struct FakeUi {
  UiClassTable classes;
  UiWinTable windows;
  FakeWindow info[kUiMaxWindows];  // by slot of windows
  UiEventQueue events;
  UiWindow focus;

  // Answers.
  UiSize screen;
  UiSize frame;
  UiSize font;
  bool font_ok;
  u16 answers[kFakeMaxAnswers];  // message-box answers in order; then the first button
  u16 answer_count;
  u16 answer_next;
  bool fail_register;
  char fail_class[kUiClassNameMax];  // creating a window of this class fails
  bool file_accept;
  u16 file_result[kFakeResultMax];   // NUL-terminated units put in the buffer
  char file_chdir[kFakeResultMax];   // library path the dialog changes to ("" none)
  void (*on_pump)(void* ctx);        // called at the start of every pump
  void* on_pump_ctx;

  // Trace.
  u16 register_count;
  u16 create_count;
  u16 destroy_count;
  u16 pump_count;
  u16 quit_count;
  u16 discard_count;
  u16 box_count;
  FakeMessageBox last_box;
  u16 dialog_count;
  FakeFileDialog last_dialog;
};

// Resets the fake to its defaults (screen 1024 x 738, frame 3 x 3, font
// 7 x 13, no windows) and installs it.
void FakeUiInstall();
FakeUi* FakeUiGet();
// The record and trace of a live window, null when it is gone.
UiWinRec* FakeUiWindow(UiWindow window);
FakeWindow* FakeUiInfo(UiWindow window);
// The live child of parent with the control id, kUiNoWindow when none.
UiWindow FakeUiChild(UiWindow parent, u16 id);
// The live child of parent of the kind (kUiKind...), kUiNoWindow when none.
UiWindow FakeUiChildOfKind(UiWindow parent, u8 kind);
// Queues what the user does, for the next pump: a click on a button (a
// command with its id to its parent), a key, a close request.
void FakeUiClick(UiWindow button);
void FakeUiKey(UiWindow window, u32 key);
void FakeUiUserClose(UiWindow window);
// Sets the units of a scripted file-dialog result from 8-bit text.
void FakeUiSetFileResult(const char* text);

}  // namespace vk
