#include "tab_strip.h"

#include <QMouseEvent>
#include <QWheelEvent>

namespace {

bool isPrimary(const QMouseEvent* event) { return event->button() == Qt::LeftButton; }

}  // namespace

void TabStrip::mousePressEvent(QMouseEvent* event) {
    if (!isPrimary(event)) return event->accept();
    setFocus(Qt::MouseFocusReason);
    QTabBar::mousePressEvent(event);
}

void TabStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (!isPrimary(event)) return event->accept();
    QTabBar::mouseReleaseEvent(event);
}

void TabStrip::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!isPrimary(event)) return event->accept();
    QTabBar::mouseDoubleClickEvent(event);
}

void TabStrip::wheelEvent(QWheelEvent* event) { event->accept(); }
