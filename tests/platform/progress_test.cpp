// The progress window against the fake backend: geometry, range and step
// arithmetic, cancel, and windows that go away or never come.
#include <csignal>
#include <cstring>
#include <vector>

#include "runtime/error.h"
#include "runtime/ossignal.h"
#include "runtime/progress.h"
#include "runtime/window.h"
#include "ui_fixture.h"

using namespace vk;

namespace {

struct ProgressTest : FakeUiTest {
  UiWindow Window() { return ProgressStateGet()->window; }
  UiWinRec* Bar() { return FakeUiWindow(FakeUiChildOfKind(Window(), kUiKindProgressBar)); }
  UiWindow Cancel() { return FakeUiChild(Window(), kProgressCancelId); }
  u16 Step(u32 total, u16 step) { return ProgressUpdate(total, step, L("")); }
};

TEST_F(ProgressTest, WindowAndControlsAreLaidOutFromTheScreen) {
  ASSERT_EQ(ProgressOpen(0, 0), 0);
  const UiWinRec* w = FakeUiWindow(Window());
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(std::string(FakeUiInfo(Window())->class_name), "Progress");
  EXPECT_EQ(T(FakeUiInfo(Window())->title), "Proceso en progreso.....");
  EXPECT_EQ(w->x, (1024 - 400 - 40) / 2);
  EXPECT_EQ(w->y, (738 - 90) / 2);
  EXPECT_EQ(w->width, 440);
  EXPECT_EQ(w->height, 3 + 3 + 90);
  EXPECT_EQ(w->style, kUiStyleDlgFrame);
  EXPECT_TRUE(w->visible);
  EXPECT_EQ(WinStackTop(), Window());

  const UiWinRec* bar = Bar();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->x, 20);
  EXPECT_EQ(bar->y, 10);
  EXPECT_EQ(bar->width, 400);
  EXPECT_EQ(bar->height, 17);
  EXPECT_EQ(bar->style, kUiStyleChild | kUiStyleVisible | kUiStyleSmooth);

  const UiWinRec* cancel = FakeUiWindow(Cancel());
  ASSERT_NE(cancel, nullptr);
  EXPECT_EQ(T(FakeUiInfo(Cancel())->title), "Cancelar");
  EXPECT_EQ(cancel->x, 350);
  EXPECT_EQ(cancel->y, 35);
  EXPECT_EQ(cancel->width, 70);
  EXPECT_EQ(cancel->height, 20);

  // Open again: nothing changes.
  const u16 created = ui().create_count;
  EXPECT_EQ(ProgressOpen(100, 5), 0);
  EXPECT_EQ(ui().create_count, created);
}

TEST_F(ProgressTest, WidthsAndANarrowScreen) {
  EXPECT_EQ(ProgressOpen(0xFFFF, 0), 0);
  EXPECT_EQ(FakeUiWindow(Window())->width, 440);
  ProgressClose();
  ui().screen = UiSize{100, 50};
  EXPECT_EQ(ProgressOpen(200, 0), 0);
  // Halves of negative differences round down.
  EXPECT_EQ(FakeUiWindow(Window())->x, -70);
  EXPECT_EQ(FakeUiWindow(Window())->y, -20);
  EXPECT_EQ(FakeUiWindow(Window())->width, 240);
}

TEST_F(ProgressTest, LargeTotalsAreHalvedWithADivisor) {
  const struct {
    u32 total;
    u32 range;
    i64 divisor;
  } rows[] = {{65535, 65535, 0}, {65536, 32768, 2}, {300000, 37500, 8}, {100000, 50000, 2}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.total);
    EXPECT_EQ(ProgressOpen(0, r.total), 0);
    Step(r.total, 100);
    EXPECT_EQ(ProgressStateGet()->total, r.range);
    EXPECT_EQ(ProgressStateGet()->divisor, r.divisor);
    EXPECT_EQ(Bar()->range_max, r.range);
    ProgressClose();
  }
  // Without a total at opening, the step's total counts.
  EXPECT_EQ(ProgressOpen(0, 0), 0);
  Step(100000, 100);
  EXPECT_EQ(ProgressStateGet()->total, 50000u);
  EXPECT_EQ(Bar()->pos, 50u);
  EXPECT_EQ(ProgressStateGet()->cycling, 0);
}

