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

private:
    // The page's own controls; others act through the members below.
    std::array<QCheckBox*, hall::kDayCount> dayBoxes{};  // Monday (0) … Sunday (6)

    QPushButton* nextButton = nullptr;          // "Dalej "
    QPushButton* dateScheduleButton = nullptr;  // "Harmonogram szczególny"
    QPushButton* saveButton = nullptr;

public:
    explicit WeeklySchedulePage(QWidget* parent = nullptr);

    std::array<bool, hall::kDayCount> days() const;
    void setDays(const std::array<bool, hall::kDayCount>& days);

signals:
    void timeSlotsRequested();     // "Dalej "
    void dateScheduleRequested();  // "Harmonogram szczególny"
    void saveRequested();          // "Zapisz"
};
