#include "form2.h"

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

Form2::Form2(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(hall::msSansSerif());
    setFixedSize(hall::twips(kClientWidth), hall::twips(kClientHeight));

    MonthView1 = new QCalendarWidget(this);
    MonthView1->setObjectName(QStringLiteral("MonthView1"));
    MonthView1->setGeometry(twipsRect(kMonthView.x(), kMonthView.y(), kMonthView.width(), kMonthView.height()));
    // Week numbers and longer day names would not fit the small window.
    MonthView1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    MonthView1->setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    MonthView1->setDateRange(kEarliest, kLatest);
    connect(MonthView1, &QCalendarWidget::clicked, this, &Form2::pick);
    // Enter on a day picks it too, for the operator at the keyboard.
    connect(MonthView1, &QCalendarWidget::activated, this, &Form2::pick);
}

void Form2::pick(QDate date) {
    emit datePicked(Harm, date);
    hide();
}
