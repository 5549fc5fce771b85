// The built-in Spanish message catalogue: three constant texts, each a
// sequence of items "NNNN text" (four digits, a blank, the text) separated
// by TAB characters. Block 1 holds 0001-0039 and begins with an empty item,
// block 2 0040-0088, block 3 0089-0131; not every number is present. A few
// texts hold a TAB of their own: a lookup ends there, so what follows the
// inner TAB is never part of a message. Texts are windows-1252 bytes.
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr u16 kMsgCatalogBlocks = 3;
constexpr char kMsgItemSeparator = '\t';
// The first keys of blocks 2 and 3.
constexpr const char* kMsgBlock2First = "0040";
constexpr const char* kMsgBlock3First = "0089";

// The text of catalogue block 1-3; the empty text for any other number.
StrSlice MsgCatalogBlock(u16 block);

}  // namespace vk
