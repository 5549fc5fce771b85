// The page tree: the site's page hierarchy as read from the tree file, one
// node per line, the depth given by the line's TAB characters. Node i is
// element i of value table 9, in file order; links between nodes are node
// indexes, kSiteNone for none. Node texts are scratch entries, one per node,
// formatted to the load's width (blank-padded or cut), above a mark taken
// when the first node is added; they stay valid until SiteTreeFree.
//
// A tree is walked in pre-order: SiteTreeAt for the first node, then
// SiteTreeNext. Each step's depth change tells how the walk moved: +1 into
// the first child, 0 to a next sibling, -k after climbing k levels. At the
// end of the walk it is minus the depth of the last node, so a walker that
// closes one structure per level climbed closes every open level.
//
// The run and the menu writer move one shared cursor (SiteCursorGet); the
// site keywords read it to know the page being rendered.
#pragma once
#include "runtime/slice.h"

namespace vk {

constexpr u16 kSiteNone = 0xFFFF;       // no node; the end of a walk
constexpr u16 kSiteTextWidth = 384;     // the width a generation run loads with
constexpr u16 kSiteWidthAuto = 0xFFFF;  // width: the text's length and half of it again
// Levels 0 to 383 exist; a line indented deeper stays at level 383.
constexpr u16 kSiteMaxLevels = 384;

struct SiteNode {
  StrSlice text;     // the node text at the load's width
  u16 parent;        // kSiteNone for a top-level node
  u16 first_child;
  u16 prev_sibling;
  u16 next_sibling;
};

// The node text's fields, split at ',': 1 the page name, 2 the options.
enum : u16 { kNodeFieldName = 1, kNodeFieldOptions = 2 };
// Field k of a node text, blanks and tabs trimmed (a slice into the text).
StrSlice SiteNodeField(StrSlice text, u16 k);

// SiteNodeOption kinds.
enum : u8 { kOptTemplate = 1, kOptLink = 2, kOptPageMode = 3 };
// The option of that kind among the ';' entries of the current node's
// option item (item 2 of its text): a link holds '/', a page mode is one
// character of value 1 or more, anything else is a template. The last entry
// of the kind wins; the empty text when there is none. Nothing is allocated.
StrSlice SiteNodeOption(u8 kind);

// The room a tree leaves on the scratch stack for rendering a page: every
// node text is a scratch entry, and a page whose keywords and fields find no
// room left could not be written. A node that would eat into this room is
// refused at load, as a node that does not fit at all. With the
// application's stack (512 KB, 512 marks) the marks are the limit: a tree of
// at most 473 nodes, a few more for a caller that holds fewer entries of its
// own below the tree. A rich page (menu, breadcrumb, site map, language
// selector, an included sub-template, a text file and nested calls) takes
// about 25 marks; deeper nesting than the rest allows ends that page with
// 145, named, and the page keeps its old file.
constexpr u16 kSitePageMarks = 32;
constexpr u32 kSitePageBytes = 0x10000;  // the longest text, once

// The node table holds at most 65535 bytes of records.
constexpr u16 kSiteMaxNodes = static_cast<u16>(0xFFFF / sizeof(SiteNode));

struct SiteCursor {
  i32 depth_change;
  u16 index;               // kSiteNone at the end of the walk
  const SiteNode* record;  // null at the end; valid until the tree changes
};

// The one shared walk position.
SiteCursor* SiteCursorGet();

// Loads the tree file's lines as nodes after any nodes already held. 0, or:
// kLineLoadFailed when the file is missing, unreadable, has no line or does not fit
// the line queue; 145 when the nodes do not fit the scratch stack with the
// room kept for a page, or the node table. On failure the whole tree is released (none is left) and the
// error detail names the file and the reason.
[[nodiscard]] u16 SiteTreeLoad(StrSlice path, u16 width);
// Adds a node after the existing ones: the first child of node link
// (as_child set) or its next sibling; link kSiteNone adds an unlinked
// top-level node. The new index, or kSiteNone (nothing added) when the text
// cannot be built or would leave less than a page's room on the scratch
// stack, the table refuses the node or link is not a node.
u16 SiteTreeAddNode(u16 link, StrSlice text, u8 as_child, u16 width);
// Releases the node table and the node texts; the shared cursor goes to the
// end. Without a tree nothing on the scratch stack is touched.
void SiteTreeFree();
// Number of nodes held.
u16 SiteTreeCount();
// Index of the first top-level node (0 for a loaded tree); kSiteNone when
// the table is empty.
u16 SiteTreeRoot();
// The cursor on node index: depth change 0 (kSiteNone for index kSiteNone),
// the index and its record, or the end when there is no such node.
SiteCursor SiteTreeAt(u16 index);
// The cursor on the node after index in pre-order; with descend clear the
// children of index are skipped. A missing node gives the end with depth
// change 0.
SiteCursor SiteTreeNext(u16 index, u8 descend);

}  // namespace vk
