#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace hall {

// A label at its place. The places were measured for the classic dialog
// font; where the fallback font runs wider, the label grows to the right
// rather than cut its caption.
QLabel* placeLabel(const QString& text, const QRect& geometry, QWidget* parent);

// Grows a one-line label to the right until its caption fits, in its font
// as it is now; for captions and fonts set after the label was placed.
void fitLabel(QLabel* label);
// The same for every label of a window, once it is built.
void fitLabels(QWidget* window);

// A text field without QLineEdit's default limit of 32,767 characters.
void removeLengthLimit(QLineEdit* field);

// A push button that is never a default button: in these windows Enter
// presses no button.
QPushButton* makeButton(const QString& caption, QWidget* parent);

// The same, named and at its place.
QPushButton* placeButton(const char* name, const QString& caption, const QRect& geometry, QWidget* parent);

}  // namespace hall
