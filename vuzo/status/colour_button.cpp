#include "colour_button.h"

#include <qdrawutil.h>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>

ColourButton::ColourButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(false);
    setDefault(false);
}

void ColourButton::setColour(const QColor& colour) {
    if (colour == this->colour()) return;
    QPalette colours = palette();
    colours.setColor(QPalette::Button, colour);
    setPalette(colours);
}

void ColourButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QPalette& colours = palette();
    const QBrush face(colours.color(QPalette::Button));
    // The classic raised border, sunken while pressed, around the flat face.
    qDrawWinButton(&painter, rect(), colours, isDown(), &face);
    painter.setPen(colours.color(QPalette::ButtonText));
    painter.drawText(rect().translated(isDown() ? QPoint(1, 1) : QPoint()), Qt::AlignCenter, text());
    if (!hasFocus()) return;
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    focus.rect = rect().adjusted(3, 3, -3, -3);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
}
