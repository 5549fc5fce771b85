// The window stack, window creation and the pump, message boxes, file
// dialogs, painting and wide text, against the fake backend.
#include <unistd.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/appenv.h"
#include "runtime/scratch.h"
#include "runtime/window.h"
#include "temp_dir.h"
#include "ui_fixture.h"

using namespace vk;

namespace {

std::vector<UiWindow> Order() {
  std::vector<UiWindow> out;
  const WinStack* s = WinStackGet();
  if (s->depth == kWinStackUnused) return out;
  for (u16 i = 0; i < s->depth; ++i) out.push_back(s->entries[s->order[i]].window);
  return out;
}

u16 g_proc_calls = 0;
u16 g_last_message = 0;
u32 g_last_param = 0;
u32 CountingProc(UiWindow w, u16 message, u32 param) {
  ++g_proc_calls;
  g_last_message = message;
  g_last_param = param;
  return UiDefWindowProc(w, message, param);
}

UiWindow Open(const char* title, u32 style = 0) {
  return WinCreate(L("TestWin"), L(title), style, 1, 2, 300, 200, 0, CountingProc);
}

// ---- Window stack ------------------------------------------------------------

TEST_F(FakeUiTest, StackHoldsThirtyTwoWindows) {
  for (UiWindow w = 1; w <= kWinStackMax; ++w) ASSERT_EQ(WinStackPush(w, 0), w);
  EXPECT_EQ(WinStackPush(33, 0), kUiNoWindow);
  EXPECT_EQ(WinStackGet()->depth, kWinStackMax);
  EXPECT_EQ(WinStackTop(), 32u);
  // Full, yet a window already on it can still move to the top.
  EXPECT_EQ(WinStackPush(5, 9), 5u);
  EXPECT_EQ(WinStackTop(), 5u);
  EXPECT_EQ(WinStackGet()->depth, kWinStackMax);
}

TEST_F(FakeUiTest, PushingAWindowAgainMovesItToTheTop) {
  WinStackPush(10, 1);
  WinStackPush(20, 2);
  WinStackPush(30, 3);
  EXPECT_EQ(WinStackPush(10, 7), 10u);
  EXPECT_EQ(Order(), (std::vector<UiWindow>{20, 30, 10}));
  EXPECT_EQ(WinStackGet()->entries[WinStackFind(10)].value, 7);
  // A null window is never pushed: it would take an entry that reads free.
  EXPECT_EQ(WinStackPush(kUiNoWindow, 0), kUiNoWindow);
  EXPECT_EQ(WinStackGet()->depth, 3);
}

TEST_F(FakeUiTest, PopOnANeverUsedStackChangesNothing) {
  EXPECT_TRUE(WinStackPop(4));
  EXPECT_EQ(WinStackGet()->depth, kWinStackUnused);
  EXPECT_EQ(WinStackTop(), kUiNoWindow);
}

TEST_F(FakeUiTest, PopTakesOutTheWindowWhereverItStands) {
  const UiWindow a = Open("a");
  const UiWindow b = Open("b");
  const UiWindow c = Open("c");
  ASSERT_EQ(Order(), (std::vector<UiWindow>{a, b, c}));

  EXPECT_FALSE(WinStackPop(b));
  EXPECT_EQ(Order(), (std::vector<UiWindow>{a, c}));
  EXPECT_EQ(WinStackFind(b), kWinStackMax);

  // Absent and null windows change nothing.
  EXPECT_FALSE(WinStackPop(b));
  EXPECT_FALSE(WinStackPop(kUiNoWindow));
  EXPECT_EQ(Order(), (std::vector<UiWindow>{a, c}));

  // Popping the top enables and focuses the window below.
  FakeUiWindow(a)->enabled = false;
  EXPECT_FALSE(WinStackPop(c));
  EXPECT_TRUE(FakeUiWindow(a)->enabled);
  EXPECT_EQ(ui().focus, a);
  EXPECT_TRUE(WinStackPop(a));
  EXPECT_EQ(WinStackTop(), kUiNoWindow);

  // Freed entries are used again.
  for (UiWindow w = 100; w < 100 + kWinStackMax; ++w) ASSERT_EQ(WinStackPush(w, 0), w);
}

// ---- Creation and pump ---------------------------------------------------------

TEST_F(FakeUiTest, CreateRegistersOnceOwnsByTheTopAndPushes) {
  const UiWindow a = Open("first");
  ASSERT_NE(a, kUiNoWindow);
  const UiWindow b = Open("second");
  EXPECT_EQ(ui().register_count, 1);
  EXPECT_EQ(FakeUiWindow(a)->parent, kUiNoWindow);
  EXPECT_EQ(FakeUiWindow(b)->parent, a);
  EXPECT_EQ(FakeUiWindow(b)->ex_style, kUiExModalFrame);
  EXPECT_EQ(T(FakeUiInfo(b)->title), "second");
  EXPECT_EQ(WinStackTop(), b);
  EXPECT_TRUE(FakeUiWindow(a)->enabled);  // not modal

  const UiWindow m = Open("modal", kUiStyleModal);
  EXPECT_FALSE(FakeUiWindow(b)->enabled);
  EXPECT_EQ(WinStackTop(), m);

  const UiWindow d = WinCreate(L("TestWin"), L("d"), 0, 0, 0, kUiDefaultSize, kUiDefaultSize, 0, nullptr);
  EXPECT_EQ(FakeUiWindow(d)->width, kUiDefaultSize);
}

TEST_F(FakeUiTest, FailedCreationPushesNothingAndLeavesTheOwnerEnabled) {
  const UiWindow a = Open("a");
  std::strcpy(ui().fail_class, "Other");
  EXPECT_EQ(WinCreate(L("Other"), L("x"), kUiStyleModal, 0, 0, 10, 10, 0, CountingProc), kUiNoWindow);
  EXPECT_EQ(Order(), (std::vector<UiWindow>{a}));
  EXPECT_TRUE(FakeUiWindow(a)->enabled);

  // A failed registration is still followed by an attempt, which fails here.
  ui().fail_register = true;
  EXPECT_EQ(WinCreate(L("Third"), L("x"), 0, 0, 0, 10, 10, 0, CountingProc), kUiNoWindow);
  EXPECT_EQ(ui().create_count, 3);
}

TEST_F(FakeUiTest, PumpDispatchesAndReportsQuitOrAnEmptyStack) {
  EXPECT_TRUE(WinPumpMessages(kUiNoWindow));  // nothing open
  const UiWindow a = Open("a");
  FakeUiKey(a, 'K');
  g_proc_calls = 0;
  EXPECT_FALSE(WinPumpMessages(kUiNoWindow));
  EXPECT_EQ(g_proc_calls, 1);
  EXPECT_EQ(g_last_message, kUiMsgKeyDown);
  EXPECT_EQ(g_last_param, u32{'K'});

  // The quit ends the pump: what follows it waits for the next one.
  UiBackendGet()->post_quit();
  FakeUiKey(a, 'L');
  EXPECT_TRUE(WinPumpMessages(kUiNoWindow));
  EXPECT_EQ(g_proc_calls, 1);
  EXPECT_FALSE(WinPumpMessages(kUiNoWindow));
  EXPECT_EQ(g_proc_calls, 2);

  // A filter leaves other windows' events waiting.
  const UiWindow b = Open("b");
  FakeUiKey(a, 'M');
  EXPECT_FALSE(WinPumpMessages(b));
  EXPECT_EQ(g_proc_calls, 2);
  EXPECT_FALSE(WinPumpMessages(kUiNoWindow));
  EXPECT_EQ(g_proc_calls, 3);
}

TEST_F(FakeUiTest, AWindowClosedByTheUserLeavesAHarmlessHandle) {
  const UiWindow a = Open("a");
  FakeUiUserClose(a);
  WinPumpMessages(kUiNoWindow);
  EXPECT_EQ(FakeUiWindow(a), nullptr);
  EXPECT_EQ(WinStackTop(), a);  // the stack does not know yet
  const UiBackend* b = UiBackendGet();
  b->show_window(a, true);
  b->enable_window(a, false);
  b->progress_set_pos(a, 3);
  b->destroy_window(a);
  WinPaintMessage(a, L("x"));
  // Owned by a dead window means owned by none.
  const UiWindow c = Open("c");
  EXPECT_EQ(FakeUiWindow(c)->parent, kUiNoWindow);
  EXPECT_FALSE(WinStackPop(a));
  EXPECT_TRUE(WinStackPop(c));
}

// ---- Message boxes ---------------------------------------------------------------

TEST_F(FakeUiTest, EveryKindHasItsButtonsIconAndTitle) {
  struct Row {
    u16 kind;
    u16 type;
    const char* caption;
  };
  const Row rows[] = {
      {0, 0x40, "Solicitud de Informacion"}, {1, 0x30, "Mensaje Informativo"},
      {2, 0x41, "Solicitud de Informacion"}, {3, 0x10, "Alerta de Mensaje Fatal"},
      {4, 0x15, "Mensaje Informativo"},      {5, 0x44, "Solicitud de Informacion"},
      {6, 0x43, "Solicitud de Informacion"}, {99, 0x40, "Solicitud de Informacion"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.kind);
    EXPECT_EQ(MsgBoxAsk(L("Texto"), L(""), r.kind), u16{'S'});  // the first button
    EXPECT_EQ(ui().last_box.type, r.type);
    EXPECT_EQ(T(ui().last_box.caption), r.caption);
    EXPECT_EQ(T(ui().last_box.text), "Texto");
  }
  MsgBoxAsk(L("x"), L("Propio"), kMsgBoxError);
  EXPECT_EQ(T(ui().last_box.caption), "Propio");
}

TEST_F(FakeUiTest, AnswersAreTheLettersOfMessage0011) {
  const struct {
    u16 button;
    u16 answer;
  } rows[] = {
      {kUiAnswerOk, 'S'},    {kUiAnswerRetry, 'S'},     {kUiAnswerYes, 'S'},    {kUiAnswerNo, 'N'},
      {kUiAnswerCancel, 3}, {kUiAnswerAbort, 3},       {kUiAnswerIgnore, 3},   {kUiAnswerNone, 3},
  };
  for (const auto& r : rows) {
    ui().answers[0] = r.button;
    ui().answer_count = 1;
    ui().answer_next = 0;
    EXPECT_EQ(MsgBoxAsk(L("q"), L(""), kMsgBoxYesNoCancel), r.answer) << r.button;
  }
}

TEST_F(FakeUiTest, AModuleSuppliesTheAnswerLetters) {
  LoadModule({"0011 Yy,Nn"});
  ui().answers[0] = kUiAnswerYes;
  ui().answers[1] = kUiAnswerNo;
  ui().answer_count = 2;
  EXPECT_EQ(MsgBoxAsk(L("q"), L("t"), kMsgBoxYesNo), u16{'Y'});
  EXPECT_EQ(MsgBoxAsk(L("q"), L("t"), kMsgBoxYesNo), u16{'N'});
}

TEST_F(FakeUiTest, AModuleItemWithoutALetterFallsBackToTheBuiltInOne) {
  LoadModule({"0011 ,Oo"});
  ui().answers[0] = kUiAnswerYes;
  ui().answers[1] = kUiAnswerNo;
  ui().answer_count = 2;
  EXPECT_EQ(MsgBoxAsk(L("q"), L("t"), kMsgBoxYesNo), u16{'S'});
  EXPECT_EQ(MsgBoxAsk(L("q"), L("t"), kMsgBoxYesNo), u16{'O'});
}

TEST_F(FakeUiTest, CaptionAndTextAreShownWithoutAccents) {
  MsgBoxAsk(L("A\xF1os de informaci\xF3n \xD1 \xE1\xE9\xED\xFA \xC1\xFC"), L("T\xEDtulo"), kMsgBoxInfo);
  EXPECT_EQ(T(ui().last_box.text), "Anos de informacion N aeiu \xC1\xFC");
  EXPECT_EQ(T(ui().last_box.caption), "Titulo");
  EXPECT_FALSE(ui().last_box.text.wide);
}

TEST_F(FakeUiTest, WithoutLibraryWindowsWaitingInputIsDropped) {
  const UiWindow a = Open("a");
  FakeUiKey(a, 'x');
  MsgBoxAsk(L("q"), L(""), kMsgBoxInfo);
  EXPECT_EQ(ui().last_box.owner, a);
  EXPECT_EQ(ui().discard_count, 0);
  EXPECT_EQ(ui().events.count, 1);

  WinStackPop(a);
  UiBackendGet()->post_quit();
  MsgBoxAsk(L("q"), L(""), kMsgBoxInfo);
  EXPECT_EQ(ui().last_box.owner, kUiNoWindow);
  EXPECT_EQ(ui().discard_count, 1);
  ASSERT_EQ(ui().events.count, 1);  // the quit stays
  EXPECT_EQ(ui().events.ev[0].message, kUiMsgQuit);
}

TEST_F(FakeUiTest, WithoutABackendEverythingFailsSoftly) {
  UiSetBackend(nullptr);
  EXPECT_EQ(MsgBoxAsk(L("q"), L(""), kMsgBoxYesNo), kMsgBoxCancelled);
  EXPECT_EQ(Open("a"), kUiNoWindow);
  EXPECT_EQ(S(FileDlgByKind(0, 2)), "");
  EXPECT_TRUE(WinPumpMessages(kUiNoWindow));
  const WinCell cell = WinCharCell();
  EXPECT_EQ(cell.width, 0);
  EXPECT_EQ(cell.height, 0);
}

// ---- File dialogs ------------------------------------------------------------------

// A dialog may move the current directory into the temporary folder: the
// test starts in the directory it was run from, so that the move shows.
using FileDlgTest = InTempDir<FakeUiTest, false>;

TEST_F(FileDlgTest, BrowseDialogHasOnlyTheAllFilesFilter) {
  EXPECT_EQ(S(FileDlgByKind(0, 0)), "");  // cancelled
  const FakeFileDialog& d = ui().last_dialog;
  EXPECT_FALSE(d.save);
  EXPECT_EQ(FilterItems(d.filter), (std::vector<std::string>{"Todos (*.*)", "*.*"}));
  EXPECT_EQ(T(d.name), "*");
  EXPECT_EQ(T(d.default_ext), "");
  EXPECT_FALSE(d.has_title);
  EXPECT_EQ(d.owner, kUiNoWindow);
  EXPECT_EQ(d.file_units, 192);
  EXPECT_EQ(d.flags, kUiFileSizing | kUiFileExplorer | kUiFileHideReadOnly | kUiFileMustExist);
}

TEST_F(FileDlgTest, KindFilterComesFirstWithNameAndExtension) {
  FileDlgByKind(1, 2);
  const FakeFileDialog& d = ui().last_dialog;
  EXPECT_TRUE(d.save);
  EXPECT_EQ(FilterItems(d.filter),
            (std::vector<std::string>{"Ficheros de Pantalla (*.PAN)", "*.PAN", "Todos (*.*)", "*.*"}));
  EXPECT_EQ(T(d.name), "*.PAN");
  EXPECT_EQ(T(d.default_ext), "PAN");
  EXPECT_EQ(d.flags, kUiFileSizing | kUiFileExplorer | kUiFileHideReadOnly);

  // Open mode: no default extension.
  FileDlgByKind(0, 2);
  EXPECT_EQ(T(ui().last_dialog.default_ext), "");
}

TEST_F(FileDlgTest, KindFiltersFoldAccentsAndOtherKindsHaveNone) {
  const struct {
    u16 kind;
    const char* filter;
    const char* name;
  } rows[] = {
      {5, "Ficheros de Seleccion de Aplicacion (*.KLA)", "*.KLA"},
      {6, "Ficheros de Menu (*.PPN)", "*.PPN"},
      {10, "Ficheros de Estructura (*.DAT)", "*.DAT"},
      {9, "Todos (*.*)", "*"},
      {63, "Todos (*.*)", "*"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.kind);
    FileDlgByKind(0, r.kind);
    EXPECT_EQ(FilterItems(ui().last_dialog.filter).at(0), r.filter);
    EXPECT_EQ(T(ui().last_dialog.name), r.name);
  }
}

TEST_F(FileDlgTest, PrefixFromTheApplicationsShortName) {
  ASSERT_EQ(StoreSet(kGroupIdentity, kIdAppNames, L("VKraft:Other")), 0);
  FileDlgByKind(0, 2 | kFileDlgAppPrefix);
  EXPECT_EQ(T(ui().last_dialog.name), "VK*.PAN");
  FileDlgByKind(0, 2);
  EXPECT_EQ(T(ui().last_dialog.name), "*.PAN");
}

TEST_F(FileDlgTest, CurrentDirectoryIsRestoredOnlyWithTheFlag) {
  std::strcpy(ui().file_chdir, Lib().c_str());

  FileDlgByKind(0, 2 | kFileDlgRestoreDir);
  EXPECT_EQ(Cwd(), old_cwd);
  FileDlgByKind(0, 2);
  EXPECT_EQ(Cwd(), dir);
}

TEST_F(FileDlgTest, AChoiceComesBackAndOneOutsideLatin1IsCancelled) {
  ui().file_accept = true;
  FakeUiSetFileResult("\\home\\ana\\pantalla.PAN");
  EXPECT_EQ(S(FileDlgByKind(0, 2)), "\\home\\ana\\pantalla.PAN");

  // U+015C would narrow to '\' and name another file.
  FakeUiSetFileResult("\\home\\ana\\aXb.PAN");
  ui().file_result[11] = 0x015C;
  EXPECT_EQ(S(FileDlgByKind(0, 2)), "");
  ui().file_result[11] = 0x00FC;  // u-umlaut is a library character
  EXPECT_EQ(S(FileDlgByKind(0, 2)), "\\home\\ana\\a\xFC" "b.PAN");

  ui().file_accept = false;
  EXPECT_EQ(S(FileDlgByKind(0, 2)), "");
}

TEST_F(FileDlgTest, ModuleFilterTextsAreFormattedSafely) {
  LoadModule({"0060 All (%s),%s", "0062 Bad %n %s %s %s %d,%s"});
  FileDlgByKind(0, 2);
  EXPECT_EQ(FilterItems(ui().last_dialog.filter),
            (std::vector<std::string>{"Bad %n *.PAN *.PAN %s %d", "%s", "All (*.*)", "*.*"}));
}

TEST_F(FileDlgTest, ASuggestedNameLongerThanTheBufferLeavesItEmpty) {
  const std::string fits(191, 'a');
  const std::string too_long(192, 'a');
  FileDlgRun(0, L(""), L(fits.c_str()), 0, L("All,*"), L("Title"));
  EXPECT_EQ(T(ui().last_dialog.name), fits);
  EXPECT_EQ(T(ui().last_dialog.title), "Title");
  FileDlgRun(0, L(""), L(too_long.c_str()), 0, L("All,*"), L(""));
  EXPECT_EQ(T(ui().last_dialog.name), "");
  // The buffer is the dialog's own tracked block and is freed again.
  FileDlgRun(0, L(""), L("x"), 0, L(""), L(""));
  EXPECT_EQ(ui().dialog_count, 3);
}

// ---- Painting, cells, wide text ---------------------------------------------------------

TEST_F(FakeUiTest, PaintCentresTheLinesVertically) {
  const UiWindow w = WinCreate(L("TestWin"), L(""), 0, 0, 0, 200, 100, 0, nullptr);
  WinPaintMessage(w, L("Paso\r2 de 3"));  // cell height 13 + 3
  EXPECT_EQ(T(FakeUiInfo(w)->painted), "Paso\r2 de 3");
  EXPECT_EQ(FakeUiInfo(w)->painted_top, 50 - 16);
  WinPaintMessage(w, L("a\rb\rc\rd\re\rf\rg"));
  EXPECT_EQ(FakeUiInfo(w)->painted_top, 0);
  WinPaintMessage(w, L("Se\xF1" "al"));
  EXPECT_EQ(T(FakeUiInfo(w)->painted), "Senal");
}

using WideTextTest = RuntimeTest;

TEST_F(WideTextTest, Conversions) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16* w = StrToWide(L("\xF1x\xFF"));
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w[0], u16{'n'});
  EXPECT_EQ(w[1], u16{'x'});
  EXPECT_EQ(w[2], 0xFF);
  EXPECT_EQ(w[3], 0);
  EXPECT_EQ(WStrByteLen(w, 1), 8);
  const u16 units[] = {0x41, 0x1FE, 0x42, 0};
  EXPECT_EQ(S(WStrToStr(units)), "A\xFE" "B");
  EXPECT_EQ(WStrToStr(units).len, 3);
  // A text whose wide form cannot be one scratch entry gives none.
  const std::string big(40000, 'a');
  EXPECT_EQ(NarrowToWide(StrSlice{big.data(), static_cast<u16>(big.size())}), nullptr);
  EXPECT_EQ(StrToWide(StrErrorSlice(145)), nullptr);
  WorkMark(m);
}

}  // namespace
