#pragma once

#include "schedule_files.h"

#include <QRect>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

// Building blocks of the schedule pages, placed in twips.
namespace schedule {

struct Area {
    int left, top, width, height;
};

QRect rectOf(const Area& box);

QLabel* addLabel(QWidget* page, const QString& name, const QString& text, const Area& at);
QPushButton* addButton(QWidget* page, const QString& name, const QString& caption, const Area& at);
QLineEdit* addField(QWidget* page, const QString& name, const QString& accessibleName, const Area& at);

// A scene box of a schedule page: so narrow that its caption is cut off
// and only the box shows.
QCheckBox* addSceneBox(QWidget* page, int index, const QString& accessibleName, const Area& at);

// The eight scene boxes of one slot or row, from `boxes` on, as ticks.
hall::SceneTicks sceneTicks(QCheckBox* const* boxes);
void setSceneTicks(QCheckBox* const* boxes, const hall::SceneTicks& ticks);

}  // namespace schedule
