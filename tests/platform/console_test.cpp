// The console backend: the progress bar and message boxes on standard
// error, Ctrl-C as a cancel while the progress window is open.
#include <csignal>
#include <string>

#include "platform/console_backend.h"
#include "runtime/error.h"
#include "runtime/progress.h"
#include "runtime/uibackend.h"
#include "runtime/window.h"
#include "runtime_fixture.h"

using namespace vk;

namespace {

struct ConsoleTest : RuntimeTest {
  void SetUp() override {
    RuntimeTest::SetUp();
    if (HasFatalFailure()) return;
    ConsoleUiInstall();
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    ConsoleUiRelease();
    UiSetBackend(nullptr);
  }
};

TEST_F(ConsoleTest, TheProgressBarIsDrawnOnStandardError) {
  testing::internal::CaptureStderr();
  ASSERT_EQ(ProgressOpen(0, 4), 0);
  for (int i = 0; i < 4; ++i) ASSERT_EQ(ProgressUpdate(4, 1, L("")), 0);
  ProgressClose();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("\rProceso en progreso..... [#######.......................]  25%"), std::string::npos) << err;
  EXPECT_NE(err.find("[##############################] 100%\n"), std::string::npos) << err;
  // One drawing per change, not per call.
  ProgressOpen(0, 1000);
  testing::internal::CaptureStderr();
  ProgressUpdate(1000, 1, L(""));
  ProgressUpdate(1000, 1, L(""));
  const std::string same = testing::internal::GetCapturedStderr();
  EXPECT_EQ(same.find('\r'), same.rfind('\r')) << same;
  ProgressClose();
}

TEST_F(ConsoleTest, MessageBoxesPrintAndAnswerTheirDefaultButton) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MsgBoxAsk(L("\xBF" "Seguro? \xFC"), L(""), kMsgBoxYesNo), u16{'S'});
  EXPECT_EQ(MsgBoxAsk(L("Fallo"), L("Error"), kMsgBoxRetryCancel), u16{'S'});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Solicitud de Informacion: \xC2\xBFSeguro? \xC3\xBC\nError: Fallo\n");
}

TEST(FirstAnswer, EachButtonSetAnswersItsFirstButton) {
  EXPECT_EQ(UiMbFirstAnswer(kUiMbOk | kUiMbIconInfo), kUiAnswerOk);
  EXPECT_EQ(UiMbFirstAnswer(kUiMbOkCancel), kUiAnswerOk);
  EXPECT_EQ(UiMbFirstAnswer(kUiMbAbortRetryIgnore | kUiMbIconError), kUiAnswerAbort);
  EXPECT_EQ(UiMbFirstAnswer(kUiMbYesNoCancel), kUiAnswerYes);
  EXPECT_EQ(UiMbFirstAnswer(kUiMbYesNo | kUiMbIconQuestion), kUiAnswerYes);
  EXPECT_EQ(UiMbFirstAnswer(kUiMbRetryCancel), kUiAnswerRetry);
  EXPECT_EQ(UiMbFirstAnswer(0x0F), kUiAnswerOk);  // an unknown set: Ok
}

TEST_F(ConsoleTest, FileDialogsAreCancelled) { EXPECT_EQ(S(FileDlgByKind(0, 2)), ""); }

volatile std::sig_atomic_t g_previous_calls = 0;
void Previous(int) { g_previous_calls = g_previous_calls + 1; }

TEST_F(ConsoleTest, CtrlCCancelsWhileTheWindowIsOpen) {
  std::signal(SIGINT, Previous);
  testing::internal::CaptureStderr();
  ProgressOpen(0, 10);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), 0);
  std::raise(SIGINT);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), kErrCancelled);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), kErrCancelled);
  ProgressClose();
  testing::internal::GetCapturedStderr();
  // Closed: Ctrl-C belongs to whoever had it before.
  struct sigaction now;
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, Previous);
  ProgressOpen(0, 10);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), 0);
  // A second Ctrl-C before the next pump goes to the previous handler.
  std::raise(SIGINT);
  std::raise(SIGINT);
  EXPECT_EQ(g_previous_calls, 1);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), kErrCancelled);
  ProgressClose();
  EXPECT_EQ(g_previous_calls, 1);
}

TEST_F(ConsoleTest, TextModePrintsEachLine) {
  testing::internal::CaptureStderr();
  ProgressText(L("Leyendo\r\n\xE1rbol"));
  ProgressClose();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Leyendo\narbol\n");
}

}  // namespace
