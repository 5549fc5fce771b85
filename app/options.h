// The program's options. They fill the main dialog's controls after the
// dialog has filled them itself (the paths from "config.txt"); without a
// window, "Start" is then pressed once. Each value follows as the next
// argument or after '='. Arguments that are no options (key=value pairs,
// say) stay on the command line for the pages' request parameters.
#pragma once
#include "app/maindlg.h"
#include "runtime/slice.h"

namespace vk {

// Exit statuses of a run without a window.
enum : int {
  kExitOk = 0,
  kExitRunError = 1,   // the run reported an error, or could not start
  kExitBadOptions = 2,
};

constexpr u16 kOptionErrorMax = 256;

struct AppOptions {
  bool no_window;
  bool help;
  const char* frame;   // null when not given (UTF-8, as on the command line)
  const char* tree;
  const char* values;
  bool lang_given;
  u16 lang_mask;       // bit 0 English ... bit 4 Italian
  i16 overwrite;       // -1 not given, 0 --no-overwrite, 1 --overwrite
  const char* window;  // the time-window label of --overwrite
  bool deletion;
  char error[kOptionErrorMax];  // why the options are unusable
};

// The usage text; it names every time-window label --overwrite accepts.
extern const char* const kAppUsage;

// Says on standard error why the options are unusable (options->error),
// then the usage: the same for every option the program refuses.
void AppOptionsRefused(const AppOptions* options);

// Reads the options. kExitOk, or kExitBadOptions with error set.
[[nodiscard]] int AppParseOptions(int argc, const char* const* argv, AppOptions* out);

// AppWindowIndex's answer for a text that is no time-window label.
constexpr i16 kAppWindowUnknown = -2;
// The time-window labels as every refusal of an unknown one lists them:
// in quotes, separated by ", ", "All Files" with its short name "all".
extern const char* const kAppWindowLabels;
// The time-window selection of a label, as --overwrite and the window's
// typed text take it: "all" (any case) and "All Files" give 0, another
// label its place in the combo's list (ASCII case ignored);
// kAppWindowUnknown when no label matches.
i16 AppWindowIndex(StrSlice label);
i16 AppWindowIndex(const char* label);
// Sets the dialog's members and combo from the options and shows them.
// kExitOk, or kExitBadOptions (an unknown time window) with error set.
[[nodiscard]] int AppApplyOptions(CVellumcraftDlg* dlg, AppOptions* options);

}  // namespace vk
