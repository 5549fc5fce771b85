#include "sitegen/genrun.h"

#include <bit>
#include <cstring>
#include <string>

#include "html/render.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/path.h"
#include "runtime/progress.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/errtext.h"
#include "script/runlog.h"
#include "script/script.h"
#include "script/valtable.h"
#include "sitegen/menufrag.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"

namespace vk {

namespace {

constexpr u16 kProgressStep = 100;
constexpr u16 kAuxPageMode = 0x4000;  // _AUXSTAT: the page is rendered in page mode
constexpr u16 kPageFormatMax = 2048;
constexpr u16 kLogLineMax = 2048;
constexpr u16 kVarsPathMax = 1024;

constexpr char kTimeWindowLabels[] =
    "All Files,2 Min.,10 Min,30 Min.,1 Hour,2 Hours,6 Hours,12 Hours,1 Day,2 Days,7 Days";
constexpr u32 kTimeWindowMinutes[kTimeWindowCount] = {0, 2, 10, 30, 60, 120, 360, 720, 1440, 2880, 10080};

// Overwrite rule flag bytes built from the dialog.
enum : u32 {
  kRuleAll = 0x01,         // every existing file may be overwritten
  kRuleCreate = 0x02,      // a missing file may be created
  kRuleWindow = 0x29,      // age test: allowed when the file is younger than the window
};

const StrSlice kEmpty{"", 0};

// A path as the user reads it in the log and in messages: '/' separators.
StrSlice Shown(StrSlice path) { return StrTranslate(path, "\\", "/"); }

// A path kept whole across the node loop's releases of the scratch stack.
void Keep(std::string* kept, StrSlice path) {
  if (StrError(path)) {
    kept->clear();
  } else {
    kept->assign(path.ptr, path.len);
  }
}
StrSlice Kept(const std::string& kept) { return StrMake(kept.data(), static_cast<u32>(kept.size())); }

void LogPath(const char* format, StrSlice path) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  LogLine(StrFormatV(kLogLineMax, format, Shown(path)), kLogNormal);
  WorkMark(m);
}

// Why a language file gave no texts: 0 when there is none or it is empty (a
// language without texts); else the code, with the reason as the error
// detail, of a file that is there but cannot be used.
u16 LangFileUnusable(StrSlice file) {
  FileInfoRecord info;
  if (FileFindInfo(file, &info) != 0 || info.size == 0) return kLineLoadFailed;
  const i16 slot = FileOpen(file, kOpenQuiet | kOpenNoUpdate | kOpenPlain);
  if (static_cast<u16>(slot) >= kFirstError) {
    return ErrMsgAppend(kErrOpen, StrC("The language file cannot be opened:"), false);
  }
  FileClose(static_cast<u16>(slot));
  return ErrMsgAppend(kErrStringTooLong,
                      StrC("A line of the language file is over 65535 bytes or does not fit in the memory left:"), false);
}

// What one run carries from node to node.
struct RunState {
  StrSlice frame;
  StrSlice root;
  MacroContext context;
  OverwriteRule rule;
  u8 flags;
  u16 suffix_index;
  u16 e;  // the error that ends the run
  u16 r;  // the error the final message shows, with `blamed`
  std::string writing;  // the page being written (or the last one named)
  std::string blamed;   // the page or file that r is about; empty for none
};

// r becomes code, about the page or file `where`; the run goes on unless
// the caller also sets e.
void Blame(RunState* run, u16 code, StrSlice where) {
  run->r = code;
  Keep(&run->blamed, where);
}

// A node whose name is no plain step inside its folder ("..", a separator,
// a drive) would put its pages outside the output root: it is refused,
// logged and remembered for the message at the end, and the run goes on.
void RefuseName(RunState* run, StrSlice folder, StrSlice name) {
  const StrSlice where = PathJoin(run->root, PathJoin(folder, name));
  LogPath("Refused Page Name:%s (a page or folder name may not lead outside the output folder)\r\n", where);
  Blame(run, ErrMsgAppend(kErrData, StrC("A page or folder name of the tree leads outside the output folder:"), false),
        where);
}

// The page of the node under the cursor: written, deleted or skipped as the
// rule says. folder is updated when the node has children. False when the
// node's children are to be passed over (its name was refused, so they
// have no folder).
bool RunPage(RunState* run, const SiteNode& node, StrSlice* folder) {
  const StrSlice name_item = SiteNodeField(node.text, kNodeFieldName);
  if (!PathIsPlainName(name_item)) {
    RefuseName(run, *folder, name_item);
    return false;
  }
  StoreSet(kGroupRun, kRunPagePath, PathJoin(*folder, name_item));
  StoreSet(kGroupRun, kRunPageName, name_item);
  StoreSet(kGroupRun, kRunNodeOptions, SiteNodeField(node.text, kNodeFieldOptions));
  SiteGenBuildTrail();

  StrSlice name = name_item;
  if (node.first_child != kSiteNone) {
    *folder = PathJoin(*folder, name_item);
    DirCreatePath(PathJoin(run->root, *folder));
    name = StrC("index");
  }
  StoreSet(kGroupRun, kRunPageFolder, StrTranslate(*folder, "\\", ","));

  const StrSlice suffix = SiteGenLangSuffix(run->suffix_index);
  const StrSlice file = folder->len
                            ? StrFormatV(kPageFormatMax, "%s\\%s\\%s%s.html", run->root, *folder, name, suffix)
                            : StrFormatV(kPageFormatMax, "%s\\%s%s%s.html", run->root, *folder, name, suffix);
  if (StrError(file)) {
    run->e = StrError(file);
    return true;
  }
  Keep(&run->writing, file);

  if (!FileOverwriteCheck(file, run->rule)) {
    LogPath("Skipping File:%s (Overwrite Off)\r\n", file);
    return true;
  }
  if (run->flags & kRunDelete) {
    if (FileDelete(file) != 0) LogPath("Error Deleting File:%s\r\n", file);
    return true;
  }
  const u8 page_mode = static_cast<u8>(StrValue(SiteNodeOption(kOptPageMode)));
  SysVarFlags(kSysAuxstat, kAuxPageMode, page_mode != 0);
  LogPath("Creating File:%s", file);
  StrSlice tpl = (run->flags & kRunFrameOnly) ? kEmpty : SiteNodeOption(kOptTemplate);
  if (tpl.len == 0) tpl = run->frame;
  const u16 rc = HtmlPageToFile(tpl, run->context, file);
  if (rc == 0) {
    LogLine(StrC("...OK\r\n"), kLogNormal);
    return true;
  }
  Blame(run, rc, file);
  // A missing template spoils one page, not the site.
  run->e = rc == kErrFileNotFound ? 0 : rc;
  return true;
}

// One language pass over the whole tree; mark is the scratch level above
// the tree's node texts.
void RunLanguage(RunState* run, StrSlice tree, u16 index, u32 total, WorkMarkId mark) {
  run->suffix_index = index;
  const u16 loaded = SiteGenSetLanguage(tree, index);
  if (index > 0 && loaded != 0 && loaded != kLineLoadFailed) {
    // The language's texts are there but cannot be used: its pages would
    // show raw keys, so it is not written. The other languages are.
    const StrSlice file = LangFileName(tree, index);
    LogPath("Skipping Language:%s (the language file cannot be used)\r\n", file);
    Blame(run, loaded, file);
    WorkMark(mark);
    return;
  }
  if (!(run->flags & kRunNoMenus)) run->e = SiteGenWriteMenus();

  SiteCursor* cursor = SiteCursorGet();
  *cursor = SiteTreeAt(SiteTreeRoot());
  if (run->e == 0 && index > 0 && (run->flags & kRunTypeMap) && cursor->record) {
    const StrSlice base = (run->flags & kRunTypeMapIndex) ? StrC("index") : SiteNodeField(cursor->record->text, kNodeFieldName);
    run->e = SiteGenWriteTypeMap(run->root, base, index);
  }

  StrSlice folder = kEmpty;
  while (run->e == 0 && cursor->index != kSiteNone) {
    run->e = ProgressUpdate(total, kProgressStep, kEmpty);
    if (run->e) break;
    folder = WorkReturn(mark, folder);
    for (i32 d = cursor->depth_change; d < 0; ++d) folder = PathPart(folder, kPartFolder);
    const SiteNode node = *cursor->record;
    const bool descend = SiteNodeField(node.text, kNodeFieldName).len == 0 || RunPage(run, node, &folder);
    *cursor = SiteTreeNext(cursor->index, descend ? 1 : 0);
  }
  WorkMark(mark);
  if (loaded == 0) ParamListPop();
}

}  // namespace

