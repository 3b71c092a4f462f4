#pragma once

#include <QColor>

// Background of a lamp button on the plan.
inline const QColor kLampLit(250, 250, 10);
inline const QColor kLampOff(192, 192, 192);

inline QColor lampColour(bool lit) { return lit ? kLampLit : kLampOff; }
