#pragma once

#include <QFrame>

// The weekly schedule page (Frame3): days of the week, the way to the time
// slots and to the date schedule.
class WeeklySchedulePage : public QFrame {
    Q_OBJECT

public:
    explicit WeeklySchedulePage(QWidget* parent = nullptr);

signals:
    void timeSlotsRequested();     // "Dalej "
    void dateScheduleRequested();  // "Harmonogram szczególny"
};
