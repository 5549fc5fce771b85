// The Qt 6 Widgets user-interface backend: the library's windows are
// widgets (a progress bar is a QProgressBar, a button a QPushButton),
// message boxes are QMessageBox, file dialogs QFileDialog. The pump is
// QCoreApplication::processEvents, so every window of the program keeps
// reacting while a long operation pumps.
//
// Text boundary: library text arrives widened one byte to one unit and is
// shown as Latin-1; a chosen file comes back in library form ('/' becomes
// '\', UTF-8 becomes Latin-1), and a choice holding a character outside
// Latin-1 counts as cancelled. A file dialog leaves the current directory
// as it was; the next one opens in the folder of the last file chosen.
//
// Modality: a dialog run through QDialog::exec() blocks input to every
// window outside its own family, the progress window's Cancel included.
// UiQtRunModal runs a dialog the way the window framework ran its modal
// dialogs instead: show() and a local event loop until the dialog is done.
//
// Ownership: a window, message box or file dialog stays above the window
// it belongs to (its transient parent): the library's owner when it names
// one, else the innermost dialog UiQtRunModal runs, else the active window.
// A top-level window of the library is no Qt child of its owner, so it is
// not disabled with it; destroying the owner destroys it.
#pragma once
#include "runtime/uibackend.h"

class QWidget;

namespace vk {

// Whether Qt can open its platform here (the display that DISPLAY or
// WAYLAND_DISPLAY names, or QT_QPA_PLATFORM's). Qt ends a process whose
// platform cannot be opened, so this is tried in a child process that is
// thrown away, before this process makes its QApplication. program is the
// name the child gives Qt.
bool UiQtPlatformUsable(const char* program);
// Installs the backend. A QApplication must exist for as long as it is used.
void UiQtInstall();
// Destroys every window still open and deletes the widgets now.
void UiQtShutdown();
// The widget of a live window, null when it is gone.
QWidget* UiQtWidget(UiWindow window);
// Return and keypad Enter (key, a Qt::Key) press the push button that has
// the focus in window, as in any dialog: true when one was pressed.
bool UiQtPressFocusedButton(QWidget* window, int key);

// Shows dialog and runs a local event loop until UiQtEndModal(dialog, r)
// (the result is r), until the dialog is hidden or closed otherwise (a
// QDialog's own result, else -1), or until it is destroyed (-1). Closing the
// last window does not end the application meanwhile.
int UiQtRunModal(QWidget* dialog);
void UiQtEndModal(QWidget* dialog, int result);

}  // namespace vk
