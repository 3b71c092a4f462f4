#pragma once

#include <QRect>
#include <QtMath>

namespace hall {

// Positions and sizes are given in twips; 15 twips are one pixel at 96 DPI,
// and Qt scales pixels for high-DPI screens.
inline int twips(int t) { return qRound(t / 15.0); }

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace hall
