#pragma once

#include <QFrame>

// The time-slot page of the weekly schedule (Frame6): eight slots.
class TimeSlotPage : public QFrame {
    Q_OBJECT

public:
    explicit TimeSlotPage(QWidget* parent = nullptr);

signals:
    void daysRequested();  // "Anuluj": back to the weekly schedule page
};
