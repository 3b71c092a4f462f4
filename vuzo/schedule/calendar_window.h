#pragma once

#include <QDate>
#include <QWidget>

class QCalendarWidget;

// The calendar window: the operator picks the date of one row of the date
// schedule page. It does not block the main window; a pick hides it and
// keeps it, its close box destroys it.
class CalendarWindow : public QWidget {
    Q_OBJECT

private:
    qint16 targetRow_ = 0;
    QCalendarWidget* calendar = nullptr;

public:
    explicit CalendarWindow(QWidget* parent = nullptr);

    // The row of the date schedule page that receives the next picked date.
    qint16 targetRow() const { return targetRow_; }
    void setTargetRow(qint16 row) { targetRow_ = row; }

signals:
    void datePicked(int row, QDate date);

private:
    void pick(QDate date);
};
