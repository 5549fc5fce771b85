// The record-move words of the data-file layer: the words a script names a
// move of a data file's record with (FILELOCATE), which sorted lists also
// move their cursor by (SORT$ MOVE).
#pragma once
#include "runtime/slice.h"

namespace vk {

// The 1-based number of a record-move word ("NEW", "TOP", "PRV", "RLD",
// "NXT", "BOT", ... "TSL"), in any letter case, blanks around it ignored; 0
// for any other word.
u16 DataFileMoveWord(StrSlice word);

}  // namespace vk
