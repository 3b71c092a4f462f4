#include "spin_button.h"

#include <QKeyEvent>
#include <QToolButton>

#include <algorithm>

SpinButton::SpinButton(int min, int max, int value, QWidget* parent)
    : QWidget(parent), min_(min), max_(max), value_(std::clamp(value, min, max)) {
    // The arrows take no focus of their own; the keyboard reaches the
    // spin button as a whole and steps it with the arrow keys.
    setFocusPolicy(Qt::TabFocus);
    up_ = arrow(Qt::UpArrow, "up", QStringLiteral("w górę"));
    down_ = arrow(Qt::DownArrow, "down", QStringLiteral("w dół"));
    connect(up_, &QToolButton::clicked, this, &SpinButton::stepUp);
    connect(down_, &QToolButton::clicked, this, &SpinButton::stepDown);
}

QToolButton* SpinButton::arrow(Qt::ArrowType type, const char* name, const QString& accessibleName) {
    auto* button = new QToolButton(this);
    button->setObjectName(QLatin1String(name));
    button->setArrowType(type);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAutoRepeat(true);
    return button;
}

void SpinButton::setValue(int value) {
    value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    emit valueChanged(value_);
}

void SpinButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Up)
        stepUp();
    else if (event->key() == Qt::Key_Down)
        stepDown();
    else
        QWidget::keyPressEvent(event);
}

// The arrows share the height, the upper one taking an odd pixel.
void SpinButton::resizeEvent(QResizeEvent*) {
    const int upper = (height() + 1) / 2;
    up_->setGeometry(0, 0, width(), upper);
    down_->setGeometry(0, upper, width(), height() - upper);
}
