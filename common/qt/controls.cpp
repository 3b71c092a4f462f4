#include "controls.h"

namespace hall {

QLabel* placeLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->ensurePolished();
    const int needed = label->sizeHint().width();
    if (!label->wordWrap() && needed > geometry.width()) label->resize(needed, geometry.height());
    return label;
}

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
