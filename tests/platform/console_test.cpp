// The console backend: the progress bar and message boxes on standard
// error, Ctrl-C as a cancel while the progress window is open.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

#include "platform/console_backend.h"
#include "runtime/error.h"
#include "runtime/ossignal.h"
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

// Runs steps and returns what reached standard error, which is a terminal
// (a pseudo-terminal in raw mode, so that its bytes come back unchanged)
// or a file. Where no pseudo-terminal can be opened (no /dev/pts in a
// chroot or a build container) the steps do not run and *no_terminal says
// why.
std::string StandardErrorOf(bool terminal, std::string* no_terminal, const std::function<void()>& steps) {
  if (!terminal) {
    testing::internal::CaptureStderr();
    steps();
    return testing::internal::GetCapturedStderr();
  }
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  const int slave =
      master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0 ? open(ptsname(master), O_RDWR | O_NOCTTY) : -1;
  if (slave < 0) {
    *no_terminal = std::string("no pseudo-terminal can be opened: ") + std::strerror(errno);
    if (master >= 0) close(master);
    return "";
  }
  termios raw;
  tcgetattr(slave, &raw);
  cfmakeraw(&raw);
  tcsetattr(slave, TCSANOW, &raw);
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(slave, STDERR_FILENO);
  steps();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(slave);
  fcntl(master, F_SETFL, O_NONBLOCK);
  std::string out;
  char buf[256];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) out.append(buf, static_cast<size_t>(n));
  close(master);
  return out;
}

// On a terminal the bar is redrawn in place at every change (not at every
// call); anywhere else it writes one line, its last frame, when it ends.
TEST_F(ConsoleTest, TheProgressBarIsDrawnOnATerminalAndWrittenOnceElsewhere) {
  const std::string title = "Proceso en progreso..... ";
  const auto frame = [&](size_t cells, const char* percent) {
    return title + "[" + std::string(cells, '#') + std::string(30 - cells, '.') + "] " + percent;
  };
  const struct {
    bool terminal;
    std::string printed;
  } cases[] = {
      {true, "\r" + frame(7, " 25%") + "\r" + frame(15, " 50%") + "\r" + frame(22, " 75%") + "\r" + frame(30, "100%") +
                 "\n"},
      {false, frame(30, "100%") + "\n"},
  };
  std::string no_terminal;
  for (const auto& c : cases) {
    const std::string printed = StandardErrorOf(c.terminal, &no_terminal, [] {
      ASSERT_EQ(ProgressOpen(0, 4), 0);
      for (int i = 0; i < 8; ++i) ASSERT_EQ(ProgressUpdate(4, static_cast<u16>(i % 2), L("")), 0);
      ProgressClose();
    });
    if (c.terminal && !no_terminal.empty()) continue;
    EXPECT_EQ(printed, c.printed) << (c.terminal ? "terminal" : "file");
  }
  if (!no_terminal.empty()) GTEST_SKIP() << "the terminal case: " << no_terminal;
}

TEST_F(ConsoleTest, MessageBoxesPrintAndAnswerTheirDefaultButton) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(MsgBoxAsk(L("\xBF" "Seguro? \xFC"), L(""), kMsgBoxYesNo), u16{'S'});
  EXPECT_EQ(MsgBoxAsk(L("Fallo"), L("Error"), kMsgBoxRetryCancel), u16{'S'});
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Solicitud de Informacion: \xC2\xBFSeguro? \xC3\xBC\nError: Fallo\n");
}

// A console line ends in LF: the library's CR LF and lone CR inside a
// message become LF, and no CR reaches standard error.
TEST_F(ConsoleTest, MessageLinesEndInLf) {
  const struct {
    const char* text;
    const char* printed;
  } cases[] = {
      {"Error Fichero no encontrado: a.html\r\n/site/index.html",
       "Aviso: Error Fichero no encontrado: a.html\n/site/index.html\n"},
      {"uno\r\n", "Aviso: uno\n\n"},
      {"uno\rdos\ntres\r\n\r\ncuatro", "Aviso: uno\ndos\ntres\n\ncuatro\n"},
      {"", "Aviso: \n"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStderr();
    MsgBoxAsk(L(c.text), L("Aviso"), kMsgBoxWarning);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.printed) << c.text;
  }
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
  EXPECT_EQ(ProgressOpen(0, 10), 0);
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
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), 0);
  // A second Ctrl-C before the next pump goes to whoever had it before,
  // in a run the stop watch: the run still ends cleanly, and the program
  // after it.
  std::raise(SIGINT);
  std::raise(SIGINT);
  EXPECT_EQ(g_previous_calls, 0);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), kErrCancelled);
  ProgressClose();
  EXPECT_EQ(OsStopRequested(), SIGINT);
  OsStopWatchEnd();
  sigaction(SIGINT, nullptr, &now);
  EXPECT_EQ(now.sa_handler, Previous);
  EXPECT_EQ(g_previous_calls, 0);
  std::signal(SIGINT, SIG_DFL);
}

TEST_F(ConsoleTest, TextModePrintsEachLine) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(ProgressText(L("Leyendo\r\n\xE1rbol")), 0);
  ProgressClose();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Leyendo\narbol\n");
}

}  // namespace
