// The program's entry: the application object's start, with the Qt window
// when the build has one.
#include "app/application.h"
#ifdef VK_APP_WITH_QT
#include "app/qt_dialogs.h"
#endif

int main(int argc, char** argv) {
#ifdef VK_APP_WITH_QT
  return vk::InitInstance(argc, argv, vk::QtRunMainDialog);
#else
  return vk::InitInstance(argc, argv, nullptr);
#endif
}
