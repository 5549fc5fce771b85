// The main dialog: three paths (frame page, tree file, macro value file),
// five language boxes, the overwrite rule (the "Overwrite" box, the
// time-window combo and the deletion box), the Written and Avoids counts and
// "Start", which runs the generator. The paths are remembered in
// "config.txt" in the current directory.
//
// The dialog's logic lives here, free of any window system; a view (the Qt
// window, or the console for a run without a display) supplies the
// controls: it moves the fields to and from the members, holds the combo
// box, and greys "Start" and the browse buttons during a run. The members
// hold the fields' text as typed, 8-bit (Latin-1); paths are made library
// paths only when Start uses them.
#pragma once
#include "runtime/slice.h"

namespace vk {

// Control ids.
enum : u16 {
  kIdcFramePage = 1001,
  kIdcBrowseFrame = 1002,
  kIdcStart = 1003,
  kIdcEnglish = 1004,
  kIdcTreeFile = 1005,
  kIdcBrowseTree = 1006,
  kIdcMacroFile = 1007,
  kIdcBrowseMacro = 1008,
  kIdcSpanish = 1009,
  kIdcFrench = 1010,
  kIdcGerman = 1011,
  kIdcItalian = 1012,
  kIdcOverwrite = 1013,
  kIdcTimeWindow = 1014,
  kIdcWritten = 1015,
  kIdcAvoids = 1016,
  kIdcDeletion = 1017,
};

constexpr const char* kDlgCaption = "Vellumcraft for Linux";
constexpr const char* kConfigName = "config.txt";
// The request of the warning shown when a required path is missing.
constexpr const char* kMsgPathsRequired = "1001 Frame page and tree file are required";
// The menu entry that opens the about box.
constexpr const char* kAboutMenuText = "&Acerca de Vellumcraft...";
constexpr u16 kSysCmdAbout = 0x10;

// Room of one field; longer text is cut.
constexpr u16 kDlgFieldMax = 1024;
// OnStart's answer when a run is already under way: nothing was done.
constexpr u16 kDlgBusy = 0xFFFE;

struct DlgField {
  char bytes[kDlgFieldMax];
  u16 len;
};

struct CVellumcraftDlg;

// The controls of one dialog window.
struct DlgView {
  void* ctx;
  // Fields and boxes to the members (save) or the members to them.
  void (*exchange)(void* ctx, CVellumcraftDlg* dlg, bool save);
  // The time-window combo: emptied, filled, read and set. It is read as
  // the text it shows, typed or picked (empty when nothing is chosen); it
  // is set by a label's place in the list (-1: none chosen).
  void (*combo_reset)(void* ctx);
  void (*combo_add)(void* ctx, StrSlice label);
  void (*combo_text)(void* ctx, DlgField* text);
  void (*combo_select)(void* ctx, i16 index);
  // "Start" and the browse buttons greyed (busy) or usable again.
  void (*set_busy)(void* ctx, bool busy);
};

struct CVellumcraftDlg {
  DlgField frame;
  DlgField tree;
  DlgField values;
  bool german;
  bool english;
  bool spanish;
  bool french;
  bool italian;
  bool overwrite;
  bool deletion;
  DlgField written;
  DlgField avoids;
  // Beyond the fields: whether a run is under way, and its counts.
  bool running;
  u16 written_count;
  u16 avoids_count;
  DlgView view;
};

// Empties every member and binds the view (null: a view that does nothing).
void DlgConstruct(CVellumcraftDlg* dlg, const DlgView* view);
// Binds another view (null: a view that does nothing), as when the
// dialog's window goes.
void DlgBindView(CVellumcraftDlg* dlg, const DlgView* view);
// Controls to members (save) or back, through the view.
void DoDataExchange(CVellumcraftDlg* dlg, bool save);

// Reads "config.txt" into the paths, fills the time-window combo with its
// eleven labels (nothing chosen) and shows the members. True.
bool OnInitDialog(CVellumcraftDlg* dlg);
// The browse buttons: an open-file dialog; a chosen file becomes the field.
void OnBrowseFramePage(CVellumcraftDlg* dlg);
void OnBrowseTreeFile(CVellumcraftDlg* dlg);
void OnBrowseMacroFile(CVellumcraftDlg* dlg);
// "Start": remembers the paths, runs the generator from the frame page's
// folder and shows the counts. The time window is the combo's text taken
// as a label (any letter case, "all" too); an empty one means "All
// Files", and it matters only with "Overwrite" ticked. 0 when the run
// reported nothing; the code the run showed; kErrData when the run was
// refused (a path missing, with "Overwrite" ticked a time window that is
// no label, or a tree file too shallow to have an output root); the code
// of a macro value file that is there but cannot be used (146 over 65535
// bytes), which is shown and refuses the run; kDlgBusy during a run.
[[nodiscard]] u16 OnStart(CVellumcraftDlg* dlg);
// The command of a button id (Start or a browse button); false for others.
bool DlgCommand(CVellumcraftDlg* dlg, u16 id);

// The output root of a library tree path: its folder less the last two
// folder levels. Empty when the tree file lies fewer than three folders
// deep. One new scratch entry.
StrSlice DlgOutputRoot(StrSlice tree);
// A field's text as a library path: '/' as '\', and a relative path taken
// from base. One new scratch entry.
StrSlice DlgAbsolutePath(StrSlice field, StrSlice base);
// The three paths of a "config.txt" text, one per line (CR LF, LF or CR);
// absent lines give empty paths. Slices into text.
void DlgConfigParse(StrSlice text, StrSlice out[3]);

inline StrSlice DlgText(const DlgField& f) { return StrSlice{f.bytes, f.len}; }
// Sets a field (cut to its room; an error slice empties it).
void DlgSetText(DlgField* f, StrSlice text);
// Sets a field to a counter's unsigned decimal text.
void DlgSetCount(DlgField* f, u16 count);

}  // namespace vk
