#include "shape.h"

#include "twips.h"

#include <QPainter>

namespace hall {

Shape::Shape(Kind kind, QWidget* parent) : QWidget(parent), kind_(kind) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setFillColor(const QColor& color) {
    if (fill_ == color) return;
    fill_ = color;
    update();
}

void Shape::setBorderColor(const QColor& color) {
    if (border_ == color) return;
    border_ = color;
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(border_, 1));
    painter.setBrush(fill_.isValid() ? QBrush(fill_) : Qt::NoBrush);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (kind_ == Kind::Circle) {
        const qreal side = qMin(box.width(), box.height());
        painter.drawEllipse(QRectF(box.center().x() - side / 2, box.center().y() - side / 2, side, side));
    } else {
        const qreal radius = qMin(box.width(), box.height()) / 10;
        painter.drawRoundedRect(box, radius, radius);
    }
}

Line::Line(int x1, int y1, int x2, int y2, QWidget* parent) : QWidget(parent), horizontal_(y1 == y2) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const QPoint a(twips(x1), twips(y1));
    const QPoint b(twips(x2), twips(y2));
    setGeometry(QRect(a, b).normalized().adjusted(0, 0, horizontal_ ? 0 : 1, horizontal_ ? 1 : 0));
}

void Line::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    if (horizontal_)
        painter.drawLine(0, 0, width() - 1, 0);
    else
        painter.drawLine(0, 0, 0, height() - 1);
}

}  // namespace hall
