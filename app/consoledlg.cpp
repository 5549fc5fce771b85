#include "app/consoledlg.h"

#include <cstdio>
#include <cstring>

#include "platform/console_backend.h"
#include "runtime/str.h"

namespace vk {

namespace {

constexpr u16 kComboMax = 16;
constexpr u16 kLabelMax = 32;

// The time-window combo of the console: its labels and the choice.
struct ConsoleCombo {
  char labels[kComboMax][kLabelMax];
  u16 count;
  i16 selected;
};

ConsoleCombo g_combo;

// The members are the controls: nothing to move.
void Exchange(void*, CVellumcraftDlg*, bool) {}
void Reset(void*) {
  g_combo.count = 0;
  g_combo.selected = -1;
}
void Add(void*, StrSlice label) {
  if (g_combo.count == kComboMax) return;
  const u16 n = label.len < kLabelMax - 1 ? label.len : kLabelMax - 1;
  std::memcpy(g_combo.labels[g_combo.count], label.ptr, n);
  g_combo.labels[g_combo.count][n] = '\0';
  ++g_combo.count;
}
// Without a window nothing is typed: the text is the chosen label's.
void Text(void*, DlgField* text) {
  DlgSetText(text, g_combo.selected >= 0 ? StrC(g_combo.labels[g_combo.selected]) : kStrEmpty);
}
void Select(void*, i16 index) { g_combo.selected = index >= 0 && index < g_combo.count ? index : -1; }
void Busy(void*, bool) {}

constexpr DlgView kConsoleView = {nullptr, Exchange, Reset, Add, Text, Select, Busy};

void PrintCount(const char* name, const DlgField& f) {
  std::printf("%s: ", name);
  if (f.len) {
    std::fwrite(f.bytes, 1, f.len, stdout);
  } else {
    std::fputc('0', stdout);
  }
  std::fputc('\n', stdout);
}

}  // namespace

int DlgRunConsole(CVellumcraftDlg* dlg, AppOptions* options) {
  ConsoleUiInstall();
  DlgBindView(dlg, &kConsoleView);
  OnInitDialog(dlg);
  int status = AppApplyOptions(dlg, options);
  if (status != kExitOk) {
    AppOptionsRefused(options);
  } else {
    const u16 result = OnStart(dlg);
    PrintCount("Written", dlg->written);
    PrintCount("Avoids", dlg->avoids);
    std::fflush(stdout);
    status = result ? kExitRunError : kExitOk;
  }
  ConsoleUiRelease();
  return status;
}

}  // namespace vk
