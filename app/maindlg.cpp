#include "app/maindlg.h"

#include <cstring>

#include "app/options.h"
#include "html/request.h"
#include "runtime/error.h"
#include "runtime/file.h"
#include "runtime/list.h"
#include "runtime/message.h"
#include "runtime/number.h"
#include "runtime/osfile.h"
#include "runtime/ostemp.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/window.h"
#include "script/errtext.h"
#include "sitegen/dispatch.h"
#include "sitegen/genrun.h"

namespace vk {

namespace {

constexpr char kCrLf[] = "\r\n";
constexpr u16 kConfigLines = 3;
// The most "config.txt" can hold of use: three full fields and their ends.
constexpr u32 kConfigMaxBytes = kConfigLines * (kDlgFieldMax + 2);
// More labels than the time-window list has: the fill stops at an empty
// one long before.
constexpr u16 kComboGuard = 64;

void NoExchange(void*, CVellumcraftDlg*, bool) {}
void NoReset(void*) {}
void NoAdd(void*, StrSlice) {}
void NoText(void*, DlgField* text) { text->len = 0; }
void NoSelect(void*, i16) {}
void NoBusy(void*, bool) {}

constexpr DlgView kNoView = {nullptr, NoExchange, NoReset, NoAdd, NoText, NoSelect, NoBusy};

// A path returned by the file dialog (library form) as a field shows it.
void SetPathField(DlgField* f, StrSlice library_path) {
  DlgSetText(f, library_path);
  for (u16 i = 0; i < f->len; ++i) {
    if (f->bytes[i] == '\\') f->bytes[i] = '/';
  }
}

// Reads "config.txt" of the current directory, when there is one, into the
// three paths. Only a plain file is read, and no more of it than the
// fields can hold, so a missing or odd file leaves the fields empty and
// records nothing.
void ReadConfig(CVellumcraftDlg* dlg) {
  OsStat st{};
  const StrSlice name = StrC(kConfigName);
  if (!OsStatPath(name, &st) || st.is_dir || st.size == 0) return;
  const u16 want = static_cast<u16>(st.size < kConfigMaxBytes ? st.size : kConfigMaxBytes);
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice text = FileReadAll(name, 0, want);
  if (text.ptr) {
    StrSlice paths[kConfigLines];
    DlgConfigParse(text, paths);
    DlgSetText(&dlg->frame, paths[0]);
    DlgSetText(&dlg->tree, paths[1]);
    DlgSetText(&dlg->values, paths[2]);
  }
  WorkMark(mark);
}

// Rewrites "config.txt" with the three fields as typed. The file is
// replaced in one step, so a failed write keeps the old one. 0, or the
// code of the failure.
u16 WriteConfig(const CVellumcraftDlg* dlg) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  char* buf = WorkAllocRaw(static_cast<u16>(kConfigMaxBytes), kNoFill);
  if (!buf) return kErrOutOfMemory;
  u32 n = 0;
  const DlgField* fields[kConfigLines] = {&dlg->frame, &dlg->tree, &dlg->values};
  for (const DlgField* f : fields) {
    std::memcpy(buf + n, f->bytes, f->len);
    n += f->len;
    std::memcpy(buf + n, kCrLf, 2);
    n += 2;
  }
  // A killed run may have left config.txt's temporary here, where no run
  // sweeps; it goes before the file is replaced again.
  (void)OsTempSweep(StrC("."), StrC(""));  // a folder that cannot be read holds none
  const u16 rc = FileWrite(StrC(kConfigName), kWriteReplace, buf, static_cast<u16>(n));
  WorkMark(mark);
  return rc;
}

// The paths could not be remembered: the error text of the failure's code
// with "config.txt" as its detail, which is emptied again so that it joins
// no later message.
void ShowConfigUnsaved(u16 code) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ErrMsgAppend(code, StrC(kConfigName), false);
  MsgBoxAsk(ErrText(code), StrSlice{"", 0}, kMsgBoxWarning);
  ErrMsgAppend(code, StrSlice{"", 0}, false);
  WorkMark(mark);
}

// The macro value file's text with its line ends turned into ':' in *out,
// the quote a line leaves open ended with the line (StrTextLinesJoin);
// empty when no file is named, it is missing, not a plain file or empty.
// A file that is there but cannot be used gives its code (146 over 65535
// bytes, 145 no memory left, 136 unreadable) and an empty text.
u16 ReadMacroValues(StrSlice path, StrSlice* out) {
  *out = StrSlice{"", 0};
  OsStat st{};
  if (path.len == 0 || !OsStatPath(path, &st) || st.is_dir || st.size == 0) return 0;
  if (st.size > kMaxText) return kErrStringTooLong;
  const StrSlice all = FileReadAll(path, 0, static_cast<u16>(st.size));
  if (const u16 err = StrError(all)) return err == kErrOutOfMemory || err == kErrStringTooLong ? err : u16{kErrRead};
  const StrSlice text = StrTextLinesJoin(all);
  if (const u16 err = StrError(text)) return err == kErrStringTooLong ? err : u16{kErrOutOfMemory};
  *out = text;
  return 0;
}

