// A stop request (SIGTERM or SIGHUP) during a run inside the modal dialog,
// as the program's window runs it, offscreen: nobody is left to answer, so
// nothing may wait on the user.
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <csignal>

#include "qt_fixture.h"
#include "runtime/error.h"
#include "runtime/ossignal.h"
#include "runtime/progress.h"
#include "runtime/window.h"

using namespace vk;

namespace {

// The signal arrives while a box of the run waits for an answer: the box
// closes with its first button, the next step stops the run, the box after
// the run answers at once, and the dialog's loop ends by itself.
TEST_F(QtUiTest, AStopClosesTheBoxesAndEndsTheModalRunAfterTheRun) {
  // Ignored before the watch: a signal that came too early fails the test
  // instead of ending the test program.
  std::signal(SIGTERM, SIG_IGN);
  QDialog dialog;
  auto* start = new QPushButton(QStringLiteral("Start"), &dialog);
  u16 during = 0, result = 0, after = 0;
  QObject::connect(start, &QPushButton::clicked, [&] {
    EXPECT_EQ(ProgressOpen(0, 10), 0);
    EXPECT_EQ(ProgressUpdate(10, 1, L("")), 0);
    Soon([] { std::raise(SIGTERM); });
    during = MsgBoxAsk(L("Seguir?"), L(""), kMsgBoxYesNo);
    result = ProgressUpdate(10, 1, L(""));
    ProgressClose();
    after = MsgBoxAsk(L("Cancelado"), L(""), kMsgBoxOkCancel);
  });
  Soon([start] { start->click(); });
  // What nobody would do: a box or a dialog still up after 5 s fails the
  // test rather than hanging it.
  QTimer::singleShot(5000, &dialog, [&dialog] {
    if (auto* box = Modal<QMessageBox>()) box->reject();
    UiQtEndModal(&dialog, 7);
  });
  EXPECT_EQ(UiQtRunModal(&dialog), QDialog::Rejected);
  EXPECT_EQ(OsStopRequested(), SIGTERM);
  EXPECT_EQ(during, u16{'S'});  // Yes: a box closed otherwise answers Cancel
  EXPECT_EQ(result, kErrCancelled);
  EXPECT_EQ(after, u16{'S'});
  EXPECT_FALSE(dialog.isVisible());
  OsStopWatchEnd();
  std::signal(SIGTERM, SIG_DFL);
}

}  // namespace
