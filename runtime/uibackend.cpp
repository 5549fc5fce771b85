#include "runtime/uibackend.h"

#include <cstring>

#include "runtime/str.h"

namespace vk {

namespace {

// The soft-failure backend: nothing exists, nothing is shown.
bool NoClassRegistered(void*, const char*) { return false; }
bool NoRegisterClass(void*, const char*, UiWndProc) { return false; }
UiWindow NoCreateWindow(const UiCreate*) { return kUiNoWindow; }
void NoWindowCall(UiWindow) {}
bool NoIsWindow(UiWindow) { return false; }
void NoWindowFlag(UiWindow, bool) {}
void NoSetRange(UiWindow, u16) {}
void NoSetPos(UiWindow, u32) {}
UiSize NoClientSize(UiWindow) { return UiSize{0, 0}; }
void NoPaintText(UiWindow, const u16*, u16, u16) {}
bool NoPump(UiWindow) { return false; }
void NoCall() {}
u16 NoMessageBox(UiWindow, const u16*, const u16*, u16) { return kUiAnswerNone; }
bool NoFileDialog(bool, UiFileDialog*) { return false; }
UiSize NoSize() { return UiSize{0, 0}; }
bool NoFontMetrics(UiWindow, UiSize*) { return false; }

constexpr UiBackend kNoBackend = {
    "none",        NoClassRegistered, NoRegisterClass, NoCreateWindow, NoWindowCall, NoIsWindow,
    NoWindowFlag,  NoWindowCall,      NoWindowFlag,    NoWindowCall,   NoSetRange,   NoSetPos,
    NoClientSize,  NoPaintText,       NoPump,          NoCall,         NoCall,       NoMessageBox,
    NoFileDialog,  NoSize,            NoSize,          NoFontMetrics,
};

UiBackend g_backend = kNoBackend;
bool g_installed = false;

template <typename F>
void Fill(F& member, F fallback) {
  if (!member) member = fallback;
}

bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    if (StrCharUpper(*a) != StrCharUpper(*b)) return false;
    if (!*a) return true;
  }
}

struct ClassKind {
  const char* name;
  u8 kind;
};
constexpr ClassKind kControlClasses[] = {
    {kUiClassProgressBar, kUiKindProgressBar},
    {kUiClassStatic, kUiKindStatic},
    {kUiClassButton, kUiKindButton},
};

}  // namespace

void UiSetBackend(const UiBackend* backend) {
  if (!backend) {
    g_backend = kNoBackend;
    g_installed = false;
    return;
  }
  g_backend = *backend;
  Fill(g_backend.name, kNoBackend.name);
  Fill(g_backend.class_registered, kNoBackend.class_registered);
  Fill(g_backend.register_class, kNoBackend.register_class);
  Fill(g_backend.create_window, kNoBackend.create_window);
  Fill(g_backend.destroy_window, kNoBackend.destroy_window);
  Fill(g_backend.is_window, kNoBackend.is_window);
  Fill(g_backend.show_window, kNoBackend.show_window);
  Fill(g_backend.update_window, kNoBackend.update_window);
  Fill(g_backend.enable_window, kNoBackend.enable_window);
  Fill(g_backend.set_focus, kNoBackend.set_focus);
  Fill(g_backend.progress_set_range, kNoBackend.progress_set_range);
  Fill(g_backend.progress_set_pos, kNoBackend.progress_set_pos);
  Fill(g_backend.client_size, kNoBackend.client_size);
  Fill(g_backend.paint_text, kNoBackend.paint_text);
  Fill(g_backend.pump, kNoBackend.pump);
  Fill(g_backend.post_quit, kNoBackend.post_quit);
  Fill(g_backend.discard_input, kNoBackend.discard_input);
  Fill(g_backend.message_box, kNoBackend.message_box);
  Fill(g_backend.file_dialog, kNoBackend.file_dialog);
  Fill(g_backend.screen_size, kNoBackend.screen_size);
  Fill(g_backend.dialog_frame, kNoBackend.dialog_frame);
  Fill(g_backend.font_metrics, kNoBackend.font_metrics);
  g_installed = true;
}

const UiBackend* UiBackendGet() { return &g_backend; }
bool UiBackendInstalled() { return g_installed; }

u32 UiDefWindowProc(UiWindow window, u16 message, u32) {
  if (message == kUiMsgClose) g_backend.destroy_window(window);
  return 0;
}

u8 UiClassKind(const char* class_name) {
  if (!class_name) return kUiKindTop;
  for (const ClassKind& c : kControlClasses) {
    if (SameName(class_name, c.name)) return c.kind;
  }
  return kUiKindTop;
}

bool UiClassAdd(UiClassTable* table, const char* name, UiWndProc proc) {
  if (!table || !name || !*name || std::strlen(name) >= kUiClassNameMax) return false;
  u16 i = UiClassFind(table, name);
  if (i == kNotFound) {
    if (table->count >= kUiMaxClasses) return false;
    i = table->count++;
    std::strcpy(table->names[i], name);
  }
  table->procs[i] = proc;
  return true;
}

u16 UiClassFind(const UiClassTable* table, const char* name) {
  if (!table || !name) return kNotFound;
  for (u16 i = 0; i < table->count; ++i) {
    if (SameName(table->names[i], name)) return i;
  }
  return kNotFound;
}

UiWinRec* UiBarSetRange(UiWinTable* windows, UiWindow bar, u16 max) {
  UiWinRec* r = UiWinFind(windows, bar);
  if (!r || r->kind != kUiKindProgressBar) return nullptr;
  r->range_max = max;
  if (r->pos > max) r->pos = max;
  return r;
}

