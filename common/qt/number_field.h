#pragma once

#include <QString>

namespace hall {

// The decimal separator of the locale in force (the system's unless a test
// sets another default): what the number rewrite writes.
char decimalSeparator();

// The leading-number value of a field's text (the point is the only
// separator it reads).
double leadingNumber(const QString& text);

// The field's text as the number rewrite leaves it.
QString numberRewrite(const QString& text);

// A number in the general number format with the locale's separator.
QString generalNumberText(double value);

}  // namespace hall
