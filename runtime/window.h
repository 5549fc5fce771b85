// The library's own user interface over the installed backend
// (runtime/uibackend.h): the stack of the windows the library opened (the
// top one owns the next window and message box), the message pump, window
// creation on a registered class, message boxes that answer with a letter,
// the open and save file dialogs filtered by file kind, and the conversion
// of 8-bit library text to the backend's wide text and back.
//
// Every text shown (captions, titles, filters, painted texts) goes through
// StrToWide, which folds the accented letters of "\xE1\xE9\xED\xF3\xFA\xF1\xD1"
// to "aeiounN" and widens each byte to one unit. Text results are one new
// scratch entry; wide texts live on the scratch stack too.
#pragma once
#include "runtime/slice.h"
#include "runtime/uibackend.h"

namespace vk {

// ---- Window stack ----------------------------------------------------------

constexpr u16 kWinStackMax = 32;
constexpr u16 kWinStackUnused = 0xFFFF;  // depth before the first lookup

struct WinStackEntry {
  UiWindow window;  // kUiNoWindow: a free entry
  u16 value;
};
struct WinStack {
  u16 depth;                       // kWinStackUnused before first use
  u16 order[kWinStackMax];         // entry indices, bottom first
  WinStackEntry entries[kWinStackMax];
};
const WinStack* WinStackGet();
// Forgets every window on the stack and its use, as at process start: for
// a library restarted within one process.
void WinStackReset();

// Index 0-31 of the window's entry, kWinStackMax when absent; kUiNoWindow
// finds the first free entry.
u16 WinStackFind(UiWindow window);
// Puts the window on top (a window already on the stack moves there and
// takes the new value). Returns the window, or kUiNoWindow when the stack
// is full or the window is kUiNoWindow (then nothing changes).
UiWindow WinStackPush(UiWindow window, u16 value);
// The window on top; kUiNoWindow when the stack is empty or never used.
UiWindow WinStackTop();
// Takes the window out wherever it stands (an absent window changes
// nothing); when windows remain, the top one is enabled and focused.
// True when the stack is empty afterwards.
bool WinStackPop(UiWindow window);
// Enables the window and gives it the keyboard focus.
void WinEnableFocus(UiWindow window);

// ---- Pump and windows ------------------------------------------------------

// Dispatches every waiting event (of the filter window, or all of them for
// kUiNoWindow). True when a quit was seen, else when the stack is empty.
bool WinPumpMessages(UiWindow filter);

// Window kinds: class names by number, item kind + 1 of the kind list.
enum : u16 { kWinKindProgress = 7 };
StrSlice WinKindName(u16 kind);

// Registers the class with proc on first use (UiDefWindowProc when null),
// disables the window on top when style has kUiStyleModal, creates the
// window owned by the window on top, and pushes it. Width or height
// kUiDefaultSize leaves that size to the backend.
UiWindow WinCreate(StrSlice class_name, StrSlice title, u32 style, i32 x, i32 y, u16 width, u16 height, u16 id,
                   UiWndProc proc);

// ---- Message boxes ---------------------------------------------------------

enum : u16 {
  kMsgBoxInfo = 0,         // OK, information icon
  kMsgBoxWarning = 1,      // OK, warning icon
  kMsgBoxOkCancel = 2,
  kMsgBoxError = 3,        // OK, error icon
  kMsgBoxRetryCancel = 4,
  kMsgBoxYesNo = 5,
  kMsgBoxYesNoCancel = 6,
  kMsgBoxKinds = 7,        // a kind beyond the table shows as kMsgBoxInfo
};
// The answer to Cancel, Abort and Ignore, and when no box could be shown.
constexpr u16 kMsgBoxCancelled = 3;

// Shows text in a box of the kind, captioned by title (when empty, by the
// kind's default message), and answers: OK, Retry and Yes the first letter
// of item 1 of message "0011" ("S" built in), No the first letter of item 2
// ("N"), anything else kMsgBoxCancelled. A module item without a letter
// answers with the built-in one. With no window of the library open,
// waiting user input is dropped first.
u16 MsgBoxAsk(StrSlice text, StrSlice title, u16 kind);

// ---- File dialogs ----------------------------------------------------------

enum : u16 {
  kFileDlgKindMask = 0x3F,
  kFileDlgAppPrefix = 0x40,   // start the suggested name with the app's short name
  kFileDlgRestoreDir = 0x80,  // change back to the current directory afterwards
};
constexpr u16 kFileDlgNameBytes = 384;  // the name buffer: 192 wide units
constexpr u16 kFileDlgFormatRoom = 384;

// The open (save 0) or save dialog for the file kind of flags, with the
// kind's filter first and the all-files filter after it. The chosen path,
// or the empty text when cancelled.
StrSlice FileDlgByKind(u16 save, u16 flags);
// Runs a dialog: filters is a ',' list of name, pattern pairs; an empty
// title leaves the dialog's own. The chosen path, or the empty text when
// cancelled, when it failed, or when the chosen name holds a character the
// library's text cannot carry.
StrSlice FileDlgRun(u16 save, StrSlice default_ext, StrSlice initial, u16 dialog_flags, StrSlice filters,
                    StrSlice title);
// Fills the dialog record (no owner; dialog_flags with sizing, explorer and
// hide-read-only added).
void FileDlgSetup(UiFileDialog* dialog, u16* file, u16 file_units, const u16* filter, const u16* title,
                  const u16* default_ext, u16 dialog_flags);

// ---- Painting and character cells -----------------------------------------

// Paints text (lines separated by CR) into the window: grey background,
// white text centred horizontally, the block of lines centred vertically.
void WinPaintMessage(UiWindow window, StrSlice text);

struct WinCell {
  u16 width;
  u16 height;
};
// The cell of the screen's font.
WinCell WinCharCell();
// The cell of a font's metrics (average width + 1, height + 3), or {0, 0}
// without metrics.
WinCell WinFontCell(const UiSize* metrics);
// The cell of the window's font (the screen's for kUiNoWindow).
WinCell WinDcCharCell(UiWindow window);

// ---- Wide text -------------------------------------------------------------

// Each byte widened to one unit, plus one NUL unit, as a new scratch entry;
// null for an error slice or when the entry cannot be made (a text over
// 32766 bytes does not fit one).
const u16* NarrowToWide(StrSlice text);
// NarrowToWide of the text with its accented letters folded.
const u16* StrToWide(StrSlice text);
inline const u16* StrToWideFolded(StrSlice text) { return StrToWide(text); }
// The low byte of each of count units, as a new scratch entry (count is
// cut to 65535).
StrSlice WideToNarrow(const u16* units, u32 count);
// WideToNarrow of the units before the terminator (no terminator added).
StrSlice WStrToStr(const u16* text);
// (units before the terminator + n) x 2; kNotFound when that passes 65535
// bytes.
u16 WStrByteLen(const u16* text, u16 n);

}  // namespace vk
