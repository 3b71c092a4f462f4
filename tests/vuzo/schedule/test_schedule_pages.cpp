#include "configurator.h"
#include "date_schedule_page.h"
#include "field_entry.h"
#include "message_watcher.h"
#include "schedule.h"
#include "schedule_files.h"
#include "spin_button.h"
#include "time_slot_page.h"
#include "weekly_schedule_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QToolButton>

namespace {

const QPoint kPageAnchor = hall::twipsRect(1530, 700, 0, 0).topLeft();

// Records the shows and hides of the page frames, in the order they come.
class PageEvents : public QObject {
public:
    explicit PageEvents(const Configurator& c) {
        for (int n = 1; n <= 6; ++n) c.page(n)->installEventFilter(this);
    }
    QStringList log;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) log << QStringLiteral("show ") + watched->objectName();
        if (event->type() == QEvent::Hide) log << QStringLiteral("hide ") + watched->objectName();
        return false;
    }
};

template <typename Widget = QWidget>
Widget* control(const Configurator& c, int frame, const QString& name) {
    return c.page(frame)->findChild<Widget*>(name);
}

bool click(const Configurator& c, int frame, const char* button) {
    auto* b = control<QAbstractButton>(c, frame, QLatin1String(button));
    if (!b || !b->isVisible()) return false;
    QTest::mouseClick(b, Qt::LeftButton);
    settle();
    return true;
}

// Reaches a page as the operator does: by its tab or through the weekly page.
bool showFrame(const Configurator& c, int frame) {
    c.clickTab(2, frame == 2 ? 2 : 4);
    if (frame == 6) return click(c, 3, "Command14");
    if (frame == 4) return click(c, 3, "Command3");
    return true;
}

// What the operator can see changed on a page: its fields and boxes.
QStringList pageEntries(QFrame* page) {
    QStringList entries;
    for (const QLineEdit* field : page->findChildren<QLineEdit*>())
        entries << field->objectName() + "=" + field->text();
    for (const QCheckBox* box : page->findChildren<QCheckBox*>())
        entries << box->objectName() + "=" + QString::number(box->checkState());
    return entries;
}

}  // namespace

class TestSchedulePages : public QObject {
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
    void namedForTheOperator();
    void pageSwitch_data();
    void pageSwitch();
    void entriesKeptAcrossVisits();
    void savedEntriesComeBack_data();
    void savedEntriesComeBack();
    void unwritableScheduleIsReported_data();
    void unwritableScheduleIsReported();
    void savedWeekSwitchesOnItsDays();
};

void TestSchedulePages::layout_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    const auto row = [](int frame, const char* name, QRect twips, const char* caption) {
        QTest::addRow("Frame%d %s", frame, name) << frame << name << twips << QString::fromUtf8(caption);
    };
    row(3, "Label45", {1365, 315, 2835, 195}, "HARMONOGRAM TYGODNIOWY");
    row(3, "Check4_2", {690, 1875, 1455, 315}, "Sroda");
    row(3, "Check4_6", {690, 3135, 1455, 315}, "Niedziela");
    row(3, "Command14", {2730, 2895, 855, 450}, "Dalej ");
    row(3, "Command3", {2865, 4560, 1095, 480}, "Harmonogram szczególny");
    row(6, "Label11", {4185, 885, 510, 195}, "Scena:");
    row(6, "Text8_0", {1425, 1605, 480, 285}, "");
    row(6, "SpinButton2_1", {1890, 1920, 180, 270}, "");
    row(6, "SpinButton1_0", {2550, 1620, 180, 270}, "");
    row(6, "Check5_56", {3495, 3795, 225, 195}, "Check5");
    row(6, "Check5_63", {5070, 3795, 225, 195}, "Check5");
    row(6, "Command13", {3825, 5070, 765, 435}, "Anuluj");
    row(4, "Label46", {2040, 90, 2820, 195}, "HARMONOGRAM WEDŁUG DAT");
    row(4, "Label21", {5745, 570, 90, 195}, "8");
    row(4, "Command5_9", {495, 4785, 405, 405}, "");
    row(4, "Text3_4", {1620, 2670, 420, 300}, "");
    row(4, "Text4_9", {2070, 4860, 405, 300}, "");
    row(4, "Text6_8", {3150, 4410, 540, 300}, "");
    row(4, "Check5_111", {5730, 3195, 225, 195}, "Check5");
    row(4, "Check5_143", {5775, 4950, 225, 195}, "Check5");
    row(4, "Command7", {2760, 5400, 1305, 450}, "Anuluj");
}

