// The console user-interface backend, for a run without a display: windows
// are records, a progress bar is one line of text on standard error
// (redrawn in place when that is a terminal; elsewhere written once, as it
// ends), message boxes print their caption and text there, their lines
// ended by LF, and answer with their default (first) button, file dialogs
// are cancelled. While a window
// of the library is open, Ctrl-C and (when standard input is a terminal)
// Esc reach that window as the Esc key, so the progress window's cancel
// works; closing the last window gives both back.
#pragma once
#include "runtime/uibackend.h"

namespace vk {

// Resets the backend and installs it.
void ConsoleUiInstall();
// Gives back the terminal mode and the Ctrl-C handler if a window still
// holds them (also done at exit).
void ConsoleUiRelease();

}  // namespace vk
