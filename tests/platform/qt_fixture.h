// A fixture for the Qt backend: the runtime started, a QApplication on the
// offscreen platform (set by the test's environment, or here when the test
// program runs by itself), the backend installed.
#pragma once
#include <stdlib.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "platform/qt_backend.h"
#include "runtime_fixture.h"

struct QtUiTest : RuntimeTest {
  std::unique_ptr<QApplication> app;
  int argc = 1;
  char name[8] = "vktest";
  char* argv[2] = {name, nullptr};

  void SetUp() override {
    RuntimeTest::SetUp();
    if (HasFatalFailure()) return;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    app = std::make_unique<QApplication>(argc, argv);
    vk::UiQtInstall();
  }
  void TearDown() override {
    RuntimeTest::TearDown();
    vk::UiQtShutdown();
    app.reset();
    vk::UiSetBackend(nullptr);
  }
};

// Runs action once the next (nested) event loop is running: how a test
// answers a modal box or dialog.
inline void Soon(std::function<void()> action) { QTimer::singleShot(0, std::move(action)); }

// The modal widget of the type, null when none is up.
template <typename W>
W* Modal() {
  return qobject_cast<W*>(QApplication::activeModalWidget());
}
