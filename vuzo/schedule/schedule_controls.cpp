#include "schedule_controls.h"

#include "controls.h"
#include "twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace schedule {
namespace {

template <typename Widget>
Widget* placed(Widget* widget, const QString& name, const Area& at) {
    widget->setObjectName(name);
    widget->setGeometry(rectOf(at));
    return widget;
}

}  // namespace

QRect rectOf(const Area& box) { return hall::twipsRect(box.left, box.top, box.width, box.height); }

QLabel* addLabel(QWidget* page, const QString& name, const QString& text, const Area& at) {
    return placed(new QLabel(text, page), name, at);
}

QPushButton* addButton(QWidget* page, const QString& name, const QString& caption, const Area& at) {
    return placed(hall::makeButton(caption, page), name, at);
}

QLineEdit* addField(QWidget* page, const QString& name, const QString& accessibleName, const Area& at) {
    QLineEdit* field = placed(new QLineEdit(page), name, at);
    field->setAccessibleName(accessibleName);
    field->setTextMargins(0, 0, 0, 0);
    hall::removeLengthLimit(field);
    return field;
}

QCheckBox* addSceneBox(QWidget* page, int index, const QString& accessibleName, const Area& at) {
    QCheckBox* box = placed(new QCheckBox(QStringLiteral("Check5"), page), QStringLiteral("Check5_%1").arg(index), at);
    box->setAccessibleName(accessibleName);
    // The style's indicator is taller than the box; keep it whole.
    box->setStyleSheet(QStringLiteral("QCheckBox::indicator { width: 11px; height: 11px; }"));
    return box;
}

hall::SceneTicks sceneTicks(QCheckBox* const* boxes) {
    hall::SceneTicks ticks{};
    for (int scene = 0; scene < hall::kSceneCount; ++scene) ticks[scene] = boxes[scene]->isChecked();
    return ticks;
}

void setSceneTicks(QCheckBox* const* boxes, const hall::SceneTicks& ticks) {
    for (int scene = 0; scene < hall::kSceneCount; ++scene) boxes[scene]->setChecked(ticks[scene]);
}

}  // namespace schedule
