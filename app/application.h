// The program: start the library, run the main dialog (in a window, or
// through the console without a display or with --no-window), shut the
// library down. A library that fails to start ends the program at once
// with a one-line reason on standard error: no dialog, no shut-down.
#pragma once
#include "app/maindlg.h"
#include "app/options.h"

namespace vk {

// Runs the main dialog in a window until the user closes it; the exit
// status, or kAppNoWindow when no window can be opened here (nothing has
// been done then). The library is running and dlg constructed.
using AppWindowRunner = int (*)(CVellumcraftDlg* dlg, AppOptions* options, int argc, char** argv);
constexpr int kAppNoWindow = -1;

// The scratch stack the program asks for: 512 KB with 512 marks.
constexpr u16 kAppScratchKB = 512;

// Sets the scratch stack's size and starts the library (tracked memory,
// value tables, variable store, system variables), storing the command line
// as identity entry 1. 0, or the start's failure code.
[[nodiscard]] u16 AppLibraryStart(int argc, const char* const* argv);
// Whether a display is at hand (DISPLAY or WAYLAND_DISPLAY set).
bool AppHasDisplay();
// The whole program: options, start, the dialog (in a window through
// window when there is one and a display, else through the console; a
// display that cannot be reached is said in one line on standard error,
// and the console runs the dialog), shut-down. The exit status.
[[nodiscard]] int InitInstance(int argc, char** argv, AppWindowRunner window);

}  // namespace vk
