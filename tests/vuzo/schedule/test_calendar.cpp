#include "calendar_window.h"
#include "configurator.h"
#include "date_schedule_page.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLineEdit>
#include <QTableView>

namespace {

constexpr int kDates = 4;  // the date schedule page

bool openDates(const Configurator& c) {
    c.clickTab(2, 4);
    auto* next = c.page(3)->findChild<QPushButton*>("Command3");
    if (!next) return false;
    QTest::mouseClick(next, Qt::LeftButton);
    settle();
    return c.page(kDates)->isVisible();
}

DateSchedulePage* dates(const Configurator& c) { return static_cast<DateSchedulePage*>(c.page(kDates)); }

QPushButton* calendarButton(const Configurator& c, int row) {
    return dates(c)->findChild<QPushButton*>(QStringLiteral("Command5_%1").arg(row));
}

// Row `row`'s field of the date page, named by its column ("Text2" year … "Text6" minute).
QLineEdit* rowField(const Configurator& c, const char* column, int row) {
    return dates(c)->findChild<QLineEdit*>(QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(row));
}

void pressCalendarButton(const Configurator& c, int row) {
    QTest::mouseClick(calendarButton(c, row), Qt::LeftButton);
    settle();
}

CalendarWindow* calendar(const Configurator& c) { return c.form->findChild<CalendarWindow*>("Form2"); }

QCalendarWidget* monthView(const CalendarWindow* window) { return window->findChild<QCalendarWidget*>("MonthView1"); }

// Lets a closed window go the way of deleted objects.
void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

// The date a cell of the month page stands for, cells read in order: the
// page starts in the previous month unless its first cell is the 1st, and
// each 1st begins the next month.
QDate cellDate(QAbstractItemModel* model, int row, int column, QDate page, int& monthOffset) {
    bool number = false;
    const int day = model->index(row, column).data().toInt(&number);
    if (!number) return {};
    if (day == 1) ++monthOffset;
    const QDate month = page.addMonths(monthOffset);
    return QDate(month.year(), month.month(), day);
}

// Clicks the cell of `date` on the month page of `page`, as the operator does.
bool clickDay(QCalendarWidget* view, QDate page, QDate date) {
    view->setCurrentPage(page.year(), page.month());
    auto* table = view->findChild<QTableView*>("qt_calendar_calendarview");
    if (!table) return false;
    QAbstractItemModel* model = table->model();
    const int firstRow = view->horizontalHeaderFormat() == QCalendarWidget::NoHorizontalHeader ? 0 : 1;
    const int firstColumn = view->verticalHeaderFormat() == QCalendarWidget::NoVerticalHeader ? 0 : 1;
    int monthOffset = -1;
    for (int row = firstRow; row < model->rowCount(); ++row)
        for (int column = firstColumn; column < model->columnCount(); ++column) {
            if (cellDate(model, row, column, page, monthOffset) != date) continue;
            QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                              table->visualRect(model->index(row, column)).center());
            settle();
            return true;
        }
    return false;
}

QStringList rowDate(const Configurator& c, int row) {
    return {rowField(c, "Text2", row)->text(), rowField(c, "Text3", row)->text(), rowField(c, "Text4", row)->text()};
}

}  // namespace

class TestCalendar : public QObject {
    Q_OBJECT

private slots:
    void pictureOnTheButtons();
    void pickFillsRowHarm_data();
    void pickFillsRowHarm();
    void windowDoesNotBlock();
    void reopensOnTheLastMonth();
    void closeBoxClosesForGood();
    void earlyDatesCannotBePicked();
};

void TestCalendar::pictureOnTheButtons() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    const QImage picture(QStringLiteral(":/schedule/calendar.png"));
    QCOMPARE(picture.size(), QSize(24, 22));
    int red = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QColor p = picture.pixelColor(x, y);
            if (p.red() > 180 && p.green() < 80 && p.blue() < 80) ++red;
        }
    QVERIFY2(red >= 12, "the sheet's 12 is red");
    for (int row = 0; row < DateSchedulePage::kRows; ++row) {
        const QPushButton* button = calendarButton(c, row);
        QVERIFY(button->text().isEmpty());
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->iconSize(), QSize(24, 22));
    }
}

void TestCalendar::pickFillsRowHarm_data() {
    QTest::addColumn<QList<int>>("pressed");
    QTest::addColumn<bool>("leavePage");
    QTest::addColumn<QDate>("page");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("5 March 2006 into row 0")
        << QList<int>{0} << false << QDate(2006, 3, 1) << QDate(2006, 3, 5) << QStringList{"2006", "03", "05"};
    QTest::newRow("row 4, then row 7") << QList<int>{4, 7} << false << QDate(2006, 3, 1) << QDate(2006, 3, 5)
                                       << QStringList{"2006", "03", "05"};
    QTest::newRow("after leaving the page")
        << QList<int>{2} << true << QDate(2030, 12, 1) << QDate(2030, 12, 24) << QStringList{"2030", "12", "24"};
    QTest::newRow("first selectable day")
        << QList<int>{9} << false << QDate(2006, 1, 1) << QDate(2006, 1, 1) << QStringList{"2006", "01", "01"};
    QTest::newRow("day of the next month")
        << QList<int>{5} << false << QDate(2011, 5, 1) << QDate(2011, 6, 2) << QStringList{"2011", "06", "02"};
    QTest::newRow("last selectable day") << QList<int>{3} << false << QDate(9999, 12, 1) << QDate(9999, 12, 31)
                                         << QStringList{"9999", "12", "31"};
}