TEST_F(ProgressTest, WithoutATotalTheBarCycles) {
  EXPECT_EQ(ProgressOpen(0, 0), 0);
  std::vector<u32> seen;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Step(0, 100), 0);
    seen.push_back(ProgressStateGet()->position);
    EXPECT_EQ(Bar()->pos, seen.back());
  }
  EXPECT_EQ(seen, (std::vector<u32>{100, 200, 1, 101}));
  EXPECT_EQ(Bar()->range_max, 200);
  EXPECT_EQ(ProgressStateGet()->cycling, 1);
}

TEST_F(ProgressTest, AStepOfZeroAdvancesByOne) {
  EXPECT_EQ(ProgressOpen(0, 1000), 0);
  Step(1000, 0);
  Step(1000, 0);
  EXPECT_EQ(ProgressStateGet()->position, 2u);
  ProgressClose();
  EXPECT_EQ(ProgressOpen(0, 300000), 0);
  Step(300000, 0);
  Step(300000, 0);
  EXPECT_EQ(ProgressStateGet()->position, 2u);
  EXPECT_EQ(ProgressStateGet()->remainder, 0);
}

TEST_F(ProgressTest, TheUnshownPartOfAScaledStepCarriesOver) {
  EXPECT_EQ(ProgressOpen(0, 300000), 0);  // divisor 8: 100 is 12.5 bar units
  std::vector<u32> positions;
  std::vector<i64> remainders;
  for (int i = 0; i < 4; ++i) {
    Step(300000, 100);
    positions.push_back(ProgressStateGet()->position);
    remainders.push_back(ProgressStateGet()->remainder);
  }
  EXPECT_EQ(positions, (std::vector<u32>{13, 25, 38, 50}));
  EXPECT_EQ(remainders, (std::vector<i64>{-4, 0, -4, 0}));
  // Beyond its range the bar stays at its end.
  for (int i = 0; i < 3000; ++i) Step(300000, 100);
  EXPECT_EQ(Bar()->pos, 37500u);
}

TEST_F(ProgressTest, CancelAndEscStayUntilClose) {
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(Step(10, 1), 0);
  FakeUiClick(Cancel());
  EXPECT_EQ(Step(10, 1), kErrCancelled);
  EXPECT_EQ(Step(10, 1), kErrCancelled);
  EXPECT_EQ(ProgressText(L("x")), kErrCancelled);
  ProgressClose();
  EXPECT_EQ(WinStackTop(), kUiNoWindow);
  EXPECT_EQ(ui().destroy_count, 1);

  EXPECT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(Step(10, 1), 0);
  FakeUiKey(Window(), 'A');
  UiEventPost(&ui().events, Window(), kUiMsgCommand, 1111);
  EXPECT_EQ(Step(10, 1), 0);
  FakeUiKey(Window(), kUiKeyEscape);
  EXPECT_EQ(Step(10, 1), kErrCancelled);
  ProgressClose();
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(Step(10, 1), 0);
}

// INT, TERM and HUP from the opening on are stop requests: every later
// step answers 122. Another signal, or one after the close, changes nothing
// until the watch is ended; then the signals have their earlier disposition
// back and the next opening starts afresh, and its close ends the watch
// itself. A request after the work's end was decided stops nothing: the
// steps go on, and only the program is asked to end.
TEST_F(ProgressTest, StopSignalsStopTheStepsUntilTheWorksEnd) {
  const int all[] = {SIGINT, SIGTERM, SIGHUP};
  for (const int sig : all) {
    SCOPED_TRACE(sig);
    const int other = sig == SIGTERM ? SIGHUP : SIGTERM;
    // Ignored outside the watch: a signal not caught fails the test
    // instead of ending the test program.
    for (const int s : all) std::signal(s, SIG_IGN);
    EXPECT_EQ(ProgressOpen(0, 10), 0);
    EXPECT_EQ(Step(10, 1), 0);
    std::raise(sig);
    std::raise(other);
    EXPECT_EQ(Step(10, 1), kErrCancelled);
    EXPECT_EQ(ProgressText(L("x")), kErrCancelled);
    EXPECT_EQ(OsStopWatchDecide(), sig);
    ProgressClose();
    std::raise(other);
    EXPECT_EQ(OsStopRequested(), sig);
    EXPECT_EQ(OsStopStopped(), sig);

    OsStopWatchEnd();
    EXPECT_EQ(OsStopRequested(), 0);
    EXPECT_EQ(std::signal(sig, SIG_IGN), SIG_IGN);
    EXPECT_EQ(ProgressOpen(0, 10), 0);
    EXPECT_EQ(Step(10, 1), 0);
    EXPECT_EQ(OsStopWatchDecide(), 0);
    std::raise(sig);
    EXPECT_EQ(Step(10, 1), 0);
    EXPECT_EQ(OsStopWatchDecide(), 0);
    EXPECT_EQ(OsStopStopped(), 0);
    EXPECT_EQ(OsStopRequested(), sig);
    ProgressClose();
    OsStopWatchEnd();
    EXPECT_EQ(std::signal(sig, SIG_DFL), SIG_IGN);
    for (const int s : all) std::signal(s, SIG_DFL);
  }
}

