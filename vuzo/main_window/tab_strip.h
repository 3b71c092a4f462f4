#pragma once

#include <QTabBar>

// A tab strip that acts on a click of the primary button only: the wheel and
// the other buttons change no tab. A click first takes the focus, so the
// field being edited runs its leave rule before the tab acts, as it does
// for a click on any other control.
class TabStrip : public QTabBar {
    Q_OBJECT

public:
    explicit TabStrip(QWidget* parent = nullptr) : QTabBar(parent) {}

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
