// How the profile store writes keys and numbers into its text fields: the
// stored key from the local clock, and amounts and rates as decimal text with
// the decimal separator of the user's locale.
#pragma once
#include "settings/FieldValue.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

// Whole seconds from 1899-12-30 00:00 to the given local date and time.
long long StoredKeyOf(const std::tm& local);
// The stored key of the local time now.
long long StoredKeyNow();

// The decimal separator of the user's locale (the environment's LC_NUMERIC
// or LANG); '.' when the locale cannot be had.
char LocaleDecimalSeparator();

// A number in the general format: the shortest text that reads back as the
// value, with at most 15 significant digits, the separator given.
std::string GeneralNumberText(double value, char separator);
// Money: the shortest exact text of the amount (at most 4 decimals).
std::string CurrencyText(TCurrency value, char separator);
// A stored number: blanks around it ignored, '.' or ',' as the separator,
// an optional exponent. No value for empty text or text that is not a number.
std::optional<double> ParseStoredNumber(std::string_view text);
