#include "schedule.h"

#include <QDate>
#include <QRegularExpression>
#include <QTest>

using namespace hall;

namespace {

// Scene s ticks lamps s and 100 + s; scene 3 also lamp 1, which scene 1 has
// too; scene 1 holds lamp 50 in the third state, which is never lit.
std::array<SceneBoxes, kSceneCount> sceneBoxes() {
    std::array<SceneBoxes, kSceneCount> boxes{};
    for (int s = 1; s <= kSceneCount; ++s) {
        boxes[s - 1][s - 1] = 1;
        boxes[s - 1][100 + s - 1] = 1;
    }
    boxes[2][0] = 1;
    boxes[0][49] = 2;
    return boxes;
}

Minute minuteOf(const QString& text) {
    const QStringList parts = text.split(QRegularExpression("[- :]"));
    return {parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt(), parts[4].toInt()};
}

}  // namespace

class TestSchedule : public QObject {
    Q_OBJECT

private slots:
    void decision_data();
    void decision();
    void weekdays_data();
    void weekdays();
};

void TestSchedule::decision_data() {
    QTest::addColumn<QByteArray>("weekly");  // the saved pages, as their files hold them
    QTest::addColumn<QByteArray>("dated");
    QTest::addColumn<QString>("at");
    QTest::addColumn<bool>("due");
    QTest::addColumn<QList<int>>("lit");

    const QByteArray monday = "dni=1000000&godz1=6&min1=30&sceny1=10000000&";
    const QByteArray noDates = "rok1=&";
    QTest::newRow("ticked day") << monday << noDates << "2026-12-07 06:30" << true << QList<int>{1, 101};
    QTest::newRow("unticked day") << monday << noDates << "2026-12-08 06:30" << false << QList<int>();
    QTest::newRow("other minute") << monday << noDates << "2026-12-07 06:31" << false << QList<int>();
    QTest::newRow("no day ticked") << QByteArray("dni=0000000&godz1=6&min1=30&sceny1=1&") << noDates
                                   << "2026-12-07 06:30" << false << QList<int>();
    QTest::newRow("Sunday is the last box") << QByteArray("dni=0000001&godz1=6&min1=30&sceny1=01&") << noDates
                                            << "2026-12-06 06:30" << true << QList<int>{2, 102};
    QTest::newRow("leading zeros and blanks")
        << QByteArray("dni=1&godz1=%2006%20&min1=0000000000000000000000030&sceny1=1&") << noDates << "2026-12-07 06:30"
        << true << QList<int>{1, 101};
    QTest::newRow("hour 0, minute 0") << QByteArray("dni=1&godz1=0&min1=0&sceny1=1&") << noDates << "2026-12-07 00:00"
                                      << true << QList<int>{1, 101};
    const QList<QByteArray> unused = {
        "godz1=-5&min1=30", "godz1=5&min1=-30", "godz1=7.5&min1=30", "godz1=7,5&min1=30", "godz1=&min1=30",
        "godz1=7&min1=",    "godz1=24&min1=30", "godz1=6&min1=90",   "godz1=%2B7&min1=30"};
    const QList<QString> unusedAt = {"2026-12-07 05:30", "2026-12-07 05:30", "2026-12-07 07:30",
                                     "2026-12-07 07:30", "2026-12-07 00:30", "2026-12-07 07:00",
                                     "2026-12-07 00:30", "2026-12-07 07:30", "2026-12-07 07:30"};
    for (int i = 0; i < unused.size(); ++i)
        QTest::addRow("slot not in use: %s", unused[i].constData())
            << "dni=1111111&" + unused[i] + "&sceny1=1&" << noDates << unusedAt[i] << false << QList<int>();
    QTest::newRow("no scene ticked is all off") << QByteArray("dni=1&godz1=6&min1=30&sceny1=00000000&") << noDates
                                                << "2026-12-07 06:30" << true << QList<int>();
    QTest::newRow("union of two slots") << QByteArray(
                                               "dni=1&godz1=6&min1=30&sceny1=10000000&godz2=6&min2=30&sceny2=00000001&")
                                        << noDates << "2026-12-07 06:30" << true << QList<int>{1, 101, 8, 108};
    QTest::newRow("union of two scenes sharing a lamp") << QByteArray("dni=1&godz1=6&min1=30&sceny1=101&") << noDates
                                                        << "2026-12-07 06:30" << true << QList<int>{1, 101, 3, 103};

    const QByteArray exception = "rok1=2026&mies1=12&dzien1=07&godz1=8&min1=0&sceny1=01000000&";
    QTest::newRow("exception day silences the week")
        << monday << exception << "2026-12-07 06:30" << false << QList<int>();
    QTest::newRow("exception day's own row") << monday << exception << "2026-12-07 08:00" << true << QList<int>{2, 102};
    QTest::newRow("the week goes on the next week")
        << monday << exception << "2026-12-14 06:30" << true << QList<int>{1, 101};
    QTest::newRow("two rows of one minute")
        << QByteArray("dni=0&") << exception + "rok2=2026&mies2=12&dzien2=7&godz2=8&min2=00&sceny2=00000010&"
        << "2026-12-07 08:00" << true << QList<int>{2, 102, 7, 107};
    QTest::newRow("a row without a time is no exception")
        << monday << QByteArray("rok1=2026&mies1=12&dzien1=07&godz1=&min1=0&sceny1=01&") << "2026-12-07 06:30" << true
        << QList<int>{1, 101};
    QTest::newRow("31 November is no date")
        << QByteArray("dni=0&") << QByteArray("rok1=2026&mies1=11&dzien1=31&godz1=6&min1=30&sceny1=1&")
        << "2026-12-01 06:30" << false << QList<int>();
    QTest::newRow("month 010 is October")
        << QByteArray("dni=0&") << QByteArray("rok1=2026&mies1=010&dzien1=05&godz1=6&min1=30&sceny1=1&")
        << "2026-10-05 06:30" << true << QList<int>{1, 101};

    const QByteArray leap = "rok1=2028&mies1=02&dzien1=29&godz1=12&min1=0&sceny1=00100000&";
    QTest::newRow("29 February of a leap year") << QByteArray("dni=1111111&godz1=12&min1=0&sceny1=1&") << leap
                                                << "2028-02-29 12:00" << true << QList<int>{1, 3, 103};
    const QByteArray common = "rok1=2027&mies1=02&dzien1=29&godz1=12&min1=0&sceny1=00100000&";
    QTest::newRow("29 February of a common year is no date, the week runs")
        << QByteArray("dni=1111111&godz1=12&min1=0&sceny1=1&") << common << "2027-03-01 12:00" << true
        << QList<int>{1, 101};
    QTest::newRow("29 February 2100 is no date")
        << QByteArray("dni=0&") << QByteArray("rok1=2100&mies1=2&dzien1=29&godz1=12&min1=0&sceny1=1&")
        << "2100-03-01 12:00" << false << QList<int>();
    QTest::newRow("year 2005 is before the calendar")
        << QByteArray("dni=0&") << QByteArray("rok1=2005&mies1=06&dzien1=01&godz1=12&min1=0&sceny1=1&")
        << "2005-06-01 12:00" << false << QList<int>();
    QTest::newRow("year 9999") << QByteArray("dni=0&")
                               << QByteArray("rok1=9999&mies1=12&dzien1=31&godz1=23&min1=59&sceny1=00000001&")
                               << "9999-12-31 23:59" << true << QList<int>{8, 108};
    QTest::newRow("year 10000 is beyond it")
        << QByteArray("dni=0&") << QByteArray("rok1=10000&mies1=01&dzien1=01&godz1=0&min1=0&sceny1=1&")
        << "10000-01-01 00:00" << false << QList<int>();
    QTest::newRow("year with letters") << QByteArray("dni=0&")
                                       << QByteArray("rok1=2026r&mies1=12&dzien1=07&godz1=8&min1=0&sceny1=1&")
                                       << "2026-12-07 08:00" << false << QList<int>();
}

