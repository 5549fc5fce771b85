// Sub-templates and text files placed into a page. INCLUDE renders a
// sub-template into the page at the field's place, with the page's macro
// values and the site keywords available inside it; TEXT writes a plain
// text file of the current language converted to HTML.
//
// Both find their file through the page's branch name: the page path
// (variable group 9 entry 0) cut to some leading components, with every '\'
// turned into '_' (products\tools\hammer gives products_tools_hammer, cut
// to one component products). A sub-template is the branch name followed
// by ".sub.html"; a text file is a name followed by "." and an extension
// (txt unless given) with the language suffix before the extension
// (products_tools_hammer_fr.txt). The names are relative: during a run they
// lie in the frame page's folder, the current directory.
//
// While a sub-template is rendered its branch name is on a process-wide
// list of the enclosing includes; a sub-template that includes itself gets
// the name with "_index" appended tried once instead, so recursion ends.
//
// Text results are one new scratch entry, or an error slice carrying the
// code of a failed evaluation.
#pragma once
#include "html/render.h"
#include "runtime/slice.h"

namespace vk {

// The branch name that an argument selects. An empty argument, or one that
// evaluates to the empty text, gives the page's whole branch name; a value
// holding BRANCHLEVEL=n (n from 1 to the page's depth) gives the branch
// name cut to n components. Any other value (a plain name, BRANCHLEVEL=0,
// a level deeper than the page) is returned itself. The argument is an
// expression, so a plain name is written in quotes ('footer').
StrSlice SiteGenBranchLevel(StrSlice arg);
// SiteGenBranchLevel, and when the argument gives no value of its own, the
// nearest branch up the page path whose file "branch.ext" exists: the
// page's own, then each ancestor's. When none exists the whole branch name
// comes back. With an explicit name or level no search is made.
StrSlice SiteGenFindSubTemplate(StrSlice arg, StrSlice ext);
// INCLUDE(branch, keyword list): renders the sub-template that
// SiteGenFindSubTemplate finds for the first argument, with the keyword
// list that the second argument evaluates to (the site's nine keywords when
// it is empty) and the site keyword handler. No sub-template writes nothing
// and leaves the status 0, as does an empty one; a render error, or an
// argument that fails to evaluate, becomes the returned state's status
// (ending the page). The file and position words come back unchanged.
HtmlTagState SiteKwInclude(HtmlTagState state, StrSlice macros);
// TEXT(branch, extension, fallback name, options): the text file of the
// first argument's branch name, else of the fallback name, in the current
// language; its bracketed fields are evaluated as expressions (not looked
// up in the macro values), "\{" and "\}" become brackets, and the text is
// written converted by TextToHtml (a .tab file in table form; the options
// RTF, UCASE, LCASE). No file: nothing is written and 0 returned. An error
// on the way writes nothing and returns its code.
[[nodiscard]] u16 SiteKwText(StrSlice args);

}  // namespace vk
