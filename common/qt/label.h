#pragma once

#include <QLabel>

namespace hall {

// A label at its place. The places were measured for the classic dialog
// font; where the fallback font runs wider, the label grows to the right
// rather than cut its caption.
QLabel* placeLabel(const QString& text, const QRect& geometry, QWidget* parent);

}  // namespace hall