void TestSchedule::decision() {
    QFETCH(QByteArray, weekly);
    QFETCH(QByteArray, dated);
    QFETCH(QString, at);
    QFETCH(bool, due);
    QFETCH(QList<int>, lit);
    const WeeklyRead week = ParseWeeklyLine(weekly.toStdString());
    const DatedRead dates = ParseDatedLine(dated.toStdString());
    QCOMPARE(week.state, FileState::Read);
    QCOMPARE(dates.state, FileState::Read);

    const std::optional<SceneTicks> scenes = DueScenes(week.schedule, dates.rows, minuteOf(at));
    QCOMPARE(scenes.has_value(), due);
    if (!scenes) return;
    LampStates expected = AllOffStates();
    for (int lamp : lit) expected[lamp - 1] = kStateOn;
    QCOMPARE(SwitchStates(*scenes, sceneBoxes()), expected);
}

void TestSchedule::weekdays_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("weekday");
    QTest::newRow("Monday") << "2026-12-07" << 0;
    QTest::newRow("Sunday") << "2026-12-06" << 6;
    QTest::newRow("first selectable day") << "2006-01-01" << 6;
    QTest::newRow("leap day") << "2028-02-29" << 1;
    QTest::newRow("after a leap day") << "2028-03-01" << 2;
    QTest::newRow("new year 2000") << "2000-01-01" << 5;
    QTest::newRow("last selectable day") << "9999-12-31" << 4;
}

void TestSchedule::weekdays() {
    QFETCH(QString, date);
    QFETCH(int, weekday);
    const QDate qdate = QDate::fromString(date, Qt::ISODate);
    QCOMPARE(qdate.dayOfWeek() - 1, weekday);  // Qt's own count agrees
    QCOMPARE(Weekday(qdate.year(), qdate.month(), qdate.day()), weekday);
}

QTEST_APPLESS_MAIN(TestSchedule)
#include "test_schedule.moc"