// The refusal of a macro value file that is there but cannot be used.
void ShowUnusableMacroFile(StrSlice path, u16 code) {
  const char* reason = code == kErrStringTooLong ? "it is over 65535 bytes, the most it may hold"
                       : code == kErrOutOfMemory ? "it does not fit in the memory left"
                                                 : "it cannot be read";
  const StrSlice text = StrFormatV(kDlgFieldMax + 256, "The macro value file %s cannot be used: %s.",
                                   PathShown(path), StrC(reason));
  MsgBoxAsk(text, StrSlice{"", 0}, kMsgBoxWarning);
}

void Browse(CVellumcraftDlg* dlg, DlgField* field) {
  if (dlg->running) return;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  // What was typed into the other fields since the last transfer is kept:
  // the controls go to the members before the chosen file is shown.
  DoDataExchange(dlg, true);
  const StrSlice chosen = FileDlgByKind(0, 0);
  if (chosen.ptr && chosen.len) SetPathField(field, chosen);
  DoDataExchange(dlg, false);
  WorkMark(mark);
}

// The refusal of a typed time window that is no label of the list: with
// "Overwrite" ticked it would decide which existing pages are replaced or
// deleted, so no guess is made.
void ShowUnknownWindow(const DlgField& window) {
  const StrSlice text = StrFormatV(
      kDlgFieldMax + 512,
      "Unknown time window: %s. The time window is one of these labels, in any letter case: %s. "
      "Nothing was written or deleted.",
      DlgText(window), kAppWindowLabels);
  MsgBoxAsk(text, StrSlice{"", 0}, kMsgBoxWarning);
}

// The refusal of a tree file whose output root would be empty.
void ShowShallowTree(const CVellumcraftDlg* dlg) {
  const StrSlice text = StrFormatV(
      kDlgFieldMax + 256,
      "The tree file %s must lie at least three folders deep: the pages are written two folder "
      "levels above its folder, never at the top of the file system.",
      DlgText(dlg->tree));
  MsgBoxAsk(text, StrSlice{"", 0}, kMsgBoxWarning);
}

}  // namespace

void DlgSetText(DlgField* f, StrSlice text) {
  u32 n = text.ptr ? text.len : 0;
  if (n > kDlgFieldMax) n = kDlgFieldMax;
  if (n) std::memmove(f->bytes, text.ptr, n);
  f->len = static_cast<u16>(n);
}

void DlgSetCount(DlgField* f, u16 count) {
  char buf[16];
  NumI32ToA(count, buf, 10);
  DlgSetText(f, StrC(buf));
}

void DlgConstruct(CVellumcraftDlg* dlg, const DlgView* view) {
  std::memset(dlg, 0, sizeof *dlg);
  DlgBindView(dlg, view);
}

void DlgBindView(CVellumcraftDlg* dlg, const DlgView* view) { dlg->view = view ? *view : kNoView; }

void DoDataExchange(CVellumcraftDlg* dlg, bool save) {
  if (dlg->view.exchange) dlg->view.exchange(dlg->view.ctx, dlg, save);
}

void DlgConfigParse(StrSlice text, StrSlice out[3]) {
  for (u16 k = 0; k < kConfigLines; ++k) out[k] = StrSlice{"", 0};
  u16 line = 0;
  u32 start = 0;
  for (u32 i = 0; i <= text.len && line < kConfigLines; ++i) {
    const bool end = i == text.len;
    const char c = end ? '\n' : text.ptr[i];
    if (c != '\r' && c != '\n') continue;
    // A last line without an end still counts; an empty rest does not.
    if (!end || i > start) out[line++] = StrMake(text.ptr + start, i - start);
    if (!end && c == '\r' && i + 1 < text.len && text.ptr[i + 1] == '\n') ++i;
    start = i + 1;
  }
}

StrSlice DlgOutputRoot(StrSlice tree) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  StrSlice root = tree;
  for (int level = 0; level < 3 && root.ptr; ++level) root = PathPart(root, kPartParent);
  if (!root.ptr) return WorkReturn(mark, root);
  // The top of the file system (or of a drive) is no site folder.
  u16 start = root.len >= 2 && root.ptr[1] == ':' ? 2 : 0;
  while (start < root.len && root.ptr[start] == '\\') ++start;
  if (start == root.len) root.len = 0;
  return WorkReturn(mark, root);
}

StrSlice DlgAbsolutePath(StrSlice field, StrSlice base) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice native = PathToNative(field);
  if (!native.ptr || native.len == 0 || base.len == 0) return WorkReturn(mark, native);
  if (native.ptr[0] == '\\' || (native.len >= 2 && native.ptr[1] == ':')) return WorkReturn(mark, native);
  return WorkReturn(mark, PathResolve(base, native));
}

