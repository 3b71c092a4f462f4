#pragma once

#include <QLabel>

namespace hall {

// A label (text or picture) that reports a left click, like a link.
class ClickableLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace hall
