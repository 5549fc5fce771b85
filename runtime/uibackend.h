// The user-interface backend: the few window-system services the library's
// own windows, message boxes and file dialogs need, as a table of plain
// function pointers that a backend (Qt, console, fake) installs. The library
// never includes a window system; it calls UiBackendGet()->...
//
// Window handles are weak numbers: a handle whose window is gone (destroyed
// by the library, or closed by the user behind its back) is simply unknown
// to the backend, and every call with it does nothing. Handles are never
// reused. Without an installed backend every call fails softly: no windows,
// no events, message boxes answer kUiAnswerNone, file dialogs are cancelled.
//
// Texts handed to a backend are NUL-terminated UTF-16 whose units are the
// library's 8-bit characters widened one to one (a null text is empty).
#pragma once
#include "runtime/slice.h"

namespace vk {

using UiWindow = u32;
constexpr UiWindow kUiNoWindow = 0;

// A window procedure: called with every message dispatched to the window.
using UiWndProc = u32 (*)(UiWindow window, u16 message, u32 param);

// Messages.
enum : u16 {
  kUiMsgCommand = 1,  // a control was used; param: its id in the low 16 bits
  kUiMsgKeyDown = 2,  // param: the key code
  kUiMsgClose = 3,    // the user asked to close the window
  kUiMsgPaint = 4,
  kUiMsgQuit = 5,     // ends the pump; never dispatched to a window
};

// Key codes.
enum : u32 { kUiKeyReturn = 13, kUiKeyEscape = 27 };

// Window style bits.
enum : u32 {
  kUiStyleChild = 0x0001,
  kUiStyleVisible = 0x0002,
  kUiStyleDlgFrame = 0x0004,    // a dialog frame without minimise or maximise
  kUiStyleModal = 0x0080,       // the library's modal bit: disables the owner
  kUiStyleSmooth = 0x0100,      // a progress bar drawn continuously
  kUiStylePushButton = 0x0000,  // a plain push button (the button default)
};
// Extended style bits.
enum : u32 {
  kUiExModalFrame = 0x0001,
  kUiExTopmost = 0x0002,
};

// Width or height asking for the backend's default size.
constexpr u16 kUiDefaultSize = 0xFFFF;

// Predefined control classes (names compared without regard to ASCII case).
constexpr const char* kUiClassProgressBar = "msctls_progress32";
constexpr const char* kUiClassStatic = "STATIC";
constexpr const char* kUiClassButton = "BUTTON";

// Message-box types: buttons in the low nibble, icon in the high one.
enum : u16 {
  kUiMbOk = 0x00,
  kUiMbOkCancel = 0x01,
  kUiMbAbortRetryIgnore = 0x02,
  kUiMbYesNoCancel = 0x03,
  kUiMbYesNo = 0x04,
  kUiMbRetryCancel = 0x05,
  kUiMbButtonsMask = 0x0F,
  kUiMbIconError = 0x10,
  kUiMbIconQuestion = 0x20,
  kUiMbIconWarning = 0x30,
  kUiMbIconInfo = 0x40,
  kUiMbIconMask = 0xF0,
};
// Message-box answers: the button pressed (kUiAnswerNone: no box was shown).
enum : u16 {
  kUiAnswerNone = 0,
  kUiAnswerOk = 1,
  kUiAnswerCancel = 2,
  kUiAnswerAbort = 3,
  kUiAnswerRetry = 4,
  kUiAnswerIgnore = 5,
  kUiAnswerYes = 6,
  kUiAnswerNo = 7,
};

// The answer of a box's first (default) button, for backends that answer
// without asking anyone.
u16 UiMbFirstAnswer(u16 type);

// File-dialog flags.
enum : u32 {
  kUiFileSizing = 0x0001,
  kUiFileExplorer = 0x0002,
  kUiFileHideReadOnly = 0x0004,
  kUiFileMustExist = 0x0008,
};

struct UiSize {
  u16 width;
  u16 height;
};

// What a window is made of.
struct UiCreate {
  const char* class_name;  // a registered class or a predefined control class
  const u16* title;
  u32 style;
  u32 ex_style;
  i32 x;
  i32 y;
  u16 width;   // kUiDefaultSize: the backend's choice
  u16 height;
  UiWindow parent;  // owner of a top-level window, parent of a child
  u16 id;           // a child's control id
  void* instance;
};

// The file dialog's record. filter is a list of name, pattern pairs, each
// ended by a NUL unit, the list ended by one more NUL (null: no filter).
// file holds the suggested name on entry and the chosen path on success,
// always NUL-terminated within file_units units; the chosen path is in
// library form ('\' separators, every unit at most 0xFF).
struct UiFileDialog {
  UiWindow owner;
  const u16* filter;
  u16* file;
  u16 file_units;
  const u16* title;        // null: the dialog's own title
  const u16* default_ext;  // without the dot; null or empty: none
  u32 flags;
};

struct UiBackend {
  const char* name;
  // Classes of top-level windows, one window procedure each.
  bool (*class_registered)(void* instance, const char* class_name);
  bool (*register_class)(void* instance, const char* class_name, UiWndProc proc);
  // kUiNoWindow when the window cannot be made.
  UiWindow (*create_window)(const UiCreate* params);
  // Destroys the window and its children.
  void (*destroy_window)(UiWindow window);
  bool (*is_window)(UiWindow window);
  void (*show_window)(UiWindow window, bool show);
  void (*update_window)(UiWindow window);
  void (*enable_window)(UiWindow window, bool enable);
  void (*set_focus)(UiWindow window);
  // A progress bar's range 0..max and position (clamped to the range).
  void (*progress_set_range)(UiWindow bar, u16 max);
  void (*progress_set_pos)(UiWindow bar, u32 pos);
  // Size of the window's client area ({0, 0} for an unknown window).
  UiSize (*client_size)(UiWindow window);
  // Fills the client area grey and draws text (units long; CR separates
  // lines) in white, centred horizontally, from top down.
  void (*paint_text)(UiWindow window, const u16* text, u16 units, u16 top);
  // Dispatches every waiting event (of the filter window and its children,
  // or of every window for kUiNoWindow) to the window procedures, until none
  // is waiting or a quit request was taken; true when one was.
  bool (*pump)(UiWindow filter);
  // Asks the next pump to report a quit.
  void (*post_quit)();
  // Drops waiting user input (keys and clicks); a quit request stays.
  void (*discard_input)();
  // Shows a message box of the type and answers the button pressed.
  u16 (*message_box)(UiWindow owner, const u16* text, const u16* caption, u16 type);
  // The open (save false) or save dialog; true when the user chose a file.
  bool (*file_dialog)(bool save, UiFileDialog* dialog);
  // The client area of a maximised window, and a dialog frame's thickness.
  UiSize (*screen_size)();
  UiSize (*dialog_frame)();
  // The average character width and the height of the window's font (the
  // screen's for kUiNoWindow); false when they cannot be read.
  bool (*font_metrics)(UiWindow window, UiSize* out);
};

// Installs a backend (copied; a member left null falls back to the soft
// failure); null removes it.
void UiSetBackend(const UiBackend* backend);
// The installed backend, or the soft-failure one: never null.
const UiBackend* UiBackendGet();
// Whether a backend other than the soft-failure one is installed.
bool UiBackendInstalled();

// What a window procedure passes on: a close request destroys the window.
u32 UiDefWindowProc(UiWindow window, u16 message, u32 param);

// ---- Shared pieces for backends --------------------------------------------

// Window kinds.
enum : u8 {
  kUiKindTop = 1,  // a window of a registered class
  kUiKindProgressBar = 2,
  kUiKindStatic = 3,
  kUiKindButton = 4,
};
// The kind of a predefined control class, kUiKindTop for any other name.
u8 UiClassKind(const char* class_name);

// Registered classes.
constexpr u16 kUiMaxClasses = 16;
constexpr u16 kUiClassNameMax = 32;  // with the NUL
struct UiClassTable {
  char names[kUiMaxClasses][kUiClassNameMax];
  UiWndProc procs[kUiMaxClasses];
  u16 count;
};
// Adds or replaces a class; false when the name is unusable or the table full.
bool UiClassAdd(UiClassTable* table, const char* name, UiWndProc proc);
// Index of the class (ASCII case ignored), kNotFound when absent.
u16 UiClassFind(const UiClassTable* table, const char* name);

// Windows of a backend, by slot.
constexpr u16 kUiMaxWindows = 64;
struct UiWinRec {
  UiWindow handle;  // kUiNoWindow: a free slot
  UiWindow parent;
  UiWndProc proc;   // null for controls
  u32 style;
  u32 ex_style;
  i32 x;
  i32 y;
  u16 width;
  u16 height;
  u16 id;
  u8 kind;
  bool visible;
  bool enabled;
  u16 range_max;
  u32 pos;
};
struct UiWinTable {
  UiWinRec rec[kUiMaxWindows];
  UiWindow last_handle;
};
// A new record with a fresh handle; null when the table is full.
UiWinRec* UiWinAdd(UiWinTable* table, const UiCreate* params, u8 kind, UiWndProc proc);
// The live record of handle; null for kUiNoWindow or a window that is gone.
UiWinRec* UiWinFind(UiWinTable* table, UiWindow handle);
// True when window is ancestor itself or one of its descendants.
bool UiWinWithin(UiWinTable* table, UiWindow window, UiWindow ancestor);
// Frees the window's slot and those of all its descendants, calling
// on_free(slot, ctx) for each before it is cleared.
void UiWinRemove(UiWinTable* table, UiWindow handle, void (*on_free)(u16 slot, void* ctx), void* ctx);
// The record of a window a backend creates: the class's kind and procedure
// looked up (an unregistered top-level class gives null), an owner that is
// gone counts as none, a child without a live parent is refused.
UiWinRec* UiWinCreateRecord(UiClassTable* classes, UiWinTable* windows, const UiCreate* p);
// A progress bar's range and position kept in its record (the position
// stops at the range's end); null when the window is no live bar.
UiWinRec* UiBarSetRange(UiWinTable* windows, UiWindow bar, u16 max);
UiWinRec* UiBarSetPos(UiWinTable* windows, UiWindow bar, u32 pos);
inline u16 UiWinSlot(const UiWinTable* table, const UiWinRec* rec) { return static_cast<u16>(rec - table->rec); }

// A queue of events waiting for the pump.
constexpr u16 kUiMaxEvents = 64;
struct UiEvent {
  UiWindow window;
  u16 message;
  u32 param;
};
struct UiEventQueue {
  UiEvent ev[kUiMaxEvents];  // oldest first
  u16 count;
};
// false when the queue is full.
bool UiEventPost(UiEventQueue* queue, UiWindow window, u16 message, u32 param);
// Dispatches waiting events as UiBackend::pump describes: an event goes to
// the procedure of its window (a gone window's event is dropped).
bool UiEventPump(UiEventQueue* queue, UiWinTable* table, UiWindow filter);
// Drops every event but quit requests.
void UiEventDiscardInput(UiEventQueue* queue);

// Length of a NUL-terminated wide text in units (0 for null), at most max.
u32 UiWideLen(const u16* text, u32 max);

}  // namespace vk
