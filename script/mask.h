// Edit masks and field types.
//
// A mask is a text whose slot characters take the value: '\' the next value
// character, '?' the value character at the same position (or the next one,
// see MaskText), '#' a digit shown as a blank when there is none, '0' a digit
// shown as '0' when there is none. In a numeric mask '.' is the decimal point
// and ',' a grouping separator; the value's decimal point is aligned with the
// mask's and the value rounded half away from zero to the mask's decimals.
// When the integer part does not fit, the grouping commas give way first,
// then the decimals one by one; the width never changes. A value that still
// does not fit shows '*' in every digit position.
//
// A field type (a letter or digit with a width) gives fixed-width columns:
// 'V' blank, 'A' 'B' 'C' 'P' text, 'D' 'F' date, 'N' 'L' and '1' to '9'
// numeric (a digit is the number of decimals).
//
// Every text result is one new scratch entry; an error slice given as the
// value (or the mask) passes through.
#pragma once
#include "runtime/slice.h"

namespace vk {

// MaskApplyMode modes (any other value is automatic).
enum : u16 {
  kMaskModeText = 0,
  kMaskModeNumber = 1,  // numeric, with the fixed separators
  kMaskModeAuto = 255,
};

// MaskText kinds: the position of the mask's first slot character in "\?#0".
enum : u16 {
  kMaskKindBackslash = 0,
  kMaskKindQuery = 1,
  kMaskKindHash = 2,
  kMaskKindZero = 3,
};

// MaskApplyMode in automatic mode.
StrSlice MaskApply(StrSlice mask, StrSlice value);
// A mask without slot characters gives the mask itself. Numeric with mode 1,
// or when mode is not 0, the first slot is '#' or '0' and the value holds
// only ".-1234567890,D " characters. Otherwise a digit mask without '\' and
// '?' gives the mask itself, any other mask is a text mask.
StrSlice MaskApplyMode(StrSlice mask, StrSlice value, u16 mode);
// The number text value (trimmed, trailing non-digits dropped) in the digit
// area of mask (first to last '#' or '0'); fixed selects the fixed locale.
StrSlice MaskNumber(StrSlice mask, StrSlice value, bool fixed);
// The value in the text slots of mask. A '\' followed by blanks up to the
// next '\' counts as a run of slots ("\   \" is five). '?' takes the value
// character at its own position for kMaskKindQuery and kMaskKindZero, else
// the next one; '\' always takes the next one. Other characters stay.
StrSlice MaskText(StrSlice mask, StrSlice value, u16 kind);
// The default mask of a field type, width characters: text slots for 'A',
// 'B', 'D', 'L'; digit slots for 'N' and '1' to '9', a digit d putting the
// decimal point d positions from the end when d + 1 is below the width
// ('.' when fixed, else the locale's separator). The empty text for any other
// type.
StrSlice MaskForType(char type, u16 width, bool fixed);
// The value as exactly width characters for the field type; a numeric value
// longer than the width is rounded to the decimals that fit beside its
// integer part, and the error slice 168 when its integer part does not fit.
StrSlice FieldFormat(char type, StrSlice value, u16 width);

}  // namespace vk