void TestSchedulePages::layout() {
    QFETCH(int, frame);
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    const QMap<int, QSize> pageSizes = {{3, {5580, 5205}}, {6, {6090, 6150}}, {4, {6015, 6120}}};
    QCOMPARE(c.page(frame)->size(), hall::twipsRect(0, 0, pageSizes[frame].width(), pageSizes[frame].height()).size());
    QWidget* w = control(c, frame, name);
    QVERIFY(w);
    const QRect expected = hall::twipsRect(twips.x(), twips.y(), twips.width(), twips.height());
    // A label grows to the right where its caption runs wider in the fallback font.
    if (qobject_cast<QLabel*>(w)) {
        QCOMPARE(w->geometry().topLeft(), expected.topLeft());
        QCOMPARE(w->height(), expected.height());
        QVERIFY(w->width() >= expected.width());
    } else {
        QCOMPARE(w->geometry(), expected);
    }
    QCOMPARE(w->property("text").toString(), caption);
}

// Screen readers find every control without a caption by a Polish name, and
// the 144 scene boxes are one family, each member once.
void TestSchedulePages::namedForTheOperator() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QSet<QString> sceneBoxes;
    QSet<QString> accessibleNames;
    for (int frame : {2, 3, 4, 6}) {
        for (QWidget* w : c.page(frame)->findChildren<QWidget*>()) {
            const auto* button = qobject_cast<QAbstractButton*>(w);
            const bool captionless =
                qobject_cast<QLineEdit*>(w) || qobject_cast<SpinButton*>(w) || (button && button->text().isEmpty());
            if (captionless) QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
            if (!w->objectName().startsWith("Check5_")) continue;
            sceneBoxes << w->objectName();
            accessibleNames << w->accessibleName();
            QVERIFY(!static_cast<QCheckBox*>(w)->isChecked());
        }
    }
    QCOMPARE(sceneBoxes.size(), 144);
    QCOMPARE(accessibleNames.size(), 144);
    for (int i = 0; i < 144; ++i) QVERIFY(sceneBoxes.contains(QStringLiteral("Check5_%1").arg(i)));
}

void TestSchedulePages::pageSwitch_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("shown");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("Dalej ") << 3 << "Command14" << 6 << QStringList{"show Frame6", "hide Frame1", "hide Frame2",
                                                                    "hide Frame4", "hide Frame3", "hide Frame5"};
    QTest::newRow("Harmonogram szczególny")
        << 3 << "Command3" << 4
        << QStringList{"show Frame4", "hide Frame1", "hide Frame2", "hide Frame3", "hide Frame5"};
    QTest::newRow("Anuluj of the time slots")
        << 6 << "Command13" << 3
        << QStringList{"show Frame3", "hide Frame1", "hide Frame2", "hide Frame4", "hide Frame5", "hide Frame6"};
    QTest::newRow("Anuluj of the dates") << 4 << "Command7" << 3
                                         << QStringList{"show Frame3", "hide Frame1", "hide Frame2", "hide Frame4",
                                                        "hide Frame5"};
}

void TestSchedulePages::pageSwitch() {
    QFETCH(int, frame);
    QFETCH(QString, button);
    QFETCH(int, shown);
    QFETCH(QStringList, events);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(showFrame(c, frame));
    QCOMPARE(c.visiblePages(), QList<int>{frame});
    QVERIFY(click(c, frame, qPrintable(button)));
    QCOMPARE(c.visiblePages(), QList<int>{shown});
    QCOMPARE(c.page(shown)->pos(), kPageAnchor);

    // Every frame but the target stands visible, so that each hide shows.
    QVERIFY(showFrame(c, frame));
    for (int n = 1; n <= 6; ++n) c.page(n)->setVisible(n != shown);
    PageEvents recorded(c);
    QVERIFY(click(c, frame, qPrintable(button)));
    QCOMPARE(recorded.log, events);
}

