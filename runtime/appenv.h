// The application environment: the identity entries of variable group 0
// (command line, name, description, language, folders, database settings),
// the derived application folders, and the expansion of %NAME% macros in
// paths and texts from those folders, the environment and the identity.
// Library start-up (AppStartup) stores the command line as entry 1.
//
// Every text result is one new scratch entry (or an error slice). Macro
// expansion works from the left and continues after each inserted value: a
// value is never searched for macros again, so expansion always ends.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Entries of the identity group (variable group 0).
enum : u16 {
  kIdCommandLine = 1,
  kIdAppNames = 2,      // ':' list; its first item's first two characters
  kIdDescription = 3,
  kIdLanguage = 4,      // one of "EN,ES,FR,DE,IT"
  kIdDefaultFolder = 5, // a folder, or a comma list of folders
  kIdDocsFolder = 6,
  kIdHelpFolder = 7,
  kIdFuncNames = 8,     // the interpreter's built-in function names
  kIdRunMacros = 9,     // the macro value text of a generation run
  kIdDatabase = 11,     // comma list: host, database name, user, password
};

// AppPath numbers (items of the path-name list).
enum : u16 {
  kAppPathRun = 1,
  kAppPathDefault = 2,
  kAppPathData = 3,
  kAppPathDocs = 4,
  kAppPathHelp = 5,
  kAppPathBackup = 6,
  kAppPathBackRel = 7,
};

// AppRunPath flags.
enum : u16 {
  kRunPathArgument = 1,  // field 2 of the command line; a "/" switch is none
  kRunPathFolder = 2,    // only the drive and folder of the field
};

// The first drive letter that counts as "high" in AppRunDriveHigh ('F').
constexpr u8 kHighDriveLetter = 70;

// The start callback: called with the instance handle; non-zero ends the
// start-up with that code before anything is stored.
using AppStartHook = u16 (*)(void* instance);

// Keeps the instance handle, calls the hook (when given) and then stores the
// command line rebuilt from argv as identity entry 1 (AppCommandLineStore).
// argc 0 stores nothing. Returns the hook's or the store's code, else 0.
[[nodiscard]] u16 AppStartup(void* instance, int argc, const char* const* argv, AppStartHook hook);
// The instance handle that AppStartup keeps (null before it ran).
void* AppInstance();

// The command line as the program would have been handed it: the running
// executable in library form, then each argument (UTF-8 made 8-bit), joined
// by one blank; an item holding a blank or tab is put in double quotes.
StrSlice AppCommandLineBuild(int argc, const char* const* argv);
// Reduces every quote-blank-blank-quote of line to quote-blank-quote and
// stores the result as identity entry 1; the store's code.
[[nodiscard]] u16 AppCommandLineStore(StrSlice line);

// Field 1 (field 2 with kRunPathArgument) of the command line, trimmed and
// unquoted; with kRunPathFolder only its drive and folder.
StrSlice AppRunPath(u16 flags);
// True when the run path's drive letter is 'F' or above (lower case always).
bool AppRunDriveHigh();
// The application folder k (1-7), the empty text for any other k.
StrSlice AppPath(u16 k);

// Path, environment and identity macros of text expanded.
StrSlice AppExpandPaths(StrSlice text);
// Every %NAME% of text replaced by its identity or database value, or by
// the empty text.
StrSlice AppIdentityMacros(StrSlice text);

// The value of a named parameter of the command line (StrGetParam rules:
// a quoted value keeps its case, an unquoted one comes back upper-cased).
// When the name as given finds nothing it is looked up once more in the
// other letter case: wholly upper-cased when its first byte is a lower-case
// letter or above ('a' and up, read as a signed byte), else wholly
// lower-cased. A mixed-case spelling is found only as written.
StrSlice CmdLineParam(StrSlice name);

}  // namespace vk
