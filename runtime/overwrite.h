// The decision whether an output file may be (re)written, by the rule the
// main dialog builds: missing files created or not; existing files always,
// never, or by comparing one of the file's stamps with a reference moment or
// its age with a window. Each answer is counted in the caller's Written or
// Avoids counter (16-bit, wrapping, never reset here).
#pragma once
#include "runtime/slice.h"

namespace vk {

// OverwriteRule flag bits.
enum : u32 {
  kOverwriteExisting = 0x01,  // existing files may be overwritten (no test bit set)
  kOverwriteCreate = 0x02,    // a missing file may be created
  kOverwriteOnEqual = 0x04,   // allowed when the comparison says "equal"
  kOverwriteOnGreater = 0x08, // ... "greater"
  kOverwriteOnLess = 0x10,    // ... "less"
  kOverwriteAgeTest = 0x20,   // compare the window with the file's age in minutes
  kOverwriteCreated = 0x40,   // use the creation stamp
  kOverwriteAccessed = 0x80,  // use the last-access stamp (when 0x40 is clear)
  kOverwriteTestMask = 0x3C,
};

// Passed by value. Under kOverwriteAgeTest, ref_time is the age window in
// minutes and ref_date and tolerance are not read; otherwise the file's stamp
// is compared with (ref_date, ref_time) within tolerance milliseconds.
struct OverwriteRule {
  u32 flags;
  u32 ref_date;    // YYYYMMDD
  u32 ref_time;    // ms since midnight, or the age window in minutes
  u32 tolerance;   // ms
  u16* written;    // incremented on "allowed"; may be null
  u16* avoids;     // incremented on "refused"; may be null
};

// FileAge stamps.
enum : u8 {
  kStampCreated = 0,
  kStampAccessed = 1,
  kStampWritten = 2,
};

// 1 allowed, 0 refused; counts the answer.
u16 FileOverwriteCheck(StrSlice path, OverwriteRule rule);
// The time from the file's stamp to now in a DateTimeDiff unit (0 days,
// 1 hours, 2 minutes, 3 seconds); negative for a stamp in the future.
i32 FileAge(StrSlice path, u8 stamp, u8 unit);

}  // namespace vk
