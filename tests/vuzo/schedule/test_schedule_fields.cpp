#include "date_schedule_page.h"
#include "field_entry.h"
#include "spin_button.h"
#include "time_slot_page.h"

#include <QToolButton>

namespace {

// Both pages with time fields, standing as the operator sees them.
struct SchedulePages {
    SchedulePages() {
        timeSlots.show();
        dates.show();
    }
    QLineEdit* field(const QString& name) {
        auto* found = timeSlots.findChild<QLineEdit*>(name);
        return found ? found : dates.findChild<QLineEdit*>(name);
    }
    // "Text8" hour or "Text7" minute of time slot `slot`.
    QLineEdit* slotField(const char* column, int slot) {
        return timeSlots.findChild<QLineEdit*>(QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(slot));
    }
    // "Text3" month or "Text4" day of date row `row`.
    QLineEdit* dateField(const char* column, int row) {
        return dates.findChild<QLineEdit*>(QStringLiteral("%1_%2").arg(QLatin1String(column)).arg(row));
    }
    TimeSlotPage timeSlots;
    DateSchedulePage dates;
};

struct TimeField {
    const char* name;
    int limit;
};
constexpr TimeField kTimeFields[] = {{"Text8_0", 23}, {"Text7_5", 59}, {"Text5_9", 23}, {"Text6_2", 59}};

void addTimeRows() {
    for (const TimeField& f : kTimeFields) {
        const QString limit = QString::number(f.limit);
        const auto row = [&f](const char* name, const char* separator, bool typed, const QString& entry,
                              const QString& shown) {
            QTest::addRow("%s %s, separator %s", f.name, name, separator)
                << f.name << separator << typed << entry << shown;
        };
        row("above the limit", ".", true, f.limit == 23 ? "25" : "75", limit);
        row("at the limit", ".", false, limit, limit);
        row("text after the number", ".", true, "12ab", "12");
        row("leading zeros", ".", false, "007", "7");
        row("letters", ".", false, "abc", "0");
        row("cleared", ".", false, "<cleared>", "0");
        row("negative", ".", false, "-5", "-5");
        row("beyond a double", ".", false, "1e400", limit);
        row("fraction", ".", false, "7.5", "7.5");
        row("fraction", ",", false, "7.5", "7");
        row("below a double", ".", false, "-1e400", "-1.79769313486232E+308");
        row("below a double", ",", false, "-1e400", "-1");
    }
}

void addDateRows() {
    for (const char* field : {"Text3_0", "Text4_9"}) {
        const auto row = [field](const char* name, const char* separator, bool typed, const char* entry,
                                 const char* shown) {
            QTest::addRow("%s %s, separator %s", field, name, separator)
                << field << separator << typed << entry << shown;
        };
        row("one digit", ".", true, "7", "07");
        row("padded", ".", true, "05", "05");
        row("cleared", ".", false, "<cleared>", "00");
        row("letters", ".", false, "ab", "00");
        row("12", ".", false, "12", "12");
        row("13", ".", false, "13", "13");
        row("45", ".", false, "45", "45");
        row("rounded up", ".", false, "9.6", "010");
        row("rounded up", ",", false, "9.6", "010");
        row("half to even above", ".", false, "9.5", "010");
        row("half to even below", ",", false, "8.5", "08");
        row("negative", ".", false, "-3", "00");
        row("far below zero", ".", false, "-40000", "00");
        row("below a double", ".", false, "-1e400", "00");
        row("beyond a double", ".", false, "1e400", "1e400");
    }
    QTest::newRow("year keeps letters") << "Text2_4"
                                        << "." << true << "abc"
                                        << "abc";
    QTest::newRow("year keeps one digit") << "Text2_4"
                                          << "." << true << "7"
                                          << "7";
    QTest::newRow("year cleared") << "Text2_4"
                                  << "." << false << "<cleared>"
                                  << "";
}

}  // namespace

class TestScheduleFields : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void fieldRule_data();
    void fieldRule();
    void dayNotCheckedAgainstMonth();
    void spinButton_data();
    void spinButton();
};

void TestScheduleFields::fieldRule_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shown");
    addTimeRows();
    addDateRows();
}

