#include "runtime/window.h"

#include <cstring>

#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/memory.h"
#include "runtime/message.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"

namespace vk {

namespace {

// Letters the platform's text would show accented: folded to plain ones.
constexpr char kAccented[] = "\xE1\xE9\xED\xF3\xFA\xF1\xD1";
constexpr char kPlainLetters[] = "aeiounN";

constexpr char kWinKinds[] = ",LnMant,Mant,MantDlg,Grid,Dialogx,DevSel,Progress";
// Value of a window pushed by WinCreate.
constexpr u16 kWinCreatedValue = 0xFFFF;

WinStack g_stack = {kWinStackUnused, {}, {}};

void StackInitOnce() {
  if (g_stack.depth != kWinStackUnused) return;
  g_stack = WinStack{};
  g_stack.depth = 0;
}

bool StackUsed() { return g_stack.depth != kWinStackUnused && g_stack.depth > 0; }

// Place of entry index in the order, depth when absent.
u16 OrderPlace(u16 entry) {
  for (u16 p = 0; p < g_stack.depth; ++p) {
    if (g_stack.order[p] == entry) return p;
  }
  return g_stack.depth;
}

// Takes place p out of the order, the places above moving down one.
void OrderRemove(u16 p) {
  for (u16 k = p; k + 1 < g_stack.depth; ++k) g_stack.order[k] = g_stack.order[k + 1];
}

// ---- Message boxes ----------------------------------------------------------

struct MsgBoxKindRow {
  u16 type;
  const char* title_key;
};
constexpr MsgBoxKindRow kMsgBoxKindTable[kMsgBoxKinds] = {
    {kUiMbOk | kUiMbIconInfo, "0014"},
    {kUiMbOk | kUiMbIconWarning, "0012"},
    {kUiMbOkCancel | kUiMbIconInfo, "0014"},
    {kUiMbOk | kUiMbIconError, "0013"},
    {kUiMbRetryCancel | kUiMbIconError, "0012"},
    {kUiMbYesNo | kUiMbIconInfo, "0014"},
    {kUiMbYesNoCancel | kUiMbIconInfo, "0014"},
};
constexpr const char* kAnswerLettersKey = "0011";
enum : u16 { kAnswerItemYes = 1, kAnswerItemNo = 2 };

// The first letter of item k of the answer letters. A language module whose
// item has no letter would make Yes and No answer alike; the built-in
// letter stands in for it.
u16 AnswerLetter(u16 k) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice item = ListItem(MsgText(kAnswerLettersKey), ',', k);
  if (item.len == 0) item = ListItem(MsgBuiltinText(StrC(kAnswerLettersKey)), ',', k);
  const u16 letter = item.len ? static_cast<u8>(item.ptr[0]) : kMsgBoxCancelled;
  WorkMark(m);
  return letter;
}

// ---- File dialogs -----------------------------------------------------------

struct FileDlgKindRow {
  const char* filter_key;  // null: no kind filter
  u16 ext_item;            // item of the file-kind list
};
constexpr FileDlgKindRow kFileDlgKinds[] = {
    {nullptr, 0}, {"0061", 5},  {"0062", 2},  {"0063", 6}, {"0064", 7}, {"0065", 8},
    {"0066", 1},  {"0067", 10}, {"0068", 11}, {nullptr, 0}, {"0061", 5},
};
constexpr u16 kFileDlgKindRows = sizeof(kFileDlgKinds) / sizeof(kFileDlgKinds[0]);
constexpr const char* kAllFilesKey = "0060";
constexpr const char* kAllFilesPattern = "*.*";
constexpr u16 kAppPrefixLen = 2;
constexpr u16 kFileDlgNameUnits = kFileDlgNameBytes / 2;
constexpr u32 kFileDlgAlwaysFlags = kUiFileSizing | kUiFileExplorer | kUiFileHideReadOnly;

// A formatted filter pair; a format the formatter refuses gives no pair.
StrSlice FilterPair(StrSlice format, StrSlice pattern) {
  const StrSlice pair = StrFormatV(kFileDlgFormatRoom, format, pattern, pattern);
  return StrOrEmpty(pair);
}

// The ',' list of filter pairs as the dialog's wide list: every ',' a NUL,
// one more NUL at the end; null when there is no filter.
const u16* FilterList(StrSlice filters) {
  if (!filters.ptr || filters.len == 0) return nullptr;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice folded = StrTranslate(filters, kAccented, kPlainLetters);
  const u32 bytes = (u32{folded.len} + 2) * 2;
  if (!folded.ptr || bytes > kMaxText) {
    WorkMark(m);
    return nullptr;
  }
  char* raw = WorkAllocRaw(static_cast<u16>(bytes), kNoFill);
  if (!raw) {
    WorkMark(m);
    return nullptr;
  }
  u16* units = reinterpret_cast<u16*>(raw);
  for (u16 i = 0; i < folded.len; ++i) {
    const u8 c = static_cast<u8>(folded.ptr[i]);
    units[i] = c == ',' ? 0 : c;
  }
  units[folded.len] = 0;
  units[folded.len + 1] = 0;
  const StrSlice out = WorkReturn(m, raw, static_cast<u16>(bytes));
  return out.ptr ? reinterpret_cast<const u16*>(out.ptr) : nullptr;
}

// True when every unit before the terminator is a library character.
bool AllNarrow(const u16* text, u32 max) {
  for (u32 i = 0; i < max && text[i]; ++i) {
    if (text[i] > 0xFF) return false;
  }
  return true;
}

}  // namespace