void TestSchedulePages::entriesKeptAcrossVisits() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(showFrame(c, 3));
    QTest::mouseClick(control<QCheckBox>(c, 3, "Check4_2"), Qt::LeftButton, {}, QPoint(6, 10));
    QVERIFY(click(c, 3, "Command14"));
    QTest::keyClicks(control<QLineEdit>(c, 6, "Text8_1"), "7");
    auto* minuteSpin = control<SpinButton>(c, 6, "SpinButton1_1");
    for (int i = 0; i < 2; ++i) QTest::mouseClick(minuteSpin->findChild<QToolButton*>("up"), Qt::LeftButton);
    QTest::mouseClick(control<QCheckBox>(c, 6, "Check5_9"), Qt::LeftButton, {}, QPoint(6, 6));
    QVERIFY(click(c, 6, "Command13"));
    QVERIFY(click(c, 3, "Command3"));
    QTest::keyClicks(control<QLineEdit>(c, 4, "Text2_3"), "2024");
    QTest::keyClicks(control<QLineEdit>(c, 4, "Text3_3"), "5");
    QTest::mouseClick(control<QCheckBox>(c, 4, "Check5_70"), Qt::LeftButton, {}, QPoint(6, 6));
    const QStringList weekly = pageEntries(c.page(3));
    const QStringList timeSlots = pageEntries(c.page(6));
    const QStringList dates = pageEntries(c.page(4));
    QVERIFY(weekly.contains("Check4_2=2"));
    QVERIFY(timeSlots.contains("Text8_1=7") && timeSlots.contains("Text7_1=2") && timeSlots.contains("Check5_9=2"));
    QVERIFY(dates.contains("Text2_3=2024") && dates.contains("Text3_3=05") && dates.contains("Check5_70=2"));

    for (int tab : {1, 2, 3, 4}) c.clickTab(2, tab);
    QCOMPARE(pageEntries(c.page(3)), weekly);
    QVERIFY(click(c, 3, "Command14"));
    QCOMPARE(pageEntries(c.page(6)), timeSlots);
    // The spin button kept its value too: the next up goes on from 2.
    QTest::mouseClick(minuteSpin->findChild<QToolButton*>("up"), Qt::LeftButton);
    QCOMPARE(control<QLineEdit>(c, 6, "Text7_1")->text(), QStringLiteral("3"));
    QVERIFY(click(c, 6, "Command13"));
    QVERIFY(click(c, 3, "Command3"));
    QCOMPARE(pageEntries(c.page(4)), dates);
}

// Each page's "Zapisz" with the entries an operator makes there.
void TestSchedulePages::savedEntriesComeBack_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("typed");  // field=text, pasted
    QTest::addColumn<QStringList>("ticked");
    QTest::newRow("configuration") << 2 << "Command2"
                                   << "opoznienie.txt" << QStringList{"Text1=15"} << QStringList{};
    QTest::newRow("weekly") << 3 << "Command4"
                            << "tydzien.txt" << QStringList{} << QStringList{"Check4_0", "Check4_4", "Check4_6"};
    QTest::newRow("time slots") << 6 << "Command12"
                                << "tydzien.txt" << QStringList{"Text8_0=6", "Text7_0=30", "Text8_7=-5", "Text7_3=7.5"}
                                << QStringList{"Check5_0", "Check5_2", "Check5_63"};
    QTest::newRow("dates") << 4 << "Command6"
                           << "daty.txt" << QStringList{"Text2_0=a&b=c%ł", "Text3_0=2",    "Text4_0=29", "Text5_0=23",
                                                        "Text6_0=0",       "Text2_9=9999", "Text6_9=x y"}
                           << QStringList{"Check5_64", "Check5_143"};
}