bool OnInitDialog(CVellumcraftDlg* dlg) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  ReadConfig(dlg);
  dlg->view.combo_reset(dlg->view.ctx);
  for (u16 k = 1; k < kComboGuard; ++k) {
    const StrSlice label = SiteGenTimeWindowItem(k);
    if (!label.ptr || label.len == 0) break;
    dlg->view.combo_add(dlg->view.ctx, label);
  }
  dlg->view.combo_select(dlg->view.ctx, -1);
  DoDataExchange(dlg, false);
  WorkMark(mark);
  return true;
}

void OnBrowseFramePage(CVellumcraftDlg* dlg) { Browse(dlg, &dlg->frame); }
void OnBrowseTreeFile(CVellumcraftDlg* dlg) { Browse(dlg, &dlg->tree); }
void OnBrowseMacroFile(CVellumcraftDlg* dlg) { Browse(dlg, &dlg->values); }

u16 OnStart(CVellumcraftDlg* dlg) {
  // The progress window pumps every window's events during a run: a second
  // Start from inside it would share the first run's tree and progress.
  if (dlg->running) return kDlgBusy;
  const WorkMarkId mark = WorkMark(kMarkQuery);
  dlg->written_count = 0;
  dlg->avoids_count = 0;
  DoDataExchange(dlg, true);
  DlgField window{};
  dlg->view.combo_text(dlg->view.ctx, &window);
  const i16 selection = window.len ? AppWindowIndex(DlgText(window)) : i16{-1};
  const OverwriteRule rule =
      SiteGenOverwriteRule(dlg->overwrite, dlg->deletion, selection, &dlg->written_count, &dlg->avoids_count);
  const u16 mask = static_cast<u16>(dlg->english | dlg->spanish << 1 | dlg->french << 2 | dlg->german << 3 |
                                    dlg->italian << 4);

  // Relative paths are taken from the directory current now, before the
  // run moves to the frame page's folder.
  const StrSlice saved = DirCurrent();
  const StrSlice values = DlgAbsolutePath(DlgText(dlg->values), saved);
  StrSlice macros{"", 0};
  const u16 macros_unusable = ReadMacroValues(values, &macros);

  u16 result = 0;
  if (dlg->frame.len == 0 || dlg->tree.len == 0) {
    MsgBoxAsk(MsgText(kMsgPathsRequired), StrSlice{"", 0}, kMsgBoxWarning);
    result = kErrData;
  } else if (dlg->overwrite && selection == kAppWindowUnknown) {
    ShowUnknownWindow(window);
    result = kErrData;
  } else {
    // The run goes on: the paths are only remembered for the next start.
    if (const u16 unsaved = WriteConfig(dlg)) ShowConfigUnsaved(unsaved);
    const StrSlice frame = DlgAbsolutePath(DlgText(dlg->frame), saved);
    const StrSlice tree = DlgAbsolutePath(DlgText(dlg->tree), saved);
    const StrSlice root = DlgOutputRoot(tree);
    if (macros_unusable) {
      // Pages made without the site's macro values would be wrong.
      ShowUnusableMacroFile(values, macros_unusable);
      result = macros_unusable;
    } else if (!root.ptr || root.len == 0) {
      ShowShallowTree(dlg);
      result = kErrData;
    } else {
      const StrSlice folder = PathPart(frame, kPartParent);
      // The run's paths are whole: a folder that cannot be entered only
      // leaves its log in the current one.
      if (folder.ptr && folder.len) (void)DirChange(folder);
      const u8 flags = static_cast<u8>((dlg->deletion ? kRunDelete : 0) | kRunTypeMap);
      MacroContext context{};
      MacroContextInit(&context, macros, StrC(kSiteKeywordList), SiteKwDispatch);
      dlg->running = true;
      dlg->view.set_busy(dlg->view.ctx, true);
      result = SiteGenRun(frame, tree, root, context, mask, rule, flags);
      dlg->running = false;
      dlg->view.set_busy(dlg->view.ctx, false);
      if (saved.len) (void)DirChange(saved);  // the folder it came from; nothing else to go back to
      DlgSetCount(&dlg->written, dlg->written_count);
      DlgSetCount(&dlg->avoids, dlg->avoids_count);
      DoDataExchange(dlg, false);
    }
  }
  WorkMark(mark);
  return result;
}

bool DlgCommand(CVellumcraftDlg* dlg, u16 id) {
  switch (id) {
    case kIdcBrowseFrame:
      OnBrowseFramePage(dlg);
      return true;
    case kIdcBrowseTree:
      OnBrowseTreeFile(dlg);
      return true;
    case kIdcBrowseMacro:
      OnBrowseMacroFile(dlg);
      return true;
    case kIdcStart:
      (void)OnStart(dlg);  // whatever went wrong was shown to the user
      return true;
    default:
      return false;
  }
}

}  // namespace vk
