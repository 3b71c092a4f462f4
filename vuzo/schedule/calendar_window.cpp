#include "calendar_window.h"

#include "fonts.h"
#include "twips.h"

#include <QCalendarWidget>

using hall::twipsRect;

namespace {

constexpr int kClientWidth = 2685;
constexpr int kClientHeight = 2415;
constexpr QRect kMonthView(60, 45, 2565, 2310);
const QDate kEarliest(2006, 1, 1);
const QDate kLatest(9999, 12, 31);

}  // namespace

CalendarWindow::CalendarWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(kClientWidth), hall::twips(kClientHeight));

    calendar = new QCalendarWidget(this);
    calendar->setObjectName(QStringLiteral("MonthView1"));
    calendar->setGeometry(twipsRect(kMonthView.x(), kMonthView.y(), kMonthView.width(), kMonthView.height()));
    // Week numbers and longer day names would not fit the small window.
    calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    calendar->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    calendar->setDateRange(kEarliest, kLatest);
    connect(calendar, &QCalendarWidget::clicked, this, &CalendarWindow::pick);
    // Enter on a day picks it too, for the operator at the keyboard.
    connect(calendar, &QCalendarWidget::activated, this, &CalendarWindow::pick);
}

void CalendarWindow::pick(QDate date) {
    emit datePicked(targetRow_, date);
    hide();
}
