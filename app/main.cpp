// The program's entry: the application object's start, with the Qt window
// when the build has one.
#include <csignal>

#include "app/application.h"
#include "runtime/ossignal.h"
#ifdef VK_APP_WITH_QT
#include "app/qt_dialogs.h"
#endif

int main(int argc, char** argv) {
  // Before anything changes them: a signal ignored by whoever started the
  // program (nohup, a background job) stays ignored.
  vk::OsStopNoteStart();
  // A file-size limit (ulimit -f) would end the process at the first write
  // past it; ignored, such a write fails instead, and the run reports it
  // as it reports a full disk, leaving every page whole.
  std::signal(SIGXFSZ, SIG_IGN);
#ifdef VK_APP_WITH_QT
  return vk::InitInstance(argc, argv, vk::QtRunMainDialog);
#else
  return vk::InitInstance(argc, argv, nullptr);
#endif
}
