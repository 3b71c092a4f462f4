#pragma once

#include "schedule_files.h"

#include <QFrame>

#include <array>

class QCheckBox;
class QPushButton;

// The weekly schedule page: days of the week, the way to the time
// slots and to the date schedule.
class WeeklySchedulePage : public QFrame {
    Q_OBJECT

public:
    explicit WeeklySchedulePage(QWidget* parent = nullptr);

    std::array<QCheckBox*, hall::kDayCount> dayBoxes{};  // Monday (0) … Sunday (6)

    std::array<bool, hall::kDayCount> days() const;
    void setDays(const std::array<bool, hall::kDayCount>& days);

signals:
    void timeSlotsRequested();     // "Dalej "
    void dateScheduleRequested();  // "Harmonogram szczególny"
    void saveRequested();          // "Zapisz"

private:
    QPushButton* nextButton = nullptr;          // "Dalej "
    QPushButton* dateScheduleButton = nullptr;  // "Harmonogram szczególny"
    QPushButton* saveButton = nullptr;
};
