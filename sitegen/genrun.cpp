#include "sitegen/genrun.h"

#include <bit>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "html/render.h"
#include "runtime/appenv.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/linelist.h"
#include "runtime/list.h"
#include "runtime/osdir.h"
#include "runtime/osfile.h"
#include "runtime/oslock.h"
#include "runtime/ossignal.h"
#include "runtime/osproc.h"
#include "runtime/ostemp.h"
#include "runtime/path.h"
#include "runtime/progress.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "runtime/writequeue.h"
#include "script/errtext.h"
#include "script/runlog.h"
#include "script/script.h"
#include "script/valtable.h"
#include "sitegen/menufrag.h"
#include "sitegen/pagetree.h"
#include "sitegen/sitetext.h"
#include "sitegen/trail.h"

namespace vk {

namespace {

constexpr u16 kProgressStep = 100;
constexpr u16 kAuxPageMode = 0x4000;  // _AUXSTAT: the page is rendered in page mode
constexpr u16 kPageFormatMax = 2048;
constexpr u16 kLogLineMax = 2048;
constexpr u16 kVarsPathMax = 1024;
constexpr char kSectionPage[] = "index";  // the page of a node with children, in its folder
// The log's last line after a run that ended with an error: this, then
// the text of the message shown.
constexpr char kLogEndedPrefix[] = "Run Ended:";

constexpr char kTimeWindowLabels[] =
    "All Files,2 Min.,10 Min,30 Min.,1 Hour,2 Hours,6 Hours,12 Hours,1 Day,2 Days,7 Days";
constexpr u32 kTimeWindowMinutes[kTimeWindowCount] = {0, 2, 10, 30, 60, 120, 360, 720, 1440, 2880, 10080};

// Overwrite rule flag bytes built from the dialog: every existing file, or
// one younger than the time window (the window greater than its age).
constexpr u32 kRuleAll = kOverwriteExisting;
constexpr u32 kRuleWindow = kOverwriteAgeTest | kOverwriteOnGreater | kOverwriteExisting;


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
  LogLine(StrFormatV(kLogLineMax, format, PathShown(path)), kLogNormal);
  WorkMark(m);
}

// Why a language file gave no texts: 0 when there is none or it is empty (a
// language without texts); else the code, with the reason as the error
// detail, of a file that is there but cannot be used.
u16 LangFileUnusable(StrSlice file) {
  FileInfoRecord info;
  if (FileFindInfo(file, &info) != 0 || info.size == 0) return kLineLoadFailed;
  const i16 slot = FileOpen(file, kOpenQuiet | kOpenNoUpdate | kOpenPlain);
  if (FileOpenFailed(slot)) {
    return ErrMsgAppend(kErrOpen, StrC("The language file cannot be opened:"), false);
  }
  (void)FileClose(static_cast<u16>(slot));  // only read: nothing to lose on closing
  const WorkMarkId m = WorkMark(kMarkQuery);
  const u16 rc = ErrMsgAppend(kErrStringTooLong,
                              StrFormatV(kLogLineMax,
                                         "The language file does not fit in the variable store (%u lines and %u bytes "
                                         "in all, shared with the run's other values):",
                                         u32{kStoreMostEntries}, kStoreMostTextBytes),
                              false);
  WorkMark(m);
  return rc;
}

// The recorded error (ErrGet) and its detail, set aside and given back
// whole.
struct ErrKept {
  u32 error;
  std::string detail;
};
ErrKept ErrKeep() {
  const StrSlice detail = ErrDetail();
  return ErrKept{ErrGet(), std::string(detail.ptr ? detail.ptr : "", detail.len)};
}
void ErrGiveBack(const ErrKept& kept) {
  (void)ErrSet(kErrForce, static_cast<i16>(kept.error >> 16), static_cast<u16>(kept.error), 0);
  (void)ErrMsgAppend(0, StrMake(kept.detail.data(), static_cast<u32>(kept.detail.size())), false);
}

// What the run goes back to when a file it handed to the write queue
// cannot be put in place: its state just before it made the file.
struct RunMark {
  u32 log_at;  // held-log position (before a page's "...OK" line)
  u16 written;
  u16 avoids;
  u16 shown_code;
  std::string blamed;
  int blamed_err;
  ErrKept err;
};

// A file handed to the write queue whose outcome the run has not taken
// yet: what the run reports when it is in place, and what it undoes when it
// is not.
constexpr u8 kRunFilePage = 0;  // beside menufrag's kSiteFileMenu and kSiteFileTypeMap
struct PendingFile {
  std::string path;
  u8 kind;
  RunMark before;
  u32 log_ok;  // held-log position after a page's "...OK" line
};

// A folder the run made for a node, and how many files it had handed over
// before it made it: when one of those fails, the run stops before the
// folder was made, which is removed again; a failure of a file handed over
// after it leaves it.
struct MadeFolder {
  std::string path;
  u32 after;
};

// What one run carries from node to node.
struct RunState {
  StrSlice frame;
  StrSlice root;
  MacroContext context;
  OverwriteRule rule;
  u8 flags;
  u16 suffix_index;
  bool sweep;           // remove a killed run's temporaries from each folder met
  u16 stop_code;        // the error that ends the run
  u16 shown_code;       // the error the final message shows, with `blamed`
  std::string writing;  // the page being written (or the last one named)
  std::string blamed;   // the page or file that shown_code is about; empty for none
  int blamed_err;       // why the system refused it (its error number); 0 for none
  std::deque<PendingFile> pending;  // oldest first
  std::vector<MadeFolder> made;
  u32 handed;  // files handed to the write queue; those in `pending` are the last of them
};

// The run in progress, for the fragments' and type map's way to the queue.
RunState* g_run = nullptr;

// shown_code becomes code, about the page or file `where`, which the
// system refused with error number err (0 for none); the run goes on
// unless the caller also sets stop_code.
void Blame(RunState* run, u16 code, StrSlice where, int err = 0) {
  run->shown_code = code;
  Keep(&run->blamed, where);
  run->blamed_err = err;
}

u16 Counter(const u16* c) { return c ? *c : 0; }
void SetCounter(u16* c, u16 value) {
  if (c) *c = value;
}

RunMark MarkNow(const RunState* run) {
  return RunMark{LogHoldMark(), Counter(run->rule.written), Counter(run->rule.avoids), run->shown_code,
                 run->blamed, run->blamed_err, ErrKeep()};
}

void GoBackTo(RunState* run, const RunMark& mark) {
  LogHoldRelease(mark.log_at);
  LogHoldEnd(false);
  SetCounter(run->rule.written, mark.written);
  SetCounter(run->rule.avoids, mark.avoids);
  run->shown_code = mark.shown_code;
  run->blamed = mark.blamed;
  run->blamed_err = mark.blamed_err;
  ErrGiveBack(mark.err);
}

// A page whose file cannot be put in place (rc and err as the write queue
// answers) ends the run there: the run goes back to `before`, its state
// just before the page was made, so that the log keeps the page's
// "Creating File:" line and none of its making, and the message names it.
void PageFailed(RunState* run, const RunMark& before, StrSlice path, u16 rc, int err) {
  GoBackTo(run, before);
  Keep(&run->writing, path);
  Blame(run, HtmlPagePutCode(rc), path, err);
  run->stop_code = run->shown_code;
}

// The file handed over as number `failed` could not be put in place: the
// run ends as if it had stopped there. Its old file stays, and so does
// every file handed over after it (the queue drops them); the log keeps
// what it had then (a page's "Creating File:" line, nothing after it), the
// counters, the message and the error state go back to what they were, and
// the folders made after it are removed again.
void FileFailed(RunState* run, const PendingFile& file, const WriteDone& done, u32 failed) {
  const StrSlice path = Kept(file.path);
  if (file.kind == kRunFilePage) {
    PageFailed(run, file.before, path, done.rc, done.err);
  } else {
    GoBackTo(run, file.before);
    run->stop_code = SiteGenFileFailed(path, file.kind, done.rc, done.err);
  }
  WriteQueueSettle();
  WriteDone dropped{};
  while (!run->pending.empty() && WriteQueueTake(&dropped)) run->pending.pop_front();
  while (!run->made.empty() && run->made.back().after >= failed) {
    (void)OsDirRemove(Kept(run->made.back().path));  // empty, as its files were dropped
    run->made.pop_back();
  }
}

// Takes the outcomes of the files the queue has settled, in the order they
// were handed over. A file in place gets its held log lines written (a
// page's with its "...OK"); with nothing left pending the log is no longer
// held, unless keep_holding.
void TakeWritten(RunState* run, bool keep_holding = false) {
  WriteDone done{};
  while (!run->pending.empty() && WriteQueueTake(&done)) {
    const PendingFile file = std::move(run->pending.front());
    run->pending.pop_front();
    const u32 number = run->handed - static_cast<u32>(run->pending.size());
    if (done.rc == 0) {
      LogHoldRelease(file.log_ok);
    } else if (done.rc != kWriteDropped) {
      FileFailed(run, file, done, number);
    }
  }
  if (run->pending.empty() && !keep_holding) LogHoldEnd(true);
}

// Before a file's content is made: takes the outcomes settled so far and
// holds the log from here, with *before the run's state to go back to
// should the file not be put in place. False when an earlier file could not
// be: the run has ended.
bool FileStart(RunState* run, RunMark* before) {
  TakeWritten(run);
  if (run->stop_code) return false;
  LogHoldStart();
  *before = MarkNow(run);
  return true;
}

// Hands a file's content (data, taken over) to the write queue. A page's
// log says "...OK" now, held until its file is in place.
void HandOver(RunState* run, StrSlice file, char* data, u32 size, u8 kind, const RunMark& before) {
  PendingFile pending{std::string(file.ptr, file.len), kind, before, 0};
  if (kind == kRunFilePage) LogLine(StrC("...OK\r\n"), kLogNormal);
  pending.log_ok = LogHoldMark();
  run->pending.push_back(std::move(pending));
  ++run->handed;
  WriteQueuePut(file, data, size);
}

// The fragments' and the type map's way to their files during a run.
u16 RunFilePut(StrSlice file, char* data, u32 len, u8 kind) {
  RunMark before;
  if (FileStart(g_run, &before)) {
    HandOver(g_run, file, data, len, kind, before);
  } else {
    OsMemFree(data);  // an earlier file could not be written: the run ended there
  }
  return 0;
}

// A page that could not be made, whose file cannot be put in place either:
// a writer that opens its file before it makes the page ends the run
// there, before anything of the page is made, unless a file before it
// failed first.
void PageUnplaceable(RunState* run, const RunMark& before, StrSlice file, int err) {
  WriteQueueSettle();
  TakeWritten(run, true);
  if (run->stop_code) return;  // an earlier file failed: the run went back to it
  PageFailed(run, before, file, kOsOpenFailed, err);
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
  // The page's values; a store that cannot take them ends the run at this
  // page (below), where the page would show the previous page's.
  u16 stored = StoreSet(kGroupRun, kRunPagePath, PathJoin(*folder, name_item));
  if (stored == 0) stored = StoreSet(kGroupRun, kRunPageName, name_item);
  if (stored == 0) stored = StoreSet(kGroupRun, kRunNodeOptions, SiteNodeField(node.text, kNodeFieldOptions));
  if (stored == 0) stored = SiteGenBuildTrail();

  StrSlice name = name_item;
  if (node.first_child != kSiteNone) {
    *folder = PathJoin(*folder, name_item);
    const StrSlice made = PathJoin(run->root, *folder);
    // A folder that cannot be made fails the page's write, which names it.
    // One the run makes is remembered, to be removed again if a file handed
    // over before it fails.
    OsStat st;
    if (!OsStatPath(made, &st) && DirCreatePath(made) == 0) {
      run->made.push_back(MadeFolder{std::string(made.ptr, made.len), run->handed});
    }
    if (run->sweep) (void)OsTempSweep(run->root, *folder);  // a folder that cannot be reached has none of ours
    name = StrC(kSectionPage);
  }
  if (stored == 0) stored = StoreSet(kGroupRun, kRunPageFolder, StrTranslate(*folder, "\\", ","));

  const StrSlice suffix = SiteGenLangSuffix(run->suffix_index);
  const StrSlice file = folder->len
                            ? StrFormatV(kPageFormatMax, "%s\\%s\\%s%s.html", run->root, *folder, name, suffix)
                            : StrFormatV(kPageFormatMax, "%s\\%s%s%s.html", run->root, *folder, name, suffix);
  if (StrError(file)) {
    run->stop_code = StrError(file);
    return true;
  }
  Keep(&run->writing, file);
  if (stored) {
    Blame(run, stored, file);
    run->stop_code = stored;
    return true;
  }

  if (!FileOverwriteCheck(file, run->rule)) {
    LogPath("Skipping File:%s (Overwrite Off)\r\n", file);
    return true;
  }
  if (run->flags & kRunDelete) {
    // A removal is a change in the run's order like a page: it comes after
    // the files handed over before it, and not at all once one of them
    // has ended the run.
    WriteQueueMaking(true);
    const u16 deleted = FileDelete(file);
    WriteQueueMaking(false);
    if (deleted != 0) LogPath("Error Deleting File:%s\r\n", file);
    return true;
  }
  const u8 page_mode = static_cast<u8>(StrValue(SiteNodeOption(kOptPageMode)));
  SysVarFlags(kSysAuxstat, kAuxPageMode, page_mode != 0);
  LogPath("Creating File:%s", file);
  // The page is made with no error recorded and an empty detail, so that
  // its message shows what failed in it, not what an earlier page left
  // there (a missing template the run went past, a file a function looked
  // for). A page made well gives the run's error state back as it was: a
  // missing template remembered for the final message keeps its detail.
  const ErrKept carried = ErrKeep();
  ErrGiveBack(ErrKept{});
  RunMark before;
  if (!FileStart(run, &before)) return true;
  StrSlice tpl = (run->flags & kRunFrameOnly) ? kStrEmpty : SiteNodeOption(kOptTemplate);
  if (tpl.len == 0) tpl = run->frame;
  // The page is made here and written by a writer thread, in its turn.
  char* data = nullptr;
  u32 size = 0;
  WriteQueueMaking(true);
  const u16 rc = HtmlPageToMemory(tpl, run->context, &data, &size);
  WriteQueueMaking(false);
  if (rc == 0) {
    ErrGiveBack(carried);
    HandOver(run, file, data, size, kRunFilePage, before);
    return true;
  }
  if (OsFilePlaceable(file) != 0) {
    PageUnplaceable(run, before, file, OsLastError());
    return true;
  }
  Blame(run, rc, file);
  // A missing template spoils one page, not the site.
  run->stop_code = rc == kErrFileNotFound ? 0 : rc;
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
  // A file handed over earlier may turn out not to be written while these
  // are handed over: the run has ended then, and stays ended.
  if (!(run->flags & kRunNoMenus)) {
    if (const u16 rc = SiteGenWriteMenus()) run->stop_code = rc;
  }

  SiteCursor* cursor = SiteCursorGet();
  *cursor = SiteTreeAt(SiteTreeRoot());
  if (run->stop_code == 0 && index > 0 && (run->flags & kRunTypeMap) && cursor->record) {
    // The first node's page as the run writes it: a node with children is
    // a folder holding its index page (a name the run refuses makes none).
    const StrSlice name = SiteNodeField(cursor->record->text, kNodeFieldName);
    const bool section = cursor->record->first_child != kSiteNone && name.len && PathIsPlainName(name);
    const StrSlice base = (run->flags & kRunTypeMapIndex) ? StrC("index")
                          : section                       ? PathJoin(name, StrC(kSectionPage))
                                                          : name;
    if (const u16 rc = SiteGenWriteTypeMap(run->root, base, index)) run->stop_code = rc;
  }

  StrSlice folder = kStrEmpty;
  while (run->stop_code == 0 && cursor->index != kSiteNone) {
    run->stop_code = ProgressUpdate(total, kProgressStep, kStrEmpty);
    if (run->stop_code) break;
    folder = WorkReturn(mark, folder);
    for (i32 d = cursor->depth_change; d < 0; ++d) folder = PathPart(folder, kPartFolder);
    const SiteNode node = *cursor->record;
    const bool descend = SiteNodeField(node.text, kNodeFieldName).len == 0 || RunPage(run, node, &folder);
    *cursor = SiteTreeNext(cursor->index, descend ? 1 : 0);
  }
  // Outcomes the queue has settled meanwhile; the rest are taken when the
  // run ends (a file that cannot be written then ends it where it was).
  TakeWritten(run);
  run->sweep = false;
  WorkMark(mark);
  if (loaded == 0) (void)ParamListPop();  // removing an entry needs no room
}

}  // namespace

