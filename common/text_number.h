#pragma once

#include <string>
#include <string_view>

namespace hall {

// The number a text begins with, as the fields read it: blanks, tabs and line
// feeds are skipped wherever they stand; then a sign, digits, a point and
// digits, an exponent (E or D); or &H / &O and a hexadecimal or octal whole
// number. Reading stops at the first character that does not fit; a text
// without a leading number is 0. The point is the only decimal separator.
// Values beyond the range of a double become the largest double of that sign.
double LeadingNumberValue(std::string_view text);

// The general number format: up to 15 significant digits, no group separators,
// `decimalSeparator` before a fraction, no fraction for whole numbers, and the
// exponent form ("1E+15", "1E-05") from 1E15 up and below 0.0001.
std::string FormatGeneralNumber(double value, char decimalSeparator);

// A field's text replaced by its leading-number value in the general format.
std::string NumberRewrite(std::string_view text, char decimalSeparator);

// The nearest whole number, halves to the even neighbour (2.5 → 2, 3.5 → 4).
double RoundHalfEven(double value);

}  // namespace hall
