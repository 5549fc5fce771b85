// Application identity, derived folders and %NAME% macro expansion.
#include "runtime/appenv.h"

#include <cstring>

#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/osproc.h"
#include "runtime/ostext.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"

namespace vk {

namespace {

// Name lists, matched exactly (the environment names also without regard to
// case).
constexpr char kPathNames[] =
    "APPPATH_RUNPATH,APPPATH_DEFAULT,APPPATH_DATA,APPPATH_DOCS,APPPATH_HELP,"
    "APPPATH_BACKUP,APPPATH_BACKREL";
constexpr char kEnvNames[] =
    "ALLUSERSPROFILE,APPDATA,CommonProgramFiles,HOMEDRIVE,HOMEPATH,ProgramFiles,"
    "SYSTEMDRIVE,SystemRoot,TEMP,USERPROFILE";
constexpr char kIdentityNames[] =
    "COMMANDLINE,APNAME,APDESCRIP,LANGMODULE.DOCPATH,DATAPATH,HELPPATH";
constexpr char kDatabaseNames[] =
    "DATABASE_HOST,DATABASE_DBNAME,DATABASE_USER,DATABASE_PASSW";

// Identity entry of each identity name, by list position. HELPPATH gives the
// help folder, the same entry AppPath uses for it.
constexpr u16 kIdentityEntryOf[] = {0, kIdCommandLine, kIdAppNames, kIdDescription,
                                    kIdLanguage, kIdDefaultFolder, kIdHelpFolder};
constexpr u16 kIdAppNameItem = 2;
constexpr u16 kAppShortNameLen = 2;

constexpr char kMacroChar = '%';
constexpr u16 kMacroFrame = 2;  // the two '%' around a name

void* g_instance = nullptr;

StrSlice Identity(u16 entry) { return StoreGet(kGroupIdentity, entry); }

// The first macro at or after from: the name between a '%' and the next one.
bool FindMacro(StrSlice text, u16 from, u16* at, StrSlice* name) {
  u16 a = StrFindCharFrom(text, from, kMacroChar, kPlain);
  if (a == kNotFound) return false;
  u16 b = StrFindCharFrom(text, static_cast<u16>(a + 1), kMacroChar, kPlain);
  if (b == kNotFound) return false;
  *at = a;
  *name = StrMake(text.ptr + a + 1, static_cast<u32>(b - a - 1));
  return true;
}

// One new entry: text with cut bytes at `at` replaced by value; 146 when the
// result would pass 65535 bytes.
StrSlice Splice(StrSlice text, u16 at, u16 cut, StrSlice value) {
  if (StrError(value)) return value;
  const u16 after = static_cast<u16>(at + cut);
  const StrSlice parts[] = {StrMake(text.ptr, at), value, StrMake(text.ptr + after, text.len - after)};
  const u16 err = WorkPushTexts(parts, 3);
  if (err == kErrStringTooLong) return ErrSlice(kErrFirst, kWhereReplace, err, StrErrorSlice(err));
  return err ? StrErrorSlice(err) : WorkTop();
}

// Item k of the database settings, normalised.
StrSlice DatabaseItem(u16 k) {
  return StrNormalize(ListItem(Identity(kIdDatabase), ',', k));
}

// The identity or database value of a macro name; the empty text for any
// other name. May point into the store or be a new scratch entry.
StrSlice IdentityValue(StrSlice name) {
  u16 k = ListFind(Lit(kIdentityNames), name, ',');
  if (k == kIdAppNameItem) {
    return StrMid(ListItem(Identity(kIdAppNames), ':', 1), 0, kAppShortNameLen);
  }
  if (k) return Identity(kIdentityEntryOf[k]);
  k = ListFind(Lit(kDatabaseNames), name, ',');
  if (k) return DatabaseItem(k);
  return kStrEmpty;
}

// Identity expansion of text from position pos on; each inserted value is
// skipped, so a value holding its own macro is not expanded again. Returns
// the text as the entry directly above mark m (or an error slice).
StrSlice ExpandIdentityFrom(WorkMarkId m, StrSlice text, u16 pos) {
  u16 at;
  StrSlice name;
  while (!StrError(text) && FindMacro(text, pos, &at, &name) && name.len) {
    StrSlice value = IdentityValue(name);
    StrSlice next = Splice(text, at, static_cast<u16>(name.len + kMacroFrame), value);
    pos = static_cast<u16>(at + (StrError(value) ? 0 : value.len));
    text = WorkReturn(m, next);
  }
  return text;
}

// Environment names compared in lower case: the item number, 0 when absent.
u16 EnvNameFindNoCase(StrSlice name) {
  WorkMarkId m = WorkMark(kMarkQuery);
  u16 k = ListFind(StrCase(Lit(kEnvNames), kLower), StrCase(name, kLower), ',');
  WorkMark(m);
  return k;
}

// acc + (a blank unless first) + item, the item in double quotes when it
// holds a blank or a tab; 146 past 65535 bytes. Quoted whole, a request
// parameter (name=value, no option) could not be found by its name, so
// its value is quoted instead when it holds a blank or a tab or leaves a
// quote open (which would hide every argument after it).
StrSlice AppendArgument(StrSlice acc, StrSlice item, bool first) {
  if (StrError(acc)) return acc;
  if (StrError(item)) return item;
  const StrSlice blanks = Lit(" \t");
  const bool request = !first && item.len && item.ptr[0] != '-' && StrPairKeyEnd(item) != kNotFound;
  if (request) item = StrPairLineSeal(item, blanks);
  if (StrError(item)) return item;
  const bool spaced = StrFindAny(item, blanks, kPlain) != kNotFound;
  const u32 quote = spaced && !(request && StrParamReadsWhole(item, blanks)) ? 1 : 0;
  const WorkPiece pieces[] = {{acc.ptr, acc.len, 0}, {nullptr, first ? 0u : 1u, ' '}, {nullptr, quote, '"'},
                              {item.ptr, item.len, 0}, {nullptr, quote, '"'}};
  const u16 err = WorkPushPieces(pieces, 5);
  return err ? StrErrorSlice(err) : WorkTop();
}

}  // namespace

void* AppInstance() { return g_instance; }

StrSlice AppCommandLineBuild(int argc, const char* const* argv) {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice line = kStrEmpty;
  for (int i = 0; i < argc && !StrError(line); ++i) {
    StrSlice item;
    if (i == 0) {
      item = OsExePath();
      // Without /proc the program path as it was given is the best we have.
      if (!StrError(item) && item.len == 0 && argv[0]) item = OsPathFromUtf8(argv[0]);
    } else {
      item = argv[i] ? OsTextFromUtf8(argv[i]) : kStrEmpty;
    }
    line = WorkReturn(m, AppendArgument(line, item, i == 0));
  }
  return WorkReturn(m, line);
}

u16 AppCommandLineStore(StrSlice line) {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice reduced = StrReplace(line, Lit("\"  \""), Lit("\" \""), kPlain);
  u16 code = StoreSet(kGroupIdentity, kIdCommandLine, reduced);
  WorkMark(m);
  return code;
}

u16 AppStartup(void* instance, int argc, const char* const* argv, AppStartHook hook) {
  g_instance = instance;
  if (hook) {
    u16 code = hook(instance);
    if (code) return code;
  }
  if (argc <= 0 || !argv) return kOk;
  WorkMarkId m = WorkMark(kMarkQuery);
  u16 code = AppCommandLineStore(AppCommandLineBuild(argc, argv));
  WorkMark(m);
  return code;
}

StrSlice AppRunPath(u16 flags) {
  WorkMarkId m = WorkMark(kMarkQuery);
  u16 field = (flags & kRunPathArgument) ? 2 : 1;
  StrSlice path = ListItem(Identity(kIdCommandLine), ' ', field);
  path = StrUnquote(StrTrim(path, kTrimBoth));
  if ((flags & kRunPathArgument) && path.len && path.ptr[0] == '/') path = kStrEmpty;
  if (flags & kRunPathFolder) path = PathPart(path, kPartParent);
  return WorkReturn(m, path);
}

bool AppRunDriveHigh() {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice drive = PathPart(AppPath(kAppPathRun), kPartDrive);
  bool high = !StrError(drive) && drive.len && static_cast<u8>(drive.ptr[0]) >= kHighDriveLetter;
  WorkMark(m);
  return high;
}

StrSlice AppPath(u16 k) {
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice r = kStrEmpty;
  switch (k) {
    case kAppPathRun:
      r = AppRunPath(kRunPathFolder);
      break;
    case kAppPathDefault:
      r = Identity(kIdDefaultFolder);
      break;
    case kAppPathData: {
      StrSlice base = AppRunDriveHigh() ? Identity(kIdDefaultFolder) : AppPath(kAppPathDocs);
      r = PathCombine(base, Lit("..\\data"));
      break;
    }
    case kAppPathDocs:
      r = Identity(kIdDocsFolder);
      if (!r.len) r = DirCurrent();
      break;
    case kAppPathHelp:
      r = Identity(kIdHelpFolder);
      if (!r.len) r = PathCombine(Identity(kIdDefaultFolder), Lit("Help"));
      break;
    case kAppPathBackup:
      r = PathCombine(Identity(kIdDocsFolder), Lit("Backups"));
      break;
    case kAppPathBackRel:
      r = PathJoin(DirCurrent(), Lit("Backups"));
      r = PathJoin(r, DatabaseItem(1));
      r = PathJoin(r, DatabaseItem(2));
      break;
    default:
      break;
  }
  return WorkReturn(m, r);
}

StrSlice AppIdentityMacros(StrSlice text) {
  if (StrError(text)) return text;
  WorkMarkId m = WorkMark(kMarkQuery);
  return WorkReturn(m, ExpandIdentityFrom(m, text, 0));
}

StrSlice AppExpandPaths(StrSlice text) {
  if (StrError(text)) return text;
  WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice cur = text;
  u16 pos = 0;
  u16 at;
  StrSlice name;
  // Path and environment macros one at a time from the left; the first
  // macro that is neither hands the rest of the text to the identity
  // expansion, which also serves as the final pass.
  while (!StrError(cur) && FindMacro(cur, pos, &at, &name) && name.len) {
    StrSlice value;
    u16 k = ListFind(Lit(kPathNames), name, ',');
    if (k) {
      value = AppPath(k);
    } else if (ListFind(Lit(kEnvNames), name, ',') || EnvNameFindNoCase(name)) {
      value = EnvGet(name);
    } else {
      pos = at;
      break;
    }
    StrSlice next = Splice(cur, at, static_cast<u16>(name.len + kMacroFrame), value);
    pos = static_cast<u16>(at + (StrError(value) ? 0 : value.len));
    cur = WorkReturn(m, next);
  }
  if (!StrError(cur)) cur = ExpandIdentityFrom(m, cur, pos);
  return WorkReturn(m, cur);
}

StrSlice CmdLineParam(StrSlice name) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  StrSlice v = StrGetParam(StoreGet(kGroupIdentity, kIdCommandLine), name);
  if (v.ptr && v.len == 0 && name.ptr && name.len) {
    WorkMark(m);
    // Signed on purpose: bytes 0x80 and up count as below 'a'.
    const u16 mode = static_cast<signed char>(name.ptr[0]) >= 'a' ? kUpper : kLower;
    const StrSlice other = StrCase(name, mode);
    if (StrError(other)) return WorkReturn(m, other);
    v = StrGetParam(StoreGet(kGroupIdentity, kIdCommandLine), other);
  }
  return WorkReturn(m, v);
}

}  // namespace vk
