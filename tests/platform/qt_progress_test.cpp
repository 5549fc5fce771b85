// The progress window through the Qt backend, offscreen: a real
// QProgressBar, Cancel clicked through the window system, the modal loop
// that keeps Cancel clickable while a run runs inside a button handler.
#include <QDialog>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QWindow>

#include "qt_fixture.h"
#include "runtime/error.h"
#include "runtime/progress.h"

using namespace vk;

namespace {

QWidget* ProgressWidget() { return UiQtWidget(ProgressStateGet()->window); }

QPushButton* CancelButton() {
  QWidget* w = ProgressWidget();
  return w ? w->findChild<QPushButton*>() : nullptr;
}

// A click as the window system delivers it, so a window blocked by a modal
// dialog would not receive it.
void ClickThroughTheWindow(QPushButton* button) {
  QWidget* top = button->window();
  ASSERT_NE(top->windowHandle(), nullptr);
  const QPoint at = button->mapTo(top, button->rect().center());
  QTest::mouseClick(top->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

TEST_F(QtUiTest, ProgressWindowHasARealBarAndCancel) {
  ASSERT_EQ(ProgressOpen(0, 300000), 0);
  QWidget* w = ProgressWidget();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->isVisible());
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Proceso en progreso....."));
  EXPECT_EQ(w->width(), 440);
  auto* bar = w->findChild<QProgressBar*>();
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->geometry(), QRect(20, 10, 400, 17));
  ASSERT_NE(CancelButton(), nullptr);
  EXPECT_EQ(CancelButton()->text(), QStringLiteral("Cancelar"));

  for (int i = 0; i < 4; ++i) ASSERT_EQ(ProgressUpdate(300000, 100, L("")), 0);
  EXPECT_EQ(bar->maximum(), 37500);
  EXPECT_EQ(bar->value(), 50);

  ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
  ClickThroughTheWindow(CancelButton());
  EXPECT_EQ(ProgressUpdate(300000, 100, L("")), kErrCancelled);
  EXPECT_EQ(ProgressUpdate(300000, 100, L("")), kErrCancelled);
  ProgressClose();
  EXPECT_EQ(ProgressWidget(), nullptr);
  ASSERT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), 0);
  ProgressClose();
}

// Esc anywhere in the window cancels; Return and keypad Enter press
// Cancel when it has the focus, as in any dialog, and nothing elsewhere.
TEST_F(QtUiTest, EscOrReturnOnCancelCancels) {
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    bool on_cancel;
    u16 expected;
  } cases[] = {
      {Qt::Key_Escape, Qt::NoModifier, false, kErrCancelled},
      {Qt::Key_Return, Qt::NoModifier, true, kErrCancelled},
      {Qt::Key_Enter, Qt::KeypadModifier, true, kErrCancelled},
      {Qt::Key_Return, Qt::NoModifier, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.key << (c.on_cancel ? " on Cancel" : " on the window"));
    ASSERT_EQ(ProgressOpen(0, 10), 0);
    QWidget* target = ProgressWidget();
    if (c.on_cancel) {
      CancelButton()->setFocus();
      target = CancelButton();
    } else {
      target->setFocus();
    }
    QTest::keyClick(target, c.key, c.modifiers);
    EXPECT_EQ(ProgressUpdate(10, 1, L("")), c.expected);
    ProgressClose();
  }
}

// A run from a button of a dialog that UiQtRunModal runs, as the program's
// main dialog runs: the progress window belongs to that dialog (the window
// system keeps it above it, however the dialog is clicked), and its Cancel
// and its close box both stay usable and end the run.
TEST_F(QtUiTest, CancelAndTheCloseBoxStayUsableDuringARunInsideAModalDialog) {
  const struct {
    const char* way;
    void (*cancel)(QWidget* progress);
  } ways[] = {
      {"Cancel", [](QWidget*) { ClickThroughTheWindow(CancelButton()); }},
      // What the window manager sends for the close box.
      {"close box", [](QWidget* progress) { progress->windowHandle()->close(); }},
  };
  for (const auto& c : ways) {
    QDialog dialog;
    auto* start = new QPushButton(QStringLiteral("Start"), &dialog);
    int steps = 0;
    u16 result = 0;
    const QWindow* transient_parent = nullptr;
    QObject::connect(start, &QPushButton::clicked, [&] {
      EXPECT_EQ(ProgressOpen(0, 0), 0);
      Soon([&] {
        QWidget* progress = ProgressWidget();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(progress));
        transient_parent = progress->windowHandle()->transientParent();
        c.cancel(progress);
      });
      while (steps < 100000 && (result = ProgressUpdate(0, 1, L(""))) == 0) ++steps;
      ProgressClose();
      UiQtEndModal(&dialog, 7);
    });
    Soon([start] { start->click(); });
    EXPECT_EQ(UiQtRunModal(&dialog), 7) << c.way;
    EXPECT_EQ(transient_parent, dialog.windowHandle()) << c.way;
    EXPECT_EQ(result, kErrCancelled) << c.way;
    EXPECT_LT(steps, 100000) << c.way;
    EXPECT_FALSE(dialog.isVisible()) << c.way;
  }
}

TEST_F(QtUiTest, ModalRunEndsWhenTheDialogIsDone) {
  QDialog dialog;
  Soon([&] { dialog.accept(); });
  EXPECT_EQ(UiQtRunModal(&dialog), QDialog::Accepted);
  Soon([&] { dialog.close(); });
  EXPECT_EQ(UiQtRunModal(&dialog), QDialog::Rejected);
}

TEST_F(QtUiTest, TheProgressWindowsCloseBoxCancels) {
  EXPECT_EQ(ProgressOpen(0, 10), 0);
  const UiWindow window = ProgressStateGet()->window;
  ProgressWidget()->close();  // what Alt+F4 or the close box asks for
  EXPECT_NE(UiQtWidget(window), nullptr);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), kErrCancelled);
  EXPECT_TRUE(UiBackendGet()->is_window(window));
  ProgressClose();
  EXPECT_FALSE(UiBackendGet()->is_window(window));
  ASSERT_EQ(ProgressOpen(0, 10), 0);
  EXPECT_EQ(ProgressUpdate(10, 1, L("")), 0);
  ProgressClose();
}

}  // namespace