void TestCalendar::pickFillsRowHarm() {
    QFETCH(QList<int>, pressed);
    QFETCH(bool, leavePage);
    QFETCH(QDate, page);
    QFETCH(QDate, date);
    QFETCH(QStringList, written);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(openDates(c));
    for (int row : pressed) pressCalendarButton(c, row);
    CalendarWindow* form2 = calendar(c);
    QVERIFY(form2 && form2->isVisible());
    QCOMPARE(c.form->findChildren<CalendarWindow*>().size(), 1);
    QCOMPARE(int(form2->targetRow()), pressed.last());
    if (leavePage) c.clickTab(2, 1);

    QVERIFY(clickDay(monthView(form2), page, date));
    QVERIFY(!form2->isVisible());
    QCOMPARE(dates(c)->isVisible(), !leavePage);
    for (int row = 0; row < DateSchedulePage::kRows; ++row)
        QCOMPARE(rowDate(c, row), row == pressed.last() ? written : QStringList(3, QString()));
}

void TestCalendar::windowDoesNotBlock() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(openDates(c));
    pressCalendarButton(c, 1);
    CalendarWindow* form2 = calendar(c);
    QVERIFY(form2);
    QVERIFY(form2->isWindow());
    QCOMPARE(form2->windowTitle(), QStringLiteral("Form2"));
    QCOMPARE(form2->size(), hall::twipsRect(0, 0, 2685, 2415).size());
    QCOMPARE(monthView(form2)->geometry(), hall::twipsRect(60, 45, 2565, 2310));
    QVERIFY(!form2->isModal());
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    // The first month shown is today's.
    QCOMPARE(monthView(form2)->monthShown(), QDate::currentDate().month());
    // The main window goes on taking entries while the calendar is up.
    QTest::keyClicks(rowField(c, "Text5", 1), "25");
    QCOMPARE(rowField(c, "Text5", 1)->text(), QStringLiteral("23"));
}

void TestCalendar::reopensOnTheLastMonth() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(openDates(c));
    pressCalendarButton(c, 0);
    CalendarWindow* form2 = calendar(c);
    QVERIFY(clickDay(monthView(form2), QDate(2007, 8, 1), QDate(2007, 8, 15)));
    pressCalendarButton(c, 6);
    flushDeletes();
    QCOMPARE(calendar(c), form2);  // hidden, not closed
    QVERIFY(form2->isVisible());
    QCOMPARE(monthView(form2)->yearShown(), 2007);
    QCOMPARE(monthView(form2)->monthShown(), 8);
}

void TestCalendar::closeBoxClosesForGood() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(openDates(c));
    QTest::keyClicks(rowField(c, "Text2", 3), "2020");
    QTest::keyClicks(rowField(c, "Text3", 3), "4");
    pressCalendarButton(c, 3);
    QPointer<CalendarWindow> first = calendar(c);
    QVERIFY(first);
    QVERIFY(first->close());
    flushDeletes();
    QVERIFY(first.isNull());
    for (int row = 0; row < DateSchedulePage::kRows; ++row)
        QCOMPARE(rowDate(c, row), (row == 3 ? QStringList{"2020", "04", ""} : QStringList(3, QString())));

    pressCalendarButton(c, 8);
    CalendarWindow* second = calendar(c);
    QVERIFY(second && second->isVisible());
    QCOMPARE(int(second->targetRow()), 8);
    QVERIFY(clickDay(monthView(second), QDate(2012, 2, 1), QDate(2012, 2, 29)));
    QCOMPARE(rowDate(c, 8), (QStringList{"2012", "02", "29"}));
}

void TestCalendar::earlyDatesCannotBePicked() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(openDates(c));
    pressCalendarButton(c, 2);
    CalendarWindow* form2 = calendar(c);
    // January 2006 begins on a Sunday: its page opens with the last days of 2005.
    QVERIFY(clickDay(monthView(form2), QDate(2006, 1, 1), QDate(2005, 12, 31)));
    QVERIFY(form2->isVisible());
    QCOMPARE(rowDate(c, 2), QStringList(3, QString()));
    QVERIFY(monthView(form2)->selectedDate() >= QDate(2006, 1, 1));
}

QTEST_MAIN(TestCalendar)
#include "test_calendar.moc"
