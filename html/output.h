// The HTML output sink: every byte of HTML the library writes leaves through
// HtmlOut, which writes to one process-wide stream owned by the library,
// standard output until another stream is installed. Rendering a page into
// a file installs that file's stream, and afterwards the null sink (nothing
// is written). Standard output itself is never reopened.
//
// The standard output slot of the file table (slot 1) follows the sink, so
// a script writing to slot 1 writes into the page being rendered.
#pragma once
#include <cstdio>
#include "runtime/slice.h"

namespace vk {

// Writes text to the sink, up to its first NUL byte. Nothing is written
// while _AUXSTAT has kAuxNoHtml set, to the null sink, or for an error
// slice. A failing write is not noticed.
void HtmlOut(StrSlice text);
// Installs f as the sink (null: the null sink) and as the stream of file
// slot 1; returns the sink it replaces. The caller keeps ownership of f
// and closes it after installing another sink.
std::FILE* HtmlSinkSet(std::FILE* f);
// The current sink (null for the null sink).
std::FILE* HtmlSink();

}  // namespace vk
