// What the option views show beside each option value: its description and
// range text, the default values, and the two colour marks. The descriptions,
// ranges and defaults come from the device image of the connected register
// or, before any register was read (no device image), from the built-in
// catalogue DefaultOptions.
#pragma once
#include "app/Utilscolor.h"
#include "settings/MemTable.h"

#include <string>

class TKKMInfo;
class TBD;

constexpr int OptionCaptionWidth = 180;  // mtOptions.Captions
constexpr int OptionRangeWidth = 12;     // mtOptions.Diapazon
constexpr TColor OptionRangeMarkColor = 0x0000FF;  // red: value out of range (bold)
constexpr TColor OptionDiffMarkColor = 0xFF0000;   // blue: value differs (bold)

// Description of option n: the image's caption (empty outside 1..64), else
// the catalogue's (empty outside 1..64).
std::string OptionCaption(int n, const TKKMInfo* info);
// "Min - Max" (a null bound gives the empty text, so " - "), with "0; " in
// front when CanNul is set and the text of Min is not "0".
std::string OptionRangeText(const TFieldValue& min, const TFieldValue& max, const TFieldValue& canNul);

// Calculated fields of an mtOptions row: Captions and Diapazon, cut to their widths.
void mtOptionsCalcFields(TRecordRef row, const TKKMInfo* info);

// "по умолчанию": replaces the current profile's option rows by the defaults
// of the image (GetOptionCount rows; none while the options were never
// read) or, without an image, by the catalogue's 32 rows. Nothing is sent
// to the register.
void SetDefaultOptions(TBD& bd);

// Range test of an mtOptions row: Value below Min or above Max (a null
// bound counts as 0), except a 0 when CanNul is set. Drawn red and bold.
bool OptionOutOfRange(TRecordRef row);
// Difference mark of an mtOptions row, drawn blue and bold: a register
// profile row ("0") whose value differs from the saved profile's (only when
// a saved profile exists), or a row of any other profile whose value differs
// from the register's.
bool OptionDiffers(TRecordRef row, const TBD& bd);
