// The program's Qt windows: the main dialog (its controls are the view of
// a CVellumcraftDlg) and the about box. The main dialog runs as the window
// framework ran its modal dialogs, shown with a local event loop, so the
// progress window of a run stays usable. The about box opens from the
// dialog's context menu and from F1.
#pragma once
#include "app/maindlg.h"
#include "app/options.h"

class QDialog;
class QIcon;
class QWidget;

namespace vk {

// The application's icon, drawn (the program carries no image files).
QIcon AppIcon();
// The about box: caption "Acerca de Vellumcraft", the icon, the version
// line, the rights notice and "Aceptar".
QDialog* CAboutDlgCreate(QWidget* parent);
// Opens the about box for a system command 0x10 (low four bits ignored);
// false for any other command.
bool OnSysCommand(QWidget* parent, u32 command);

// The main dialog's window for dlg: its controls are made (each named by
// its control id), bound as dlg's view and filled by OnInitDialog. The
// caller deletes it; dlg then has no view.
QDialog* QtMainDlgCreate(CVellumcraftDlg* dlg);
// The program's window runner: a QApplication, the Qt backend, the main
// dialog with the options applied, until the user closes it; kAppNoWindow
// when Qt cannot open its platform (a display that cannot be reached).
[[nodiscard]] int QtRunMainDialog(CVellumcraftDlg* dlg, AppOptions* options, int argc, char** argv);

}  // namespace vk
