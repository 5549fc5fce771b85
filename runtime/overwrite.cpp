#include "runtime/overwrite.h"

#include "runtime/datetime.h"
#include "runtime/file.h"
#include "runtime/number.h"

namespace vk {
namespace {

enum : i16 { kCmpLess = -1, kCmpEqual = 0, kCmpGreater = 1 };

FileStamp StampOf(const FileInfoRecord& info, u8 stamp) {
  switch (stamp) {
    case kStampCreated:
      return info.created;
    case kStampAccessed:
      return info.accessed;
    default:
      return info.written;
  }
}

u8 ChosenStamp(u32 flags) {
  if (flags & kOverwriteCreated) return kStampCreated;
  if (flags & kOverwriteAccessed) return kStampAccessed;
  return kStampWritten;
}

// Today and now from one clock reading, so that a reading on either side of
// midnight cannot pair one day's date with the other day's time.
void ClockNow(DateNumber* date, u32* time) {
  const i64 t = TimeSeconds(nullptr);
  *date = DateFromTime(t);
  *time = TimeFromTime(t);
}

i32 AgeOfStamp(FileStamp s, u8 unit) {
  DateNumber today = 0;
  u32 now = 0;
  ClockNow(&today, &now);
  return DateTimeDiff(s.date, s.time, today, now, unit);
}

}  // namespace

i32 FileAge(StrSlice path, u8 stamp, u8 unit) {
  FileInfoRecord info{};
  // A missing file has the empty stamp (date 0), as FileTime reads it.
  if (FileFindInfo(path, &info) != 0) info = FileInfoRecord{};
  return AgeOfStamp(StampOf(info, stamp), unit);
}

u16 FileOverwriteCheck(StrSlice path, OverwriteRule rule) {
  FileInfoRecord info{};
  // A rule that allows both creating and overwriting without a test needs
  // nothing from the file.
  constexpr u32 kAlways = kOverwriteExisting | kOverwriteCreate;
  const bool always = (rule.flags & (kAlways | kOverwriteTestMask)) == kAlways;
  const bool exists = always || FileFindInfo(path, &info) == 0;
  u16 answer = 0;
  if (always) {
    answer = 1;
  } else if (!exists) {
    answer = (rule.flags & kOverwriteCreate) ? 1 : 0;
  } else if ((rule.flags & kOverwriteTestMask) == 0) {
    answer = (rule.flags & kOverwriteExisting) ? 1 : 0;
  } else {
    const FileStamp stamp = StampOf(info, ChosenStamp(rule.flags));
    i16 cmp = kCmpEqual;
    if (rule.flags & kOverwriteAgeTest) {
      // Both sides as signed 64-bit numbers: a stamp in the future has a
      // negative age and so lies inside every window.
      const i64 age = AgeOfStamp(stamp, kDiffMinutes);
      const i64 window = rule.ref_time;
      cmp = window > age ? kCmpGreater : (window == age ? kCmpEqual : kCmpLess);
    } else {
      cmp = DateRangeCompare(rule.ref_date, rule.ref_time, stamp.date, stamp.time, rule.tolerance);
    }
    answer = ((cmp == kCmpEqual && (rule.flags & kOverwriteOnEqual)) ||
              (cmp == kCmpGreater && (rule.flags & kOverwriteOnGreater)) ||
              (cmp == kCmpLess && (rule.flags & kOverwriteOnLess)))
                 ? 1
                 : 0;
  }
  u16* counter = answer ? rule.written : rule.avoids;
  if (counter) *counter = static_cast<u16>(*counter + 1);
  return answer;
}

}  // namespace vk
