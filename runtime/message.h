// Numbered messages. A request is a text of four characters NNNN (the
// message number, decimal with leading zeros), optionally followed by one
// separator and a default text. Its text comes from the language module when
// one is loaded, else from the request's default text, else from the
// built-in Spanish catalogue (runtime/catalog.h).
//
// The language module is the file "KL_LANG_%s.MSJ" filled with the language
// code (identity entry 4; "*" when empty: the first module found), looked
// for in each folder of identity entry 5 (the current directory when it is
// empty). The name has at most 15 characters, so a code longer than three,
// or one holding a folder separator, names no module. One message per
// line: four digits, one separator, the text, where backslash-n stands for
// CR LF; lines numbered 0 (comments, blank lines) are ignored, numbers
// ascend and a skipped number has the empty text. A module of 256 lines or
// more is not used. The module is looked for once, at the
// first lookup; changing the language later has no effect on messages.
//
// The module's texts are kept joined as entry kMsgTextEntry of variable
// group kMsgTextGroup, a group that nothing else in the library writes (the
// run's language suffix lives in group 9 entry 2, away from it). Lines come
// in through the line queue (group 37); a load removes only the lines that
// it queued itself.
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr u16 kMsgTextGroup = 29;
constexpr u16 kMsgTextEntry = 0;

constexpr u16 kMsgNumberWidth = 4;   // digits of a message number
constexpr u16 kMsgTextStart = 5;     // the text follows the digits and one separator
constexpr u16 kMsgMaxTexts = 256;    // end-table entries; also the line limit
constexpr u16 kMsgMaxRanges = 8;     // parses held (a process normally has one)
constexpr u16 kMsgModuleNameMax = 15;
// The module's file name is prefix + language code + suffix.
constexpr const char* kMsgModulePrefix = "KL_LANG_";
constexpr const char* kMsgModuleSuffix = ".MSJ";
constexpr const char* kMsgModuleAnyCode = "*";

// Load states.
enum : u8 {
  kMsgNotTried = 0,
  kMsgNoModule = 1,  // looked for; no module in use
  kMsgLoaded = 2,
};

// Numbers first..last of one parse; their texts are indexed from base on.
struct MsgRange {
  u16 first;
  u16 last;
  u16 base;
};

struct MsgCatalog {
  u8 state;
  // ends[i]: the offset in the text store where text i ends (text i starts
  // where text i - 1 ends, text 0 at offset 0).
  u16 ends[kMsgMaxTexts];
  u16 count;  // texts indexed
  MsgRange ranges[kMsgMaxRanges];
  u16 range_count;
};

// The loaded module's state (read-only).
const MsgCatalog* MsgCatalogGet();
// Forgets the module, so that the next lookup looks for it again: for a
// library restarted within one process, whose store no longer holds the
// module's texts.
void MsgCatalogReset();

// The text of the message. Never fails: a number without any text gives the
// empty text. The result is one new scratch entry; only when the scratch
// stack has no room is a catalogue text returned in place (any other text is
// then empty).
StrSlice MsgTextSlice(StrSlice request);
// The same for a NUL-terminated request.
StrSlice MsgText(const char* request);

// Supplies module lines when no module file is found: called with (user, 0,
// 0), it queues lines in the module format on the line queue and returns how
// many it queued.
using LangModuleSource = u16 (*)(void* user, u16, u16);

// Finds, reads and parses the module (once: the state leaves kMsgNotTried
// for good). When no file is found and source is given, the lines that
// source queues are parsed instead. Returns 0.
[[nodiscard]] u16 LangModuleLoad(LangModuleSource source, void* user);

// Parses the first n lines of the line queue as module lines and removes
// them (at most the lines the queue holds). n of 0 or kMsgMaxTexts or more
// parses nothing. 0; or 159 when the text store cannot take the texts, 145
// when the scratch stack has no room, 168 when every range is used: then
// nothing of these lines is kept.
[[nodiscard]] u16 MsgModuleParse(u16 n);

// The module's text of the number as one new scratch entry: the empty text
// for a number outside the module or without a text; the error slice 145
// when the scratch stack has no room.
StrSlice MsgModuleText(u16 number);

// The built-in catalogue's text of key (a four-digit number), pointing into
// the constant catalogue: the item that starts with exactly those digits
// and a blank, up to the next TAB. The empty text when no item has the key.
StrSlice MsgBuiltinText(StrSlice key);

}  // namespace vk