UiWinRec* UiBarSetPos(UiWinTable* windows, UiWindow bar, u32 pos) {
  UiWinRec* r = UiWinFind(windows, bar);
  if (!r || r->kind != kUiKindProgressBar) return nullptr;
  r->pos = pos > r->range_max ? r->range_max : pos;
  return r;
}

UiWinRec* UiWinCreateRecord(UiClassTable* classes, UiWinTable* windows, const UiCreate* p) {
  const u8 kind = UiClassKind(p->class_name);
  UiWndProc proc = nullptr;
  if (kind == kUiKindTop) {
    const u16 c = UiClassFind(classes, p->class_name);
    if (c == kNotFound) return nullptr;
    proc = classes->procs[c];
  }
  UiCreate params = *p;
  if (!UiWinFind(windows, params.parent)) params.parent = kUiNoWindow;
  if (kind != kUiKindTop && params.parent == kUiNoWindow) return nullptr;
  return UiWinAdd(windows, &params, kind, proc);
}

UiWinRec* UiWinAdd(UiWinTable* table, const UiCreate* params, u8 kind, UiWndProc proc) {
  for (UiWinRec& r : table->rec) {
    if (r.handle != kUiNoWindow) continue;
    r = UiWinRec{};
    // Handles only grow, so a gone window's handle never names a new one.
    if (++table->last_handle == kUiNoWindow) ++table->last_handle;
    r.handle = table->last_handle;
    r.parent = params->parent;
    r.proc = proc;
    r.style = params->style;
    r.ex_style = params->ex_style;
    r.x = params->x;
    r.y = params->y;
    r.width = params->width;
    r.height = params->height;
    r.id = params->id;
    r.kind = kind;
    r.visible = (params->style & kUiStyleVisible) != 0;
    r.enabled = true;
    r.range_max = 100;
    return &r;
  }
  return nullptr;
}

UiWinRec* UiWinFind(UiWinTable* table, UiWindow handle) {
  if (!table || handle == kUiNoWindow) return nullptr;
  for (UiWinRec& r : table->rec) {
    if (r.handle == handle) return &r;
  }
  return nullptr;
}

bool UiWinWithin(UiWinTable* table, UiWindow window, UiWindow ancestor) {
  // The parent chain is at most as long as the table; a longer one is a loop.
  for (u16 depth = 0; depth <= kUiMaxWindows && window != kUiNoWindow; ++depth) {
    if (window == ancestor) return true;
    const UiWinRec* r = UiWinFind(table, window);
    if (!r) return false;
    window = r->parent;
  }
  return false;
}

void UiWinRemove(UiWinTable* table, UiWindow handle, void (*on_free)(u16 slot, void* ctx), void* ctx) {
  UiWinRec* r = UiWinFind(table, handle);
  if (!r) return;
  for (UiWinRec& child : table->rec) {
    if (child.handle != kUiNoWindow && child.parent == handle && &child != r) {
      UiWinRemove(table, child.handle, on_free, ctx);
    }
  }
  if (on_free) on_free(UiWinSlot(table, r), ctx);
  *r = UiWinRec{};
}

bool UiEventPost(UiEventQueue* queue, UiWindow window, u16 message, u32 param) {
  if (queue->count >= kUiMaxEvents) return false;
  queue->ev[queue->count++] = UiEvent{window, message, param};
  return true;
}

namespace {

void EventRemoveAt(UiEventQueue* queue, u16 i) {
  for (u16 k = i; k + 1 < queue->count; ++k) queue->ev[k] = queue->ev[k + 1];
  --queue->count;
}

}  // namespace

bool UiEventPump(UiEventQueue* queue, UiWinTable* table, UiWindow filter) {
  for (;;) {
    u16 i = 0;
    while (i < queue->count) {
      const UiEvent& e = queue->ev[i];
      if (e.message == kUiMsgQuit || filter == kUiNoWindow || UiWinWithin(table, e.window, filter)) break;
      ++i;
    }
    if (i >= queue->count) return false;
    const UiEvent e = queue->ev[i];
    EventRemoveAt(queue, i);
    if (e.message == kUiMsgQuit) return true;
    // Looked up now: an earlier event may have destroyed the window.
    const UiWinRec* r = UiWinFind(table, e.window);
    if (r && r->proc) r->proc(e.window, e.message, e.param);
  }
}

void UiEventDiscardInput(UiEventQueue* queue) {
  u16 kept = 0;
  for (u16 i = 0; i < queue->count; ++i) {
    if (queue->ev[i].message == kUiMsgQuit) queue->ev[kept++] = queue->ev[i];
  }
  queue->count = kept;
}

u16 UiMbFirstAnswer(u16 type) {
  // Indexed by the buttons nibble: Ok, OkCancel, AbortRetryIgnore,
  // YesNoCancel, YesNo, RetryCancel.
  static constexpr u16 kFirst[] = {kUiAnswerOk,  kUiAnswerOk,  kUiAnswerAbort,
                                   kUiAnswerYes, kUiAnswerYes, kUiAnswerRetry};
  const u16 buttons = type & kUiMbButtonsMask;
  return buttons < sizeof kFirst / sizeof kFirst[0] ? kFirst[buttons] : u16{kUiAnswerOk};
}

u32 UiWideLen(const u16* text, u32 max) {
  u32 n = 0;
  if (text) {
    while (n < max && text[n]) ++n;
  }
  return n;
}

}  // namespace vk
