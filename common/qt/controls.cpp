#include "controls.h"

#include <limits>

namespace hall {

QLabel* placeLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    fitLabel(label);
    return label;
}

void fitLabel(QLabel* label) {
    if (label->text().isEmpty()) return;  // a picture keeps its place
    label->ensurePolished();
    const int needed = label->sizeHint().width();
    if (!label->wordWrap() && needed > label->width()) label->resize(needed, label->height());
}

void fitLabels(QWidget* window) {
    for (QLabel* label : window->findChildren<QLabel*>()) fitLabel(label);
}

void removeLengthLimit(QLineEdit* field) { field->setMaxLength(std::numeric_limits<int>::max()); }

QPushButton* makeButton(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QPushButton* placeButton(const char* name, const QString& caption, const QRect& geometry, QWidget* parent) {
    QPushButton* button = makeButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

}  // namespace hall
