// The generation run: one call writes the whole site for the chosen
// languages. It starts a fresh log, runs the tree's variable script, loads
// the page tree, then for each language writes the menu fragments and the
// type map and walks the tree, writing (or deleting) one page per named
// node under the overwrite rule, with a progress window. A failure is shown
// in one message box at the end, naming the page or file it is about (with
// the system's reason when the system refused it), and the log's last line
// is the same text after "Run Ended:"; success says nothing.
//
// Pages, fragments and type maps are put in their files as one writer
// writing them one after another would leave them (runtime/writequeue.h):
// a file that cannot be written ends the run there, with nothing after it
// changed, and a run that returns has its files on the disk.
//
// Pages are named after the nodes: a node with children becomes a folder
// holding "index" + suffix + ".html"; the suffix is the language's ("_en",
// none without languages). A node name that would lead outside the output
// root ("..", a separator, a drive) is refused with its subtree, and shown
// at the end like a failed page; a language whose text file is there but
// cannot be used is not written, and shown at the end too.
#pragma once
#include "html/request.h"
#include "runtime/overwrite.h"
#include "runtime/slice.h"

namespace vk {

// Run flags.
enum : u8 {
  kRunFrameOnly = 0x01,   // every page from the frame page
  kRunDelete = 0x02,      // delete the pages the rule lets through
  kRunTypeMap = 0x04,     // write "index.html.var" per language
  kRunTypeMapIndex = 0x08,  // the type map's base name is "index"
  kRunNoMenus = 0x10,     // write no menu fragment files
};
// Language mask bits: bit 0 English ... bit 4 Italian.
constexpr u16 kLangMaskAll = 0x1F;
// The run's log, in the current directory.
constexpr const char* kSiteLogName = "Vellumkit.log";
// Time-window choices of the dialog.
constexpr u16 kTimeWindowCount = 11;

// The run; returns the code shown at its end (0 when none was).
[[nodiscard]] u16 SiteGenRun(StrSlice frame, StrSlice tree, StrSlice root, MacroContext context, u16 mask,
               OverwriteRule rule, u8 flags);
// Makes language index current (0: none): its suffix in group 9 entry 2 and,
// for 1-5, its language file beside the tree file loaded as the current
// parameter list. 0 when loaded; kLineLoadFailed when there is no such file
// or it is empty (the language has no texts); when the file is there but
// cannot be used (a line over 65535 bytes, no memory left, not readable) its
// code with the reason as the error detail. 163 for index 0 with a tree file
// named, 0 without. The store's code when it cannot take the suffix (nothing
// is loaded then).
[[nodiscard]] u16 SiteGenSetLanguage(StrSlice tree, u16 index);
// Runs the tree's variable script ("treeVars.txt" beside "tree.txt"): 0
// also when there is none, else the script's error.
[[nodiscard]] u16 SiteGenLoadVars(StrSlice tree);
// The rule from the dialog's choices: the two boxes, the time-window
// selection (-1 for none) and the two counters.
OverwriteRule SiteGenOverwriteRule(bool overwrite, bool deletion, i16 window, u16* written, u16* avoids);
// Label k (1-based) of the time-window list; empty past the last.
StrSlice SiteGenTimeWindowItem(u16 k);

}  // namespace vk
