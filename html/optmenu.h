// The option menu: rows of options written as one HTML table. Row 1 holds
// the top-level options; each further row holds the options below the one
// selected in the row above. The selection travels in the request as a
// string of digits, one per row ("31": option 3 of row 1, then option 1 of
// row 2), and every option links to the same script ([SCRIPT_NAME],
// escaped as an attribute value) with the selection that choosing it would
// give.
//
// The rows come from variable group 5: entry 0 the image folder, each entry
// from 1 on one row, a comma list of items. With an image folder an item is
// an image file name whose "[$]" stands for "on" or "off"; without one it
// is the option's text. The rows' background colour is the interpreter
// variable BGCOLOR$; the selected item of each row is stored in OPTNAME$,
// so after the menu it holds the selected item of the last row.
//
// Nothing is reported: an empty group 5 writes only the table's opening and
// closing tags.
#pragma once
#include "runtime/slice.h"

namespace vk {

// The request parameter naming the menu file, and its default in the
// document folder.
constexpr const char* kMenuFileParam = "optfile";
constexpr const char* kMenuFileDefault = "config/menu.txt";
// The request parameters holding the selection, the first non-empty wins.
constexpr const char* kMenuSelParam = "menuopt";
constexpr const char* kMenuSelParamShort = "opt";

// Writes the whole menu with the request's selection; args is not used.
void WebMenuWrite(StrSlice args);
// Writes one row per entry of group 5 from entry 1 on and sets OPTNAME$
// after each. The menu file is not read: the rows are group 5's.
void WebMenuRows(StrSlice menu_file, StrSlice selection);
// Writes one table row: each item linked to the code that mask gives for
// its 1-based number, item `selected` (0 for none) marked as chosen.
void WebMenuRowWrite(StrSlice mask, u16 selected, StrSlice image_folder, StrSlice items);

}  // namespace vk