void TestScheduleFields::fieldRule() {
    QFETCH(QString, field);
    QFETCH(QString, separator);
    QFETCH(bool, typed);
    QFETCH(QString, entry);
    QFETCH(QString, shown);
    QLocale::setDefault(separatorLocale(separator));
    SchedulePages pages;
    QLineEdit* edit = pages.field(field);
    QVERIFY(edit);
    if (typed)
        QTest::keyClicks(edit, entry);
    else
        enter(edit, entry);
    QCOMPARE(edit->text(), shown);
}

void TestScheduleFields::dayNotCheckedAgainstMonth() {
    SchedulePages pages;
    QTest::keyClicks(pages.dateField("Text3", 3), "02");
    paste(pages.dateField("Text4", 3), "31");
    QCOMPARE(pages.dateField("Text3", 3)->text(), QStringLiteral("02"));
    QCOMPARE(pages.dateField("Text4", 3)->text(), QStringLiteral("31"));
}

void TestScheduleFields::spinButton_data() {
    QTest::addColumn<QString>("spin");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("clicks");  // u: up arrow, d: down arrow, +: Up key
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("value");
    const QString hour = QStringLiteral("SpinButton2_3");
    const QString minute = QStringLiteral("SpinButton1_3");
    QTest::newRow("hour, first down") << hour << ""
                                      << "d"
                                      << "" << 1;
    QTest::newRow("hour, first up") << hour << ""
                                    << "u"
                                    << "2" << 2;
    QTest::newRow("minute, first up") << minute << ""
                                      << "u"
                                      << "1" << 1;
    QTest::newRow("minute, first down") << minute << ""
                                        << "d"
                                        << "" << 0;
    QTest::newRow("hour, up after typing 10") << hour << "10"
                                              << "u"
                                              << "2" << 2;
    QTest::newRow("minute, up after typing 30") << minute << "30"
                                                << "uu"
                                                << "2" << 2;
    QTest::newRow("hour, typed text kept at the bottom") << hour << "7"
                                                         << "d"
                                                         << "7" << 1;
    QTest::newRow("hour, stops at 23") << hour << "" << QString(25, 'u') << "23" << 23;
    QTest::newRow("hour, back down to 1") << hour << ""
                                          << "uuu" + QString(5, 'd') << "1" << 1;
    QTest::newRow("minute, stops at 59") << minute << "" << QString(62, 'u') << "59" << 59;
    QTest::newRow("minute, back down to 0") << minute << ""
                                            << "uu" + QString(3, 'd') << "0" << 0;
    QTest::newRow("hour, arrow key") << hour << ""
                                     << "++"
                                     << "3" << 3;
}

void TestScheduleFields::spinButton() {
    QFETCH(QString, spin);
    QFETCH(QString, typed);
    QFETCH(QString, clicks);
    QFETCH(QString, shown);
    QFETCH(int, value);
    SchedulePages pages;
    auto* button = pages.timeSlots.findChild<SpinButton*>(spin);
    QVERIFY(button);
    const bool hour = spin.startsWith(QLatin1String("SpinButton2"));
    const char* column = hour ? "Text8" : "Text7";
    QLineEdit* field = pages.slotField(column, 3);
    QTest::keyClicks(field, typed);
    for (const QChar c : clicks) {
        if (c == '+')
            QTest::keyClick(button, Qt::Key_Up);
        else
            QTest::mouseClick(button->findChild<QToolButton*>(c == 'u' ? "up" : "down"), Qt::LeftButton);
    }
    QCOMPARE(field->text(), shown);
    QCOMPARE(button->value(), value);
    // Neighbouring slots keep their own fields and values.
    QCOMPARE(pages.slotField(column, 2)->text(), QString());
    const QString neighbour = (hour ? QStringLiteral("SpinButton2_%1") : QStringLiteral("SpinButton1_%1")).arg(4);
    QCOMPARE(pages.timeSlots.findChild<SpinButton*>(neighbour)->value(), hour ? 1 : 0);
}

QTEST_MAIN(TestScheduleFields)
#include "test_schedule_fields.moc"