TEST_F(ProgressTest, CloseWithoutAWindowOnlyResets) {
  ProgressClose();
  EXPECT_EQ(ui().destroy_count, 0);
  EXPECT_EQ(WinStackGet()->depth, kWinStackUnused);
  EXPECT_EQ(ProgressStateGet()->window, kUiNoWindow);
}

TEST_F(ProgressTest, TheCloseBoxCancelsAndKeepsTheWindow) {
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  const UiWindow window = Window();
  FakeUiUserClose(window);
  EXPECT_EQ(Step(10, 1), kErrCancelled);
  EXPECT_NE(FakeUiWindow(window), nullptr);
  EXPECT_EQ(Step(10, 1), kErrCancelled);
  EXPECT_EQ(WinStackTop(), window);
  ProgressClose();
  EXPECT_EQ(FakeUiWindow(window), nullptr);
  EXPECT_EQ(WinStackTop(), kUiNoWindow);
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(Step(10, 1), 0);
}

TEST_F(ProgressTest, AWindowDestroyedBehindItsBackIsIgnoredUntilClose) {
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  const UiWindow gone = Window();
  UiBackendGet()->destroy_window(gone);  // as a window system may
  EXPECT_EQ(Step(10, 1), 0);
  EXPECT_EQ(Step(10, 1), 0);
  EXPECT_EQ(ProgressStateGet()->position, 2u);
  EXPECT_EQ(ProgressStateGet()->window, gone);  // no second window meanwhile
  ProgressClose();
  EXPECT_EQ(WinStackTop(), kUiNoWindow);
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_NE(Window(), gone);
  EXPECT_NE(FakeUiWindow(Window()), nullptr);
}

TEST_F(ProgressTest, AMissingBarGives170AndStepsStillWork) {
  std::strcpy(ui().fail_class, kUiClassProgressBar);
  EXPECT_EQ(ProgressOpen(0, 10), kErrCommonCtl);
  EXPECT_NE(FakeUiWindow(Window()), nullptr);
  EXPECT_EQ(ProgressStateGet()->control, kUiNoWindow);
  EXPECT_EQ(Step(10, 1), 0);
  FakeUiClick(Cancel());
  EXPECT_EQ(Step(10, 1), kErrCancelled);
}

TEST_F(ProgressTest, AWindowThatCouldNotBeMadeIsTriedAgain) {
  std::strcpy(ui().fail_class, "Progress");
  EXPECT_EQ(ProgressOpen(0, 10), kErrCommonCtl);
  EXPECT_EQ(Window(), kUiNoWindow);
  ui().fail_class[0] = 0;
  EXPECT_EQ(Step(10, 1), 0);
  EXPECT_NE(FakeUiWindow(Window()), nullptr);
  EXPECT_EQ(ProgressStateGet()->total, 10u);
}

TEST_F(ProgressTest, TextModeShowsTheTexts) {
  EXPECT_EQ(ProgressText(L("Leyendo \xE1rbol")), 0);
  const UiWindow line = ProgressStateGet()->control;
  const UiWinRec* r = FakeUiWindow(line);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->kind, kUiKindStatic);
  EXPECT_EQ(r->ex_style, kUiExTopmost);
  EXPECT_TRUE(r->visible);
  EXPECT_EQ(T(FakeUiInfo(line)->painted), "Leyendo arbol");
  EXPECT_EQ(ProgressStateGet()->text_mode, 1);
  EXPECT_EQ(ProgressUpdate(0, 1, L("Otro")), 0);
  EXPECT_EQ(T(FakeUiInfo(line)->painted), "Otro");
  // An empty text repaints nothing.
  EXPECT_EQ(ProgressUpdate(0, 1, L("")), 0);
  EXPECT_EQ(FakeUiInfo(line)->paint_count, 2);
}

}  // namespace