// ---- Window stack -------------------------------------------------------------

const WinStack* WinStackGet() { return &g_stack; }

void WinStackReset() { g_stack = WinStack{kWinStackUnused, {}, {}}; }

u16 WinStackFind(UiWindow window) {
  StackInitOnce();
  for (u16 i = 0; i < kWinStackMax; ++i) {
    if (g_stack.entries[i].window == window) return i;
  }
  return kWinStackMax;
}

UiWindow WinStackPush(UiWindow window, u16 value) {
  // A null window would take an entry that still reads as free.
  if (window == kUiNoWindow) return kUiNoWindow;
  const u16 i = WinStackFind(window);
  if (i < kWinStackMax) {
    g_stack.entries[i].value = value;
    const u16 p = OrderPlace(i);
    if (p < g_stack.depth) {
      OrderRemove(p);
      g_stack.order[g_stack.depth - 1] = i;
    }
    return window;
  }
  const u16 free = WinStackFind(kUiNoWindow);
  if (free >= kWinStackMax || g_stack.depth >= kWinStackMax) return kUiNoWindow;
  g_stack.order[g_stack.depth] = free;
  g_stack.entries[free] = WinStackEntry{window, value};
  ++g_stack.depth;
  return window;
}

UiWindow WinStackTop() {
  if (!StackUsed()) return kUiNoWindow;
  return g_stack.entries[g_stack.order[g_stack.depth - 1]].window;
}

bool WinStackPop(UiWindow window) {
  if (!StackUsed()) return true;
  if (window == kUiNoWindow) return false;
  const u16 i = WinStackFind(window);
  if (i >= kWinStackMax) return false;
  const u16 p = OrderPlace(i);
  if (p < g_stack.depth) OrderRemove(p);
  g_stack.entries[i] = WinStackEntry{kUiNoWindow, 0};
  --g_stack.depth;
  g_stack.order[g_stack.depth] = 0;
  if (g_stack.depth > 0) WinEnableFocus(WinStackTop());
  return g_stack.depth == 0;
}

void WinEnableFocus(UiWindow window) {
  if (window == kUiNoWindow) return;
  UiBackendGet()->enable_window(window, true);
  UiBackendGet()->set_focus(window);
}

// ---- Pump and windows -------------------------------------------------------

bool WinPumpMessages(UiWindow filter) {
  if (UiBackendGet()->pump(filter)) return true;
  return WinStackTop() == kUiNoWindow;
}

StrSlice WinKindName(u16 kind) { return ListItem(StrC(kWinKinds), ',', static_cast<u16>(kind + 1)); }

UiWindow WinCreate(StrSlice class_name, StrSlice title, u32 style, i32 x, i32 y, u16 width, u16 height, u16 id,
                   UiWndProc proc) {
  const UiBackend* ui = UiBackendGet();
  const WorkMarkId m = WorkMark(kMarkQuery);
  const char* cls = StrToC(class_name);
  void* instance = AppInstance();
  bool usable = ui->class_registered(instance, cls);
  if (!usable) usable = ui->register_class(instance, cls, proc ? proc : UiDefWindowProc);
  const UiWindow owner = WinStackTop();
  const bool disable_owner = usable && (style & kUiStyleModal) && owner != kUiNoWindow;
  if (disable_owner) ui->enable_window(owner, false);
  const UiCreate params{cls, StrToWide(title), style, kUiExModalFrame, x, y, width, height, owner, id, instance};
  const UiWindow window = ui->create_window(&params);
  WorkMark(m);
  if (window == kUiNoWindow) {
    // No modal window came up, so the owner must not stay disabled.
    if (disable_owner) ui->enable_window(owner, true);
    return kUiNoWindow;
  }
  WinStackPush(window, kWinCreatedValue);
  return window;
}

