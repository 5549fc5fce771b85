#include "platform/console_backend.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/ossignal.h"
#include "runtime/ostext.h"
#include "runtime/str.h"

namespace vk {

namespace {

constexpr u16 kTitleMax = 256;
constexpr u16 kBarCells = 30;
// A frame: the owner's title in UTF-8, a blank, the bar and the percentage.
constexpr u16 kFrameMax = kTitleMax * 2 + kBarCells + 16;
constexpr u16 kChunkUnits = 256;
constexpr char kEsc = 0x1B;

struct ConsoleUi {
  UiClassTable classes;
  UiWinTable windows;
  char titles[kUiMaxWindows][kTitleMax];  // Latin-1, NUL-terminated, by slot
  UiEventQueue events;
  // The bar line on standard error: which bar drew it, and what it showed.
  // On a terminal every change redraws the line in place; elsewhere (a
  // file, a pipe) the last frame is only kept, and written once as the
  // line ends.
  UiWindow line_bar;
  bool line_open;
  bool line_tty;
  i32 line_cells;
  i32 line_percent;
  char frame[kFrameMax];
  u32 frame_len;
  // Held while a top-level window is open.
  bool held;
  bool tty_raw;
  termios tty_saved;
  struct sigaction sigint_saved;
};

ConsoleUi g_console;
volatile std::sig_atomic_t g_interrupted = 0;
bool g_atexit_set = false;

// The first Ctrl-C is a cancel request for the next pump; a second one
// before that pump (an operation that no longer pumps) goes to whoever had
// Ctrl-C before: during a run the stop watch (ossignal.h), which ends the
// run as cleanly, else the default ending the program.
void OnInterrupt(int) {
  if (g_interrupted) {
    sigaction(SIGINT, &g_console.sigint_saved, nullptr);
    std::raise(SIGINT);
    return;
  }
  g_interrupted = 1;
}

// ---- Text out ------------------------------------------------------------

// Wide library text (units as Latin-1 bytes) written as UTF-8.
void WriteWide(std::FILE* f, const u16* text, u32 units) {
  char narrow[kChunkUnits];
  char utf8[kChunkUnits * 2 + 1];
  for (u32 done = 0; text && done < units;) {
    u32 n = units - done;
    if (n > kChunkUnits) n = kChunkUnits;
    for (u32 i = 0; i < n; ++i) {
      const u16 c = text[done + i];
      narrow[i] = c > 0xFF ? '?' : static_cast<char>(c);
    }
    const u32 len = OsToUtf8(StrSlice{narrow, static_cast<u16>(n)}, false, utf8, sizeof utf8);
    if (len != kOsTooLong) std::fwrite(utf8, 1, len, f);
    done += n;
  }
}

// WriteWide with the library's line ends, CR LF or a lone CR, written as
// the LF that ends a console line.
void WriteWideLines(std::FILE* f, const u16* text, u32 units) {
  u32 start = 0;
  for (u32 i = 0; text && i < units; ++i) {
    if (text[i] != '\r') continue;
    WriteWide(f, text + start, i - start);
    std::fputc('\n', f);
    if (i + 1 < units && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (text && start < units) WriteWide(f, text + start, units - start);
}

// Ends the bar line so that other output starts on a line of its own. Off
// a terminal the line is written now, as its last frame showed it.
void EndLine() {
  if (!g_console.line_open) return;
  if (!g_console.line_tty) std::fwrite(g_console.frame, 1, g_console.frame_len, stderr);
  std::fputc('\n', stderr);
  std::fflush(stderr);
  g_console.line_open = false;
  g_console.line_bar = kUiNoWindow;
}

// The bar's frame in g_console.frame: its owner's title, the cells filled
// up to the position and the percentage.
void MakeFrame(const UiWinRec* bar, i32 cells, i32 percent) {
  char* out = g_console.frame;
  u32 n = 0;
  if (const UiWinRec* owner = UiWinFind(&g_console.windows, bar->parent)) {
    const char* title = g_console.titles[UiWinSlot(&g_console.windows, owner)];
    if (*title) {
      const u32 len = OsToUtf8(StrC(title), false, out, kFrameMax - kBarCells - 16);
      if (len != kOsTooLong) {
        n = len;
        out[n++] = ' ';
      }
    }
  }
  out[n++] = '[';
  for (i32 i = 0; i < kBarCells; ++i) out[n++] = i < cells ? '#' : '.';
  out[n++] = ']';
  n += static_cast<u32>(std::snprintf(out + n, kFrameMax - n, " %3d%%", static_cast<int>(percent)));
  g_console.frame_len = n;
}

void DrawBar(const UiWinRec* bar) {
  const u32 max = bar->range_max;
  const u32 pos = bar->pos;
  const i32 cells = max ? static_cast<i32>(u64{pos} * kBarCells / max) : 0;
  const i32 percent = max ? static_cast<i32>(u64{pos} * 100 / max) : 0;
  if (g_console.line_open && g_console.line_bar == bar->handle && g_console.line_cells == cells &&
      g_console.line_percent == percent) {
    return;
  }
  if (g_console.line_open && g_console.line_bar != bar->handle) EndLine();
  if (!g_console.line_open) g_console.line_tty = isatty(STDERR_FILENO) != 0;
  MakeFrame(bar, cells, percent);
  if (g_console.line_tty) {
    // One write per frame: standard error is unbuffered.
    char line[kFrameMax + 1];
    line[0] = '\r';
    std::memcpy(line + 1, g_console.frame, g_console.frame_len);
    std::fwrite(line, 1, g_console.frame_len + 1, stderr);
    std::fflush(stderr);
  }
  g_console.line_open = true;
  g_console.line_bar = bar->handle;
  g_console.line_cells = cells;
  g_console.line_percent = percent;
}

// ---- Terminal and Ctrl-C ---------------------------------------------------

bool StdinIsOurTerminal() { return isatty(STDIN_FILENO) && tcgetpgrp(STDIN_FILENO) == getpgrp(); }

void Hold() {
  if (g_console.held) return;
  g_console.held = true;
  g_interrupted = 0;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  // Ctrl-C ignored by whoever started the program (a background job) stays
  // ignored; the release then puts back what is there now.
  sigaction(SIGINT, OsSignalMayCatch(SIGINT) ? &sa : nullptr, &g_console.sigint_saved);
  // Keys without Enter and without echo; Ctrl-C still raises SIGINT.
  if (StdinIsOurTerminal() && tcgetattr(STDIN_FILENO, &g_console.tty_saved) == 0) {
    termios raw = g_console.tty_saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    g_console.tty_raw = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
  }
  if (!g_atexit_set) {
    g_atexit_set = true;
    std::atexit(ConsoleUiRelease);
  }
}

bool AnyTopWindow() {
  for (const UiWinRec& r : g_console.windows.rec) {
    if (r.handle != kUiNoWindow && r.kind == kUiKindTop) return true;
  }
  return false;
}

// The newest top-level window: where Esc and Ctrl-C go.
UiWindow NewestTopWindow() {
  UiWindow newest = kUiNoWindow;
  for (const UiWinRec& r : g_console.windows.rec) {
    if (r.handle != kUiNoWindow && r.kind == kUiKindTop && r.handle > newest) newest = r.handle;
  }
  return newest;
}

// True when the bytes waiting on the terminal hold a lone Esc (not the
// start of a cursor-key sequence).
bool ReadEscape() {
  if (!g_console.tty_raw) return false;
  bool esc = false;
  char buf[64];
  for (;;) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) {
      if (buf[i] != kEsc) continue;
      if (i + 1 < n && (buf[i + 1] == '[' || buf[i + 1] == 'O')) continue;
      esc = true;
    }
  }
  return esc;
}

// ---- Backend ------------------------------------------------------------

bool ConsoleClassRegistered(void*, const char* name) {
  return UiClassKind(name) != kUiKindTop || UiClassFind(&g_console.classes, name) != kNotFound;
}

bool ConsoleRegisterClass(void*, const char* name, UiWndProc proc) {
  return UiClassAdd(&g_console.classes, name, proc);
}

UiWindow ConsoleCreateWindow(const UiCreate* p) {
  UiWinRec* r = UiWinCreateRecord(&g_console.classes, &g_console.windows, p);
  if (!r) return kUiNoWindow;
  char* title = g_console.titles[UiWinSlot(&g_console.windows, r)];
  const u32 n = UiWideLen(p->title, kTitleMax - 1);
  for (u32 i = 0; i < n; ++i) title[i] = p->title[i] > 0xFF ? '?' : static_cast<char>(p->title[i]);
  title[n] = 0;
  if (r->kind == kUiKindTop) Hold();
  return r->handle;
}

void ForgetWindow(u16 slot, void*) {
  if (g_console.windows.rec[slot].handle == g_console.line_bar) EndLine();
  g_console.titles[slot][0] = 0;
}

void ConsoleDestroyWindow(UiWindow window) {
  UiWinRemove(&g_console.windows, window, ForgetWindow, nullptr);
  if (!AnyTopWindow()) ConsoleUiRelease();
}

bool ConsoleIsWindow(UiWindow window) { return UiWinFind(&g_console.windows, window) != nullptr; }

void ConsoleShowWindow(UiWindow window, bool show) {
  if (UiWinRec* r = UiWinFind(&g_console.windows, window)) r->visible = show;
}

void ConsoleEnableWindow(UiWindow window, bool enable) {
  if (UiWinRec* r = UiWinFind(&g_console.windows, window)) r->enabled = enable;
}

void ConsoleSetRange(UiWindow bar, u16 max) { UiBarSetRange(&g_console.windows, bar, max); }

void ConsoleSetPos(UiWindow bar, u32 pos) {
  UiWinRec* r = UiBarSetPos(&g_console.windows, bar, pos);
  if (!r) return;
  DrawBar(r);
}

UiSize ConsoleClientSize(UiWindow window) {
  const UiWinRec* r = UiWinFind(&g_console.windows, window);
  if (!r) return UiSize{0, 0};
  return UiSize{r->width == kUiDefaultSize ? u16{0} : r->width, r->height == kUiDefaultSize ? u16{0} : r->height};
}

void ConsolePaintText(UiWindow window, const u16* text, u16 units, u16) {
  if (!UiWinFind(&g_console.windows, window)) return;
  EndLine();
  // One printed line per CR-separated line of the text.
  u16 start = 0;
  for (u16 i = 0; i <= units; ++i) {
    if (i < units && text[i] != '\r') continue;
    u16 from = start;
    if (from < i && text[from] == '\n') ++from;
    WriteWide(stderr, text + from, i - from);
    std::fputc('\n', stderr);
    start = static_cast<u16>(i + 1);
  }
  std::fflush(stderr);
}

bool ConsolePump(UiWindow filter) {
  bool esc = ReadEscape();
  if (g_interrupted) {
    g_interrupted = 0;
    esc = true;
  }
  if (esc) {
    if (const UiWindow target = NewestTopWindow()) UiEventPost(&g_console.events, target, kUiMsgKeyDown, kUiKeyEscape);
  }
  return UiEventPump(&g_console.events, &g_console.windows, filter);
}

void ConsolePostQuit() { UiEventPost(&g_console.events, kUiNoWindow, kUiMsgQuit, 0); }

void ConsoleDiscardInput() {
  UiEventDiscardInput(&g_console.events);
  if (g_console.tty_raw) tcflush(STDIN_FILENO, TCIFLUSH);
}

u16 ConsoleMessageBox(UiWindow, const u16* text, const u16* caption, u16 type) {
  EndLine();
  const u32 caption_len = UiWideLen(caption, kMaxText);
  if (caption_len) {
    WriteWide(stderr, caption, caption_len);
    std::fputs(": ", stderr);
  }
  WriteWideLines(stderr, text, UiWideLen(text, kMaxText));
  std::fputc('\n', stderr);
  std::fflush(stderr);
  return UiMbFirstAnswer(type);
}

bool ConsoleFileDialog(bool, UiFileDialog*) { return false; }

UiSize ConsoleScreenSize() { return UiSize{1024, 738}; }
UiSize ConsoleDialogFrame() { return UiSize{3, 3}; }

bool ConsoleFontMetrics(UiWindow, UiSize* out) {
  *out = UiSize{7, 13};
  return true;
}

void NoOp(UiWindow) {}

constexpr UiBackend kConsoleBackend = {
    "console",          ConsoleClassRegistered, ConsoleRegisterClass, ConsoleCreateWindow, ConsoleDestroyWindow,
    ConsoleIsWindow,    ConsoleShowWindow,      NoOp,                 ConsoleEnableWindow, NoOp,
    ConsoleSetRange,    ConsoleSetPos,          ConsoleClientSize,    ConsolePaintText,    ConsolePump,
    ConsolePostQuit,    ConsoleDiscardInput,    ConsoleMessageBox,    ConsoleFileDialog,   ConsoleScreenSize,
    ConsoleDialogFrame, ConsoleFontMetrics,
};

}  // namespace

void ConsoleUiInstall() {
  ConsoleUiRelease();
  EndLine();
  g_console.classes = UiClassTable{};
  g_console.windows = UiWinTable{};
  std::memset(g_console.titles, 0, sizeof g_console.titles);
  g_console.events = UiEventQueue{};
  UiSetBackend(&kConsoleBackend);
}

void ConsoleUiRelease() {
  if (!g_console.held) return;
  g_console.held = false;
  if (g_console.tty_raw) {
    tcsetattr(STDIN_FILENO, TCSANOW, &g_console.tty_saved);
    g_console.tty_raw = false;
  }
  sigaction(SIGINT, &g_console.sigint_saved, nullptr);
}

}  // namespace vk
