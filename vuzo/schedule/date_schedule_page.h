#pragma once

#include <QFrame>

// The date schedule page (Frame4): ten dated rows and their calendar.
class DateSchedulePage : public QFrame {
    Q_OBJECT

public:
    explicit DateSchedulePage(QWidget* parent = nullptr);

signals:
    void daysRequested();  // "Anuluj": back to the weekly schedule page
};