u16 SiteGenSetLanguage(StrSlice tree, u16 index) {
  const WorkMarkId m = WorkMark(kMarkQuery);
  SiteGenLangSet(index);
  const u16 current = SiteGenLangIndex();
  // A suffix the store cannot take would leave the previous language's:
  // nothing is loaded then.
  u16 rc = StoreSet(kGroupRun, kRunLangTexts, SiteGenLangSuffix(current));
  if (rc == 0 && current == kSiteLangNone) {
    rc = tree.len ? kErrData : 0;
  } else if (rc == 0 && tree.len) {
    const StrSlice file = LangFileName(tree, current);
    rc = ParamListLoadPairs(file);
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
  rule.flags = deletion ? 0u : u32{kOverwriteCreate};
  if (overwrite) rule.flags |= timed ? kRuleWindow : kRuleAll;
  rule.ref_time = overwrite && timed ? kTimeWindowMinutes[window] : 0;
  rule.written = written;
  rule.avoids = avoids;
  return rule;
}

StrSlice SiteGenTimeWindowItem(u16 k) {
  if (k < 1 || k > kTimeWindowCount) return kStrEmpty;
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
  run.sweep = true;

  // One run at a time into a site and into a log folder: a second run is
  // refused before it touches either (two runs at once would leave pages
  // and log lines of both), whoever starts it. The system drops the locks
  // when a run's process ends, however it ends.
  OsDirLockHeld site_lock, log_lock;
  const i32 site = OsDirLock(root, &site_lock);
  int lock_err = OsLastError();
  i32 log = kOsLockNone;
  if (site != kOsLockBusy && site != kOsLockRefused && !(site == 0 && OsSameFile(root, StrC(".")))) {
    log = OsDirLock(StrC("."), &log_lock);
    lock_err = OsLastError();
  }
  if (site == kOsLockBusy || site == kOsLockRefused || log == kOsLockBusy || log == kOsLockRefused) {
    OsDirUnlock(&site_lock);
    const bool at_site = site == kOsLockBusy || site == kOsLockRefused;
    const StrSlice where = at_site ? root : DirCurrent();
    if ((at_site ? site : log) == kOsLockBusy) {
      ErrMsgAppend(kErrFileOpen,
                   StrC("Another run is writing into this site or its log folder; try again when it has ended:"), false);
      ErrMsgAppend(kErrFileOpen, PathShown(where), true);
    } else {
      // Something planted at the lock file's name, or a lock file this run
      // may not use: it is never run without its lock.
      ErrMsgAppend(kErrFileOpen,
                   StrC("This site or its log folder cannot be locked against a second run; its lock file must be a "
                        "plain file this run may use (remove what is there when no run is writing):"),
                   false);
      ErrMsgAppend(kErrFileOpen, FileShown(PathJoin(where, StrC(kOsLockName)), lock_err), true);
    }
    (void)ErrShowMessage(kErrFileOpen);  // emptying the detail needs no room
    WorkMark(m0);
    return kErrFileOpen;
  }

  // From here on a stop signal stops the run (the progress window's close
  // at the end ends the watch), also while the tree and the variable script
  // are read: the run then ends before its first page.
  OsStopWatchBegin();
  (void)LogSetFile(StrC(kSiteLogName));  // a name the store refuses leaves the log under its earlier one
  SysVarFlags(kSysSystemCompat, kCompatLf, 1);
  const u16 languages = static_cast<u16>(std::popcount(static_cast<unsigned>(mask & kLangMaskAll)));
  bool tree_loaded = false;

  // Pages are never written at the file system's root.
  if (root.len == 0 || (root.len == 1 && root.ptr[0] == '\\')) {
    run.stop_code = ErrMsgAppend(kErrData, StrC("no output folder for the pages"), false);
  }
  // Files are handed to the write queue, the fragments and the type map
  // too, and put in place in the order a single writer would write them.
  WriteQueueBegin();
  g_run = &run;
  SiteGenSetFilePut(RunFilePut);
  // Temporaries that a killed run left in the output folder (the type
  // map's among them) and beside the menu fragments; the page folders are
  // swept as the first language meets them. A folder that cannot be read
  // holds none that this run could have to do with.
  OsTempSweepForget();
  if (run.stop_code == 0) (void)OsTempSweep(root, kStrEmpty);
  if (run.stop_code == 0) (void)OsTempSweep(StrC("."), kStrEmpty);
  if (run.stop_code == 0) run.stop_code = SiteGenLoadVars(tree);
  if (run.stop_code == 0) {
    run.stop_code = run.shown_code = SiteTreeLoad(tree, kSiteTextWidth);
    tree_loaded = run.stop_code == 0;
  }
  if (run.stop_code == 0) run.stop_code = StoreSet(kGroupIdentity, kIdRunMacros, MacroContextMacros(context));

  if (run.stop_code == 0) {
    const WorkMarkId m1 = WorkMark(kMarkQuery);
    const u32 total = u32{SiteTreeCount()} * (languages ? languages : 1) * kProgressStep;
    (void)ProgressOpen(0, total);  // without its window the run goes on, and each step tries again
    if (mask & kLangMaskAll) {
      for (u16 i = 1; i <= kSiteLangCount && run.stop_code == 0; ++i)
        if (mask & (1u << (i - 1))) RunLanguage(&run, tree, i, total, m1);
    } else {
      RunLanguage(&run, tree, kSiteLangNone, total, m1);
    }
  }
  if (tree_loaded) SiteTreeFree();
  // The run's end as a stop request sees it: one that came before stops the
  // run, even when its last page no longer asked; one that comes later
  // finds the run finished (what follows places what was handed over in
  // either case).
  if (OsStopWatchDecide() && run.stop_code == 0) run.stop_code = kErrCancelled;

  // Every file handed over is put in place (or, after one that cannot be,
  // dropped), and what the run wrote is made durable: once the run has
  // ended, a power cut leaves every file new.
  WriteQueueSettle();
  TakeWritten(&run);
  SiteGenSetFilePut(nullptr);
  g_run = nullptr;
  StrSlice sync_folder = kStrEmpty;
  const u16 synced = WriteQueueSync(StrC("."), &sync_folder);
  const int sync_err = synced ? OsLastError() : 0;
  std::string sync_failed;
  Keep(&sync_failed, sync_folder);
  ProgressClose();
  SysVarFlags(kSysSystemCompat, kCompatLf, 0);
  SysVarFlags(kSysAuxstat, kAuxPageMode, 0);

  // A cancel names the page it stopped; any other error the page or file
  // it is about, with the system's reason when it refused that file. A run
  // that went well otherwise says when its files could not be made
  // durable, or when its log lost lines.
  if (run.stop_code == kErrCancelled) Blame(&run, kErrCancelled, Kept(run.writing));
  int log_err = 0;
  if (!run.stop_code && !run.shown_code && synced) {
    Blame(&run, kErrFileIO, Kept(sync_failed), sync_err);  // named from the root
  } else if (!run.stop_code && !run.shown_code && LogLost(&log_err)) {
    const WorkMarkId m = WorkMark(kMarkQuery);
    Blame(&run, kErrFileIO, PathResolve(DirCurrent(), LogFilePath()), log_err);
    WorkMark(m);
  }
  if (run.shown_code) {
    const WorkMarkId m = WorkMark(kMarkQuery);
    ErrMsgAppend(run.shown_code, FileShown(Kept(run.blamed), run.blamed_err), true);
    WorkMark(m);
  }
  const u16 shown = run.stop_code ? run.stop_code : run.shown_code;
  if (shown) {
    // The log ends with why the run ended, in the message's words, so that
    // a run that could not start leaves more than an empty log.
    const WorkMarkId m = WorkMark(kMarkQuery);
    StrSlice ended = StrConcat(StrC(kLogEndedPrefix), ErrText(shown));
    // A run that a signal stopped (Ctrl-C in the window, kill, a logout,
    // the terminal closed) says so.
    if (shown == kErrCancelled && OsStopStopped()) {
      ended = StrFormatV(kLogLineMax, "%s (stopped by %s)", ended, OsStopSignalName(OsStopStopped()));
    }
    LogLine(ended, kLogNormal);
    WorkMark(m);
    (void)ErrShowMessage(shown);  // emptying the detail needs no room
  }
  OsDirUnlock(&log_lock);
  OsDirUnlock(&site_lock);
  WorkMark(m0);
  return shown;
}

}  // namespace vk
