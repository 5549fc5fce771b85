// The main dialog without a window: the console backend shows message
// boxes and the progress bar on standard error, the dialog's controls are
// plain records filled by the dialog and then by the options, "Start" is
// pressed once and the counts go to standard output as "Written: N" and
// "Avoids: N".
#pragma once
#include "app/maindlg.h"
#include "app/options.h"

namespace vk {

// Runs the dialog once; the exit status (kExitOk, kExitRunError when the
// run reported an error or was refused, kExitBadOptions).
[[nodiscard]] int DlgRunConsole(CVellumcraftDlg* dlg, AppOptions* options);

}  // namespace vk
