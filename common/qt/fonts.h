#pragma once

#include <QFont>

namespace hall {

// The classic dialog font, with metric look-alikes where it is not installed.
QFont msSansSerif(qreal pointSize = 8.25, bool bold = false, bool italic = false);

// The serif of the lamp plan, with its metric-compatible fallbacks.
QFont timesNewRoman(qreal pointSize = 8.25, bool bold = false);

}  // namespace hall
