#pragma once

#include <QFrame>

#include <array>

class QCheckBox;
class QPushButton;

// The weekly schedule page: days of the week, the way to the time
// slots and to the date schedule. The day boxes only hold their ticks.
class WeeklySchedulePage : public QFrame {
    Q_OBJECT

public:
    explicit WeeklySchedulePage(QWidget* parent = nullptr);

    std::array<QCheckBox*, 7> dayBoxes{};  // Monday (0) … Sunday (6)

signals:
    void timeSlotsRequested();     // "Dalej "
    void dateScheduleRequested();  // "Harmonogram szczególny"

private:
    QPushButton* nextButton = nullptr;          // "Dalej "
    QPushButton* dateScheduleButton = nullptr;  // "Harmonogram szczególny"
    QPushButton* saveButton = nullptr;          // "Zapisz", without an action
};