u16 SiteGenSetLanguage(StrSlice tree, u16 index) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  SiteGenLangSet(index);
  const u16 current = SiteGenLangIndex();
  StoreSet(kGroupRun, kRunLangTexts, SiteGenLangSuffix(current));
  u16 rc = 0;
  if (current == kSiteLangNone) {
    rc = tree.len ? kErrData : 0;
  } else if (tree.len) {
    const StrSlice file = LangFileName(tree, current);
    rc = ParamListLoad(file, 0, 0);
    if (rc == kLineLoadFailed) rc = LangFileUnusable(file);
  }
  WorkMark(m);
  return rc;
}

u16 SiteGenLoadVars(StrSlice tree) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  const StrSlice script = StrFormatV(kVarsPathMax, "%sVars.%s", PathPart(tree, kPartNoExt), PathPart(tree, kPartExt));
  const u16 rc = StrError(script) ? StrError(script) : ScriptRunFile(script, 0);
  WorkMark(m);
  return rc;
}

OverwriteRule SiteGenOverwriteRule(bool overwrite, bool deletion, i16 window, u16* written, u16* avoids) {
  // A selection outside the list counts as "All Files", as none does.
  const bool timed = window > 0 && window < static_cast<i16>(kTimeWindowCount);
  OverwriteRule rule{};
  rule.flags = deletion ? 0u : u32{kRuleCreate};
  if (overwrite) rule.flags |= timed ? kRuleWindow : kRuleAll;
  rule.ref_time = overwrite && timed ? kTimeWindowMinutes[window] : 0;
  rule.written = written;
  rule.avoids = avoids;
  return rule;
}