// ---- Message boxes ----------------------------------------------------------

u16 MsgBoxAsk(StrSlice text, StrSlice title, u16 kind) {
  const MsgBoxKindRow& row = kMsgBoxKindTable[kind < kMsgBoxKinds ? kind : u16{kMsgBoxInfo}];
  const UiBackend* ui = UiBackendGet();
  const UiWindow owner = WinStackTop();
  if (owner == kUiNoWindow) ui->discard_input();
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice caption = (title.ptr && title.len) ? title : MsgText(row.title_key);
  const u16* wide_caption = StrToWide(caption);
  const u16* wide_text = StrToWide(text);
  const u16 pressed = ui->message_box(owner, wide_text, wide_caption, row.type);
  WorkMark(m);
  switch (pressed) {
    case kUiAnswerOk:
    case kUiAnswerRetry:
    case kUiAnswerYes:
      return AnswerLetter(kAnswerItemYes);
    case kUiAnswerNo:
      return AnswerLetter(kAnswerItemNo);
    default:
      return kMsgBoxCancelled;
  }
}

// ---- File dialogs -----------------------------------------------------------

StrSlice FileDlgByKind(u16 save, u16 flags) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice cwd = DirCurrent();

  StrSlice prefix = kStrEmpty;
  if (flags & kFileDlgAppPrefix) {
    prefix = StrMid(ListItem(StoreGet(kGroupIdentity, kIdAppNames), ':', 1), 0, kAppPrefixLen);
  }
  const u16 kind = flags & kFileDlgKindMask;
  const FileDlgKindRow row = kind < kFileDlgKindRows ? kFileDlgKinds[kind] : FileDlgKindRow{nullptr, 0};
  const u16 ext_item = row.filter_key ? row.ext_item : 0;

  const StrSlice suggested = FileKindName(StrConcat(prefix, StrC("*")), ext_item);
  StrSlice filters = FilterPair(MsgText(kAllFilesKey), StrC(kAllFilesPattern));
  StrSlice default_ext = kStrEmpty;
  if (row.filter_key) {
    const StrSlice ext = FileKindName(kStrEmpty, ext_item);
    const StrSlice pattern = StrConcat(StrC("*."), ext);
    const StrSlice kind_filter = FilterPair(MsgText(row.filter_key), pattern);
    const StrSlice joined = StrJoin(kind_filter, StrC(","), filters);
    if (joined.ptr) filters = joined;
    if (save) default_ext = ext;
  }

  const StrSlice chosen = FileDlgRun(save, default_ext, StrOrEmpty(suggested), 0, filters, kStrEmpty);
  // A folder gone in the meantime leaves the dialog's current.
  if ((flags & kFileDlgRestoreDir) && cwd.ptr && cwd.len) (void)DirChange(cwd);
  return WorkReturn(m, StrOrEmpty(chosen));
}

void FileDlgSetup(UiFileDialog* dialog, u16* file, u16 file_units, const u16* filter, const u16* title,
                  const u16* default_ext, u16 dialog_flags) {
  *dialog = UiFileDialog{};
  dialog->owner = kUiNoWindow;
  dialog->filter = filter;
  dialog->file = file;
  dialog->file_units = file_units;
  dialog->title = title;
  dialog->default_ext = default_ext;
  dialog->flags = u32{dialog_flags} | kFileDlgAlwaysFlags;
}

