#include "label.h"

namespace hall {

QLabel* placeLabel(const QString& text, const QRect& geometry, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->ensurePolished();
    const int needed = label->sizeHint().width();
    if (!label->wordWrap() && needed > geometry.width()) label->resize(needed, geometry.height());
    return label;
}

}  // namespace hall
