#pragma once

#include <QLabel>
#include <QPushButton>

namespace hall {

// A label at its place. The places were measured for the classic dialog
// font; where the fallback font runs wider, the label grows to the right
// rather than cut its caption.
QLabel* placeLabel(const QString& text, const QRect& geometry, QWidget* parent);

// A push button that is never a default button: in these windows Enter
// presses no button.
QPushButton* makeButton(const QString& caption, QWidget* parent);

// The same, named and at its place.
QPushButton* placeButton(const char* name, const QString& caption, const QRect& geometry, QWidget* parent);

}  // namespace hall
