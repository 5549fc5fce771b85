#include "platform/fake_backend.h"

#include <cstring>

#include "runtime/file.h"
#include "runtime/str.h"

namespace vk {

namespace {

FakeUi g_fake;

void Record(FakeText* out, const u16* text, u32 units) {
  *out = FakeText{};
  if (!text) return;
  if (units > kFakeTextMax) units = kFakeTextMax;
  for (u32 i = 0; i < units; ++i) {
    if (text[i] > 0xFF) out->wide = true;
    out->bytes[i] = static_cast<char>(text[i] & 0xFF);
  }
  out->len = static_cast<u16>(units);
}

void RecordZ(FakeText* out, const u16* text) { Record(out, text, UiWideLen(text, kFakeTextMax)); }

// Units of a filter list up to and with its closing double NUL.
u32 FilterUnits(const u16* filter) {
  if (!filter) return 0;
  u32 n = 0;
  while (n + 1 < kFakeTextMax && !(filter[n] == 0 && filter[n + 1] == 0)) ++n;
  return n + 2;
}

bool FakeClassRegistered(void*, const char* name) {
  return UiClassKind(name) != kUiKindTop || UiClassFind(&g_fake.classes, name) != kNotFound;
}

bool FakeRegisterClass(void*, const char* name, UiWndProc proc) {
  ++g_fake.register_count;
  if (g_fake.fail_register) return false;
  return UiClassAdd(&g_fake.classes, name, proc);
}

UiWindow FakeCreateWindow(const UiCreate* p) {
  ++g_fake.create_count;
  if (!p->class_name || (g_fake.fail_class[0] && std::strcmp(p->class_name, g_fake.fail_class) == 0)) {
    return kUiNoWindow;
  }
  UiWinRec* r = UiWinCreateRecord(&g_fake.classes, &g_fake.windows, p);
  if (!r) return kUiNoWindow;
  FakeWindow& info = g_fake.info[UiWinSlot(&g_fake.windows, r)];
  info = FakeWindow{};
  std::strncpy(info.class_name, p->class_name, kUiClassNameMax - 1);
  RecordZ(&info.title, p->title);
  return r->handle;
}

void ClearInfo(u16 slot, void*) { g_fake.info[slot] = FakeWindow{}; }

void FakeDestroyWindow(UiWindow window) {
  if (!UiWinFind(&g_fake.windows, window)) return;
  ++g_fake.destroy_count;
  if (UiWinWithin(&g_fake.windows, g_fake.focus, window)) g_fake.focus = kUiNoWindow;
  UiWinRemove(&g_fake.windows, window, ClearInfo, nullptr);
}

bool FakeIsWindow(UiWindow window) { return UiWinFind(&g_fake.windows, window) != nullptr; }

void FakeShowWindow(UiWindow window, bool show) {
  if (UiWinRec* r = UiWinFind(&g_fake.windows, window)) r->visible = show;
}

void FakeUpdateWindow(UiWindow window) {
  if (FakeWindow* info = FakeUiInfo(window)) ++info->update_count;
}

void FakeEnableWindow(UiWindow window, bool enable) {
  if (UiWinRec* r = UiWinFind(&g_fake.windows, window)) r->enabled = enable;
}

void FakeSetFocus(UiWindow window) {
  if (UiWinFind(&g_fake.windows, window)) g_fake.focus = window;
}

void FakeSetRange(UiWindow bar, u16 max) { UiBarSetRange(&g_fake.windows, bar, max); }

void FakeSetPos(UiWindow bar, u32 pos) { UiBarSetPos(&g_fake.windows, bar, pos); }

UiSize FakeClientSize(UiWindow window) {
  const UiWinRec* r = UiWinFind(&g_fake.windows, window);
  if (!r) return UiSize{0, 0};
  return UiSize{r->width == kUiDefaultSize ? u16{0} : r->width, r->height == kUiDefaultSize ? u16{0} : r->height};
}

void FakePaintText(UiWindow window, const u16* text, u16 units, u16 top) {
  FakeWindow* info = FakeUiInfo(window);
  if (!info) return;
  Record(&info->painted, text, units);
  info->painted_top = top;
  ++info->paint_count;
}

bool FakePump(UiWindow filter) {
  ++g_fake.pump_count;
  if (g_fake.on_pump) g_fake.on_pump(g_fake.on_pump_ctx);
  return UiEventPump(&g_fake.events, &g_fake.windows, filter);
}

void FakePostQuit() {
  ++g_fake.quit_count;
  UiEventPost(&g_fake.events, kUiNoWindow, kUiMsgQuit, 0);
}

void FakeDiscardInput() {
  ++g_fake.discard_count;
  UiEventDiscardInput(&g_fake.events);
}

u16 FakeBox(UiWindow owner, const u16* text, const u16* caption, u16 type) {
  ++g_fake.box_count;
  g_fake.last_box.owner = owner;
  g_fake.last_box.type = type;
  RecordZ(&g_fake.last_box.text, text);
  RecordZ(&g_fake.last_box.caption, caption);
  if (g_fake.answer_next < g_fake.answer_count) return g_fake.answers[g_fake.answer_next++];
  return UiMbFirstAnswer(type);
}

bool FakeDialog(bool save, UiFileDialog* d) {
  ++g_fake.dialog_count;
  FakeFileDialog& rec = g_fake.last_dialog;
  rec = FakeFileDialog{};
  rec.save = save;
  rec.owner = d->owner;
  Record(&rec.filter, d->filter, FilterUnits(d->filter));
  RecordZ(&rec.name, d->file);
  rec.has_title = d->title != nullptr;
  RecordZ(&rec.title, d->title);
  RecordZ(&rec.default_ext, d->default_ext);
  rec.file_units = d->file_units;
  rec.flags = d->flags;
  // The folder a platform dialog would leave current; a test names one that is there.
  if (g_fake.file_chdir[0]) (void)DirChange(StrC(g_fake.file_chdir));
  if (!g_fake.file_accept || !d->file) return false;
  const u32 n = UiWideLen(g_fake.file_result, kFakeResultMax);
  if (n + 1 > d->file_units) return false;
  std::memcpy(d->file, g_fake.file_result, (n + 1) * sizeof(u16));
  d->file[n] = 0;
  return true;
}

UiSize FakeScreenSize() { return g_fake.screen; }
UiSize FakeDialogFrame() { return g_fake.frame; }

bool FakeFontMetrics(UiWindow, UiSize* out) {
  if (!g_fake.font_ok) return false;
  *out = g_fake.font;
  return true;
}

constexpr UiBackend kFakeBackend = {
    "fake",          FakeClassRegistered, FakeRegisterClass, FakeCreateWindow, FakeDestroyWindow, FakeIsWindow,
    FakeShowWindow,  FakeUpdateWindow,    FakeEnableWindow,  FakeSetFocus,     FakeSetRange,      FakeSetPos,
    FakeClientSize,  FakePaintText,       FakePump,          FakePostQuit,     FakeDiscardInput,  FakeBox,
    FakeDialog,      FakeScreenSize,      FakeDialogFrame,   FakeFontMetrics,
};

}  // namespace

void FakeUiInstall() {
  g_fake = FakeUi{};
  g_fake.screen = UiSize{1024, 738};
  g_fake.frame = UiSize{3, 3};
  g_fake.font = UiSize{7, 13};
  g_fake.font_ok = true;
  UiSetBackend(&kFakeBackend);
}

FakeUi* FakeUiGet() { return &g_fake; }

UiWinRec* FakeUiWindow(UiWindow window) { return UiWinFind(&g_fake.windows, window); }

FakeWindow* FakeUiInfo(UiWindow window) {
  UiWinRec* r = UiWinFind(&g_fake.windows, window);
  return r ? &g_fake.info[UiWinSlot(&g_fake.windows, r)] : nullptr;
}

UiWindow FakeUiChild(UiWindow parent, u16 id) {
  for (const UiWinRec& r : g_fake.windows.rec) {
    if (r.handle != kUiNoWindow && r.parent == parent && r.kind != kUiKindTop && r.id == id) return r.handle;
  }
  return kUiNoWindow;
}

UiWindow FakeUiChildOfKind(UiWindow parent, u8 kind) {
  for (const UiWinRec& r : g_fake.windows.rec) {
    if (r.handle != kUiNoWindow && r.parent == parent && r.kind == kind) return r.handle;
  }
  return kUiNoWindow;
}

void FakeUiClick(UiWindow button) {
  const UiWinRec* r = UiWinFind(&g_fake.windows, button);
  if (!r || !r->enabled) return;
  UiEventPost(&g_fake.events, r->parent, kUiMsgCommand, r->id);
}

void FakeUiKey(UiWindow window, u32 key) { UiEventPost(&g_fake.events, window, kUiMsgKeyDown, key); }

void FakeUiUserClose(UiWindow window) { UiEventPost(&g_fake.events, window, kUiMsgClose, 0); }

void FakeUiSetFileResult(const char* text) {
  u32 i = 0;
  for (; text && text[i] && i + 1 < kFakeResultMax; ++i) g_fake.file_result[i] = static_cast<u8>(text[i]);
  g_fake.file_result[i] = 0;
}

}  // namespace vk
