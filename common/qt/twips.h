#pragma once

#include <QRect>
#include <QString>
#include <QtMath>

namespace hall {

// Positions and sizes are given in twips; 15 twips are one pixel at 96 DPI,
// and Qt scales pixels for high-DPI screens.
inline int twips(int t) { return qRound(t / 15.0); }

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// One row of a window's layout table: the name the control carries for
// automation (its objectName) and its place in twips, read together.
struct ControlPlace {
    const char* objectName;
    int left, top, width, height;

    QRect rect() const { return twipsRect(left, top, width, height); }
};

template <typename Control>
Control* place(Control* control, const ControlPlace& row) {
    control->setObjectName(QLatin1String(row.objectName));
    control->setGeometry(row.rect());
    return control;
}

}  // namespace hall
