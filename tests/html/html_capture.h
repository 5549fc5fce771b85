// A fixture for HTML writer tests: the memory manager and the value tables
// (for _AUXSTAT) started, and a temporary file as the output sink; Taken()
// gives the bytes written since the last call. The end undoes it all.
#pragma once
#include "script/interp_fixture.h"
#include "sink_capture.h"

using HtmlCaptureTest = WithSink<ValTabLibTest>;
