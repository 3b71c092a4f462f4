#include "wrapping_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

WrappingButton::WrappingButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

void WrappingButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();  // the style draws bevel and focus; the caption is ours
    painter.drawControl(QStyle::CE_PushButton, option);
    painter.setPen(palette().color(QPalette::ButtonText));
    painter.drawText(rect().adjusted(1, 1, -1, -1), Qt::AlignCenter | Qt::TextWordWrap, text());
}