StrSlice FileDlgRun(u16 save, StrSlice default_ext, StrSlice initial, u16 dialog_flags, StrSlice filters,
                    StrSlice title) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  auto* file = static_cast<u16*>(MemAlloc(kOwnerFileDialog, kFileDlgNameBytes));
  if (!file) return WorkReturn(m, kStrEmpty);
  // A name longer than the buffer is refused by the block and leaves it empty.
  if (const u16* name = StrToWide(initial)) {
    const u16 bytes = WStrByteLen(name, 1);
    if (bytes != kNotFound) (void)MemBlockWrite(kOwnerFileDialog, file, 0, name, bytes);
  }
  const u16* filter = FilterList(filters);
  const u16* wide_title = (title.ptr && title.len) ? StrToWide(title) : nullptr;
  const u16* ext = StrToWide(StrOrEmpty(default_ext));
  // An open dialog without flags of its caller only accepts a file that
  // exists: every caller opens a file in order to read it.
  if (!save && dialog_flags == 0) dialog_flags = kUiFileMustExist;
  UiFileDialog dialog;
  FileDlgSetup(&dialog, file, kFileDlgNameUnits, filter, wide_title, ext, dialog_flags);

  StrSlice result = kStrEmpty;
  if (UiBackendGet()->file_dialog(save != 0, &dialog)) {
    file[kFileDlgNameUnits - 1] = 0;
    // A unit above 0xFF would lose its high byte and could name another
    // file ('\', '/' or NUL among them): such a choice counts as cancelled.
    if (AllNarrow(file, kFileDlgNameUnits)) result = WStrToStr(file);
  }
  (void)MemFree(kOwnerFileDialog, file);  // allocated above for this owner
  return WorkReturn(m, StrOrEmpty(result));
}

// ---- Painting and character cells ------------------------------------------

void WinPaintMessage(UiWindow window, StrSlice text) {
  const UiBackend* ui = UiBackendGet();
  if (!text.ptr) text = kStrEmpty;
  const UiSize client = ui->client_size(window);
  const i32 lines = ListCount(text, '\r');
  const WinCell cell = WinCharCell();
  i32 top = i32{client.height} / 2 - (i32{cell.height} * lines) / 2;
  if (top < 0) top = 0;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16* wide = StrToWide(text);
  ui->paint_text(window, wide, wide ? text.len : 0, static_cast<u16>(top > 0xFFFF ? 0xFFFF : top));
  WorkMark(m);
}

WinCell WinCharCell() { return WinDcCharCell(kUiNoWindow); }

WinCell WinFontCell(const UiSize* metrics) {
  if (!metrics) return WinCell{0, 0};
  const u32 w = u32{metrics->width} + 1;
  const u32 h = u32{metrics->height} + 3;
  return WinCell{static_cast<u16>(w > 0xFFFF ? 0xFFFF : w), static_cast<u16>(h > 0xFFFF ? 0xFFFF : h)};
}

WinCell WinDcCharCell(UiWindow window) {
  UiSize metrics{0, 0};
  if (!UiBackendGet()->font_metrics(window, &metrics)) return WinFontCell(nullptr);
  return WinFontCell(&metrics);
}

// ---- Wide text ----------------------------------------------------------------

const u16* NarrowToWide(StrSlice text) {
  if (!text.ptr) return nullptr;
  const u32 bytes = (u32{text.len} + 1) * 2;
  if (bytes > kMaxText) return nullptr;
  char* raw = WorkAllocRaw(static_cast<u16>(bytes), kNoFill);
  if (!raw) return nullptr;
  u16* units = reinterpret_cast<u16*>(raw);
  for (u16 i = 0; i < text.len; ++i) units[i] = static_cast<u8>(text.ptr[i]);
  units[text.len] = 0;
  return units;
}

const u16* StrToWide(StrSlice text) {
  if (!text.ptr) return nullptr;
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice folded = StrTranslate(text, kAccented, kPlainLetters);
  const u16* wide = NarrowToWide(folded);
  if (!wide) {
    WorkMark(m);
    return nullptr;
  }
  const StrSlice out = WorkReturn(m, reinterpret_cast<const char*>(wide), static_cast<u16>((u32{folded.len} + 1) * 2));
  return out.ptr ? reinterpret_cast<const u16*>(out.ptr) : nullptr;
}

StrSlice WideToNarrow(const u16* units, u32 count) {
  if (!units) count = 0;
  if (count > kMaxText) count = kMaxText;
  char* out = WorkAllocRaw(static_cast<u16>(count), kNoFill);
  if (!out) return StrErrorSlice(kErrOutOfMemory);
  for (u32 i = 0; i < count; ++i) out[i] = static_cast<char>(units[i] & 0xFF);
  return StrSlice{out, static_cast<u16>(count)};
}

StrSlice WStrToStr(const u16* text) { return WideToNarrow(text, UiWideLen(text, kMaxText)); }

u16 WStrByteLen(const u16* text, u16 n) {
  const u32 bytes = (UiWideLen(text, kMaxText + 1) + n) * 2;
  return bytes > kMaxText ? kNotFound : static_cast<u16>(bytes);
}

}  // namespace vk