StrSlice SiteGenTimeWindowItem(u16 k) {
  if (k < 1 || k > kTimeWindowCount) return kEmpty;
  return ListItem(StrSlice{kTimeWindowLabels, sizeof kTimeWindowLabels - 1}, ',', k);
}

u16 SiteGenRun(StrSlice frame, StrSlice tree, StrSlice root, MacroContext context, u16 mask,
               OverwriteRule rule, u8 flags) {
  const WorkMarkId m0 = WorkMark(kMarkQuery);
  RunState run{};
  run.frame = frame;
  run.root = root;
  run.context = context;
  run.rule = rule;
  run.flags = flags;

  LogSetFile(StrC(kSiteLogName));
  SysVarFlags(kSysSystemCompat, kCompatLf, 1);
  const u16 languages = static_cast<u16>(std::popcount(static_cast<unsigned>(mask & kLangMaskAll)));
  bool tree_loaded = false;

  // Pages are never written at the file system's root.
  if (root.len == 0 || (root.len == 1 && root.ptr[0] == '\\')) {
    run.e = ErrMsgAppend(kErrData, StrC("no output folder for the pages"), false);
  }
  if (run.e == 0) run.e = SiteGenLoadVars(tree);
  if (run.e == 0) {
    run.e = run.r = SiteTreeLoad(tree, kSiteTextWidth);
    tree_loaded = run.e == 0;
  }
  if (run.e == 0) run.e = StoreSet(kGroupIdentity, kIdRunMacros, MacroContextMacros(context));

  if (run.e == 0) {
    const WorkMarkId m1 = WorkMark(kMarkQuery);
    const u32 total = u32{SiteTreeCount()} * (languages ? languages : 1) * kProgressStep;
    ProgressOpen(0, total);
    if (mask & kLangMaskAll) {
      for (u16 i = 1; i <= kSiteLangCount && run.e == 0; ++i)
        if (mask & (1u << (i - 1))) RunLanguage(&run, tree, i, total, m1);
    } else {
      RunLanguage(&run, tree, kSiteLangNone, total, m1);
    }
  }
  if (tree_loaded) SiteTreeFree();

  ProgressClose();
  SysVarFlags(kSysSystemCompat, kCompatLf, 0);
  SysVarFlags(kSysAuxstat, kAuxPageMode, 0);

  // A cancel names the page it stopped; any other error the page or file
  // it is about.
  if (run.e == kErrCancelled) Blame(&run, kErrCancelled, Kept(run.writing));
  if (run.r) {
    const WorkMarkId m = WorkMark(kMarkQuery);
    ErrMsgAppend(run.r, Shown(Kept(run.blamed)), true);
    WorkMark(m);
  }
  const u16 shown = run.e ? run.e : run.r;
  if (shown) ErrShowMessage(shown);
  WorkMark(m0);
  return shown;
}

}  // namespace vk