// Saved, the window closed and built again: the same entries on the page,
// and the spin buttons at their starting values.
void TestSchedulePages::savedEntriesComeBack() {
    QFETCH(int, frame);
    QFETCH(QString, button);
    QFETCH(QString, file);
    QFETCH(QStringList, typed);
    QFETCH(QStringList, ticked);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QStringList entries;
    {
        Configurator c;
        QVERIFY(showFrame(c, frame));
        for (const QString& entry : typed) {
            const qsizetype split = entry.indexOf('=');
            paste(control<QLineEdit>(c, frame, entry.left(split)), entry.mid(split + 1));
        }
        for (const QString& box : ticked) control<QCheckBox>(c, frame, box)->click();
        entries = pageEntries(c.page(frame));
        QVERIFY(!QFile::exists(hall.workFile(file)));
        QVERIFY(click(c, frame, qPrintable(button)));
        QVERIFY(QFile::exists(hall.workFile(file)));
    }
    MessageWatcher messages;
    Configurator c;
    QCOMPARE(pageEntries(c.page(frame)), entries);
    QCOMPARE(messages.texts(), QStringList{});
    for (const SpinButton* spin : c.page(6)->findChildren<SpinButton*>()) QCOMPARE(spin->value(), spin->min());
}

void TestSchedulePages::unwritableScheduleIsReported_data() {
    QTest::addColumn<int>("frame");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("file");
    QTest::newRow("configuration") << 2 << "Command2"
                                   << "opoznienie.txt";
    QTest::newRow("weekly") << 3 << "Command4"
                            << "tydzien.txt";
    QTest::newRow("time slots") << 6 << "Command12"
                                << "tydzien.txt";
    QTest::newRow("dates") << 4 << "Command6"
                           << "daty.txt";
}

void TestSchedulePages::unwritableScheduleIsReported() {
    QFETCH(int, frame);
    QFETCH(QString, button);
    QFETCH(QString, file);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(showFrame(c, frame));
    paste(c.page(frame)->findChildren<QLineEdit*>().value(0, control<QLineEdit>(c, 6, "Text8_0")), "5");
    const QStringList entries = pageEntries(c.page(frame));
    QVERIFY(QDir(hall.workPath()).mkdir(file));  // nothing can replace a directory
    MessageWatcher messages;
    QVERIFY(click(c, frame, qPrintable(button)));
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Nie udało się zapisać pliku: ") + file});
    QCOMPARE(pageEntries(c.page(frame)), entries);
}

// The operator's week as the schedule tool will read it: Monday to Friday at
// 6:30, scenes 1 and 3.
void TestSchedulePages::savedWeekSwitchesOnItsDays() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(showFrame(c, 3));
    for (int day = 0; day < 5; ++day) control<QCheckBox>(c, 3, QStringLiteral("Check4_%1").arg(day))->click();
    QVERIFY(click(c, 3, "Command14"));
    paste(control<QLineEdit>(c, 6, "Text8_0"), "6");
    paste(control<QLineEdit>(c, 6, "Text7_0"), "30");
    control<QCheckBox>(c, 6, "Check5_0")->click();
    control<QCheckBox>(c, 6, "Check5_2")->click();
    QVERIFY(click(c, 6, "Command12"));

    const hall::WeeklyRead weekly = hall::ReadWeeklyFile();
    QCOMPARE(weekly.state, hall::FileState::Read);
    const hall::SceneTicks firstAndThird{true, false, true, false, false, false, false, false};
    QCOMPARE(hall::DueScenes(weekly.schedule, {}, {2026, 12, 7, 6, 30}), std::optional(firstAndThird));
    QCOMPARE(hall::DueScenes(weekly.schedule, {}, {2026, 12, 6, 6, 30}), std::nullopt);
    QCOMPARE(hall::DueScenes(weekly.schedule, {}, {2026, 12, 7, 6, 31}), std::nullopt);
}

QTEST_MAIN(TestSchedulePages)
#include "test_schedule_pages.moc"
