#include "html/optmenu.h"

#include "html/forms.h"
#include "html/output.h"
#include "html/request.h"
#include "html/tags.h"
#include "runtime/list.h"
#include "runtime/number.h"
#include "runtime/path.h"
#include "runtime/scratch.h"
#include "runtime/str.h"
#include "runtime/varstore.h"
#include "script/eval.h"
#include "script/mask.h"
#include "script/script.h"
#include "script/template.h"

namespace vk {
namespace {

constexpr const char* kTableOpen = "\n<table cellspacing=\"0\" cellpadding=\"0\">";
constexpr const char* kRowOpen = "<tr>\n<td bgcolor=\"[$]\">";
constexpr const char* kOptionLink = "<a href=\"%s?opt=%s\">";
constexpr const char* kOptionImage = "<img border=\"0\" src=\"[$]\" width=\"98\" height=\"20\">";
constexpr const char* kOptionEnd = "</a>";
constexpr const char* kOptionSeparator = " | ";
constexpr const char* kRowEnd = "\r\n";
constexpr const char* kImageOn = "on";
constexpr const char* kImageOff = "off";
constexpr const char* kColourSelected = "#505050";
constexpr const char* kColourOther = "#808080";
constexpr const char* kBgColourVar = "BGCOLOR$";
constexpr const char* kOptNameVar = "OPTNAME$";

constexpr u16 kMenuFolderEntry = 0;
constexpr char kItemSep = ',';
// Digits of a 16-bit value and the mask's trailing '0'.
constexpr u16 kMaskNumRoom = 6;

// A scratch copy, so that a text read from the variable store survives the
// store changes that evaluating and assigning may make.
StrSlice Keep(StrSlice s) { return StrOrEmpty(StrDup(StrOrEmpty(s))); }

bool AllDigits(StrSlice s) {
  for (u16 i = 0; i < s.len; ++i) {
    if (s.ptr[i] < '0' || s.ptr[i] > '9') return false;
  }
  return true;
}

// The code prefix that row r's options extend: "0" for row 1 and whenever
// the first r - 1 characters of the selection have the value 0, else that
// value followed by "0". A prefix of digits is taken as it is (leading
// zeros dropped), so a deep selection whose prefix passes 65535 still gives
// its own codes instead of a wrapped number.
StrSlice RowMask(StrSlice selection, u16 r) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  const StrSlice prefix = StrMid(selection, 0, static_cast<u16>(r - 1));
  if (AllDigits(prefix)) {
    u16 first = 0;
    while (first < prefix.len && prefix.ptr[first] == '0') ++first;
    const StrSlice digits = StrMid(prefix, static_cast<i16>(first), kNotFound);
    if (digits.len == 0) return WorkReturn(mark, StrC("0"));
    return WorkReturn(mark, StrConcat(digits, StrC("0")));
  }
  u16 f = StrValue(prefix);
  if (f == 0) return WorkReturn(mark, StrC("0"));
  char buf[kMaskNumRoom];
  u16 n = kMaskNumRoom;
  buf[--n] = '0';
  for (; f; f /= 10) buf[--n] = static_cast<char>('0' + f % 10);
  return WorkReturn(mark, buf + n, static_cast<u16>(kMaskNumRoom - n));
}

}  // namespace

void WebMenuWrite(StrSlice) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  HtmlOut(StrC(kTableOpen));
  StrSlice file = StrOrEmpty(CgiParam(StrC(kMenuFileParam)));
  if (file.len == 0) file = StrC(kMenuFileDefault);
  const StrSlice menu_file = StrOrEmpty(CgiDocPath(file));
  StrSlice selection = StrOrEmpty(CgiParam(StrC(kMenuSelParam)));
  if (selection.len == 0) selection = StrOrEmpty(CgiParam(StrC(kMenuSelParamShort)));
  WebMenuRows(menu_file, selection);
  HtmlCloseTag(kTagTable);
  WorkMark(mark);
}

void WebMenuRows(StrSlice, StrSlice selection) {
  selection = StrOrEmpty(selection);
  const u16 n = StoreCount(kGroupOptionMenu);
  for (u16 r = 1; r < n; ++r) {
    const WorkMarkId mark = WorkMark(kMarkQuery);
    const u16 d = r <= selection.len ? StrValue(StrMid(selection, static_cast<i16>(r - 1), 1)) : 0;
    const StrSlice mask = RowMask(selection, r);
    WebMenuRowWrite(mask, d, StoreGet(kGroupOptionMenu, kMenuFolderEntry), StoreGet(kGroupOptionMenu, r));
    // Read again: writing the row may have changed the store.
    const StrSlice chosen = d ? Keep(ListItem(StoreGet(kGroupOptionMenu, r), kItemSep, d)) : kStrEmpty;
    // A name the store cannot take must not leave another row's showing; the
    // empty text needs no room once the variable is there.
    if (VarAssignText(StrC(kOptNameVar), chosen, 1) != 0) (void)VarAssignText(StrC(kOptNameVar), kStrEmpty, 1);
    WorkMark(mark);
  }
}

void WebMenuRowWrite(StrSlice mask, u16 selected, StrSlice image_folder, StrSlice items) {
  const WorkMarkId mark = WorkMark(kMarkQuery);
  mask = Keep(mask);
  image_folder = Keep(image_folder);
  items = Keep(items);
  const StrSlice bg = StrOrEmpty(ExprEvalStr(StrC(kBgColourVar)));
  HtmlOut(TplSubstDollar(StrC(kRowOpen), bg));
  const StrSlice script = CgiScriptNameAttr();
  const u16 m = ListCount(items, kItemSep);
  for (u16 k = 1; k <= m; ++k) {
    const WorkMarkId item_mark = WorkMark(kMarkQuery);
    const StrSlice item = ListItem(items, kItemSep, k);
    const StrSlice code = StrOrEmpty(MaskApply(mask, NumToStr(static_cast<i16>(k))));
    const StrSlice link[] = {script, code};
    HtmlOut(StrFormatTexts(StrC(kOptionLink), link, 2));
    if (image_folder.len) {
      const StrSlice name = TplSubstDollar(item, StrC(k == selected ? kImageOn : kImageOff));
      HtmlOut(TplSubstDollar(StrC(kOptionImage), StrOrEmpty(PathJoin(image_folder, name))));
    } else {
      HtmlFontColor(item, StrC(k == selected ? kColourSelected : kColourOther));
    }
    HtmlOut(StrC(kOptionEnd));
    if (k < m && image_folder.len == 0) HtmlOut(StrC(kOptionSeparator));
    WorkMark(item_mark);
  }
  HtmlCloseTag(kTagTd);
  HtmlCloseTag(kTagTr);
  HtmlOut(StrC(kRowEnd));
  WorkMark(mark);
}

}  // namespace vk
