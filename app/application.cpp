#include "app/application.h"

#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "app/consoledlg.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/memory.h"
#include "runtime/ossignal.h"
#include "script/variables.h"

namespace vk {

namespace {

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// The one line that says why the program runs without a window although a
// display is named.
void SayNoWindow() {
  std::fputs("vellumcraft: no window can be opened (", stderr);
  const char* sep = "";
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    if (!EnvSet(name)) continue;
    std::fprintf(stderr, "%s%s=%s", sep, name, std::getenv(name));
    sep = ", ";
  }
  std::fputs(" cannot be reached); running without one\n", stderr);
}

}  // namespace

u16 AppLibraryStart(int argc, const char* const* argv) {
  // The scratch stack's size must be set before the library starts.
  MemSetLimits(kAppScratchKB, kKeepLimit, kKeepLimit);
  return AppStartup(nullptr, argc, argv, SysVarInit);
}

bool AppHasDisplay() { return EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY"); }

int InitInstance(int argc, char** argv, AppWindowRunner window) {
  AppOptions options;
  if (AppParseOptions(argc, argv, &options) != kExitOk) {
    AppOptionsRefused(&options);
    return kExitBadOptions;
  }
  if (options.help) {
    std::fputs(kAppUsage, stdout);
    return kExitOk;
  }
  CVellumcraftDlg dlg;
  DlgConstruct(&dlg, nullptr);
  const u16 rc = AppLibraryStart(argc, argv);
  if (rc != 0) {
    const StrSlice name = ErrCodeName(rc);
    std::fprintf(stderr, "vellumcraft: the run-time library could not start (code %u, %.*s)\n",
                 static_cast<unsigned>(rc), static_cast<int>(name.ptr ? name.len : 0), name.ptr ? name.ptr : "");
    return kExitRunError;
  }
  const bool use_window = window && !options.no_window && AppHasDisplay();
  int status = use_window ? window(&dlg, &options, argc, argv) : kAppNoWindow;
  if (status == kAppNoWindow) {
    if (use_window) SayNoWindow();
    status = DlgRunConsole(&dlg, &options);
  }
  // A run that a signal stopped ends the program, the window too (its
  // dialog closes after the run), with the status of a run that failed. A
  // signal after the run's end also closes the window, but the run
  // finished: its status stands.
  if (OsStopStopped() && status == kExitOk) status = kExitRunError;
  // The process ends with the run's status; what could not be released goes with it.
  (void)VarShutdown();
  return status;
}

}  // namespace vk
