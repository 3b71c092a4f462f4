#include "configurator.h"
#include "lamp_details_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>

namespace {

const QColor kLit(250, 250, 10);
const QColor kOff(192, 192, 192);

QList<int> litLamps(const Configurator& c) {
    QList<int> lit;
    for (int n = 1; n <= 108; ++n)
        if (c.lampColour(n) == kLit)
            lit << n;
        else if (c.lampColour(n) != kOff)
            lit << -n;  // neither colour: a fault
    return lit;
}

struct Details {
    QString number, voltage, current, failure;
};

Details detailsShown(LampDetailsWindow* window) {
    return {window->findChild<QLabel*>("Label5")->text(), window->findChild<QLineEdit*>("Text1")->text(),
            window->findChild<QLineEdit*>("Text2")->text(), window->findChild<QLineEdit*>("Text3")->text()};
}

}  // namespace

class TestStatusPage : public QObject {
    Q_OBJECT

private slots:
    void tickFollowsFile_data();
    void tickFollowsFile();
    void unreadableTickKeepsColours_data();
    void unreadableTickKeepsColours();
    void tickRepaintsPaintedLamps();
    void lampDetails_data();
    void lampDetails();
    void detailsWindowReused();
    void legendAndMarks();
};

void TestStatusPage::tickFollowsFile_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QList<int>>("lit");
    QTest::newRow("lamp 5 on, status page") << 1 << stateLine({5}) << QList<int>{5};
    QTest::newRow("lamp 5 on, scenes page") << 3 << stateLine({5}) << QList<int>{5};
    QTest::newRow("lamp 5 on, schedule page") << 4 << stateLine({5}) << QList<int>{5};
    QTest::newRow("values 0, 2, 7 lit")
        << 2 << stateLine({}).replace("la1=1&", "la1=0&").replace("la2=1&", "la2=2&").replace("la3=1&", "la3=7&")
        << QList<int>{1, 2, 3};
    QTest::newRow("by position") << 1 << stateLine({}).replace("la1=1&", "la108=3&").replace("la108=1&", "la1=1&")
                                 << QList<int>{1};
    QTest::newRow("all lit") << 1 << stateLine([] {
        QList<int> all;
        for (int n = 1; n <= 108; ++n) all << n;
        return all;
    }())
                             << [] {
                                    QList<int> all;
                                    for (int n = 1; n <= 108; ++n) all << n;
                                    return all;
                                }();
}

void TestStatusPage::tickFollowsFile() {
    QFETCH(int, tab);
    QFETCH(QByteArray, line);
    QFETCH(QList<int>, lit);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({9, 10}) + "\r\n"));
    Configurator c;
    QCOMPARE(litLamps(c), (QList<int>{9, 10}));
    c.clickTab(2, tab);
    // Another program rewrites the file; the next tick shows it.
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), line + "\r\n"));
    c.status()->statusTick();
    QCOMPARE(litLamps(c), lit);
}

void TestStatusPage::unreadableTickKeepsColours_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("half written") << stateLine({}).left(400);
    QTest::newRow("only CR LF") << QByteArray("\r\n");
    QTest::newRow("value not a number") << stateLine({}).replace("la60=1", "la60=?") + "\r\n";
}

void TestStatusPage::unreadableTickKeepsColours() {
    QFETCH(QByteArray, content);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({1, 108}) + "\r\n"));
    Configurator c;
    if (content.isEmpty())
        QVERIFY(QFile::remove(hall.rootFile("actual.txt")));
    else
        QVERIFY(TestHall::write(hall.rootFile("actual.txt"), content));
    c.status()->statusTick();
    QCOMPARE(litLamps(c), (QList<int>{1, 108}));
}

void TestStatusPage::tickRepaintsPaintedLamps() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    c.status()->setLampColour(20, kLit);
    QCOMPARE(litLamps(c), QList<int>{21});
    c.status()->statusTick();
    QCOMPARE(litLamps(c), QList<int>{});
}

void TestStatusPage::lampDetails_data() {
    QTest::addColumn<int>("lamp");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("voltage");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("failure");
    QTest::newRow("flagged L7") << 7 << "en"
                                << "220"
                                << "1.4"
                                << "brak awarii";
    QTest::newRow("flagged L7, Polish") << 7 << "pl"
                                        << "220"
                                        << "1,4"
                                        << "brak awarii";
    QTest::newRow("flagged L41") << 41 << "en"
                                 << "220"
                                 << "1.4"
                                 << "brak awarii";
    QTest::newRow("unflagged L2") << 2 << "en"
                                  << ""
                                  << ""
                                  << "brak awarii";
    QTest::newRow("third state L3") << 3 << "en"
                                    << ""
                                    << ""
                                    << "brak awarii";
    QTest::newRow("lit but unflagged L50") << 50 << "en"
                                           << ""
                                           << ""
                                           << "brak awarii";
}

void TestStatusPage::lampDetails() {
    QFETCH(int, lamp);
    QFETCH(QString, locale);
    QFETCH(QString, voltage);
    QFETCH(QString, current);
    QFETCH(QString, failure);
    QLocale::setDefault(QLocale(locale == "pl" ? QLocale::Polish : QLocale::English));
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QByteArray scene = sceneLine({7, 41});
    scene[3] = '2';
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), scene + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({50}) + "\r\n"));
    Configurator c;
    QTest::mouseClick(c.lamp(lamp), Qt::LeftButton);
    LampDetailsWindow* window = c.form->findChild<LampDetailsWindow*>();
    QVERIFY(window && window->isVisible());
    const Details shown = detailsShown(window);
    QCOMPARE(shown.number, QString::number(lamp));
    QCOMPARE(shown.voltage, voltage);
    QCOMPARE(shown.current, current);
    QCOMPARE(shown.failure, failure);
    QLocale::setDefault(QLocale::c());
}

void TestStatusPage::detailsWindowReused() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneLine({7}) + "\r\n"));
    Configurator c;
    QTest::mouseClick(c.lamp(41), Qt::LeftButton);
    LampDetailsWindow* window = c.form->findChild<LampDetailsWindow*>();
    QCOMPARE(detailsShown(window).failure, QStringLiteral("awaria oprawy"));
    QCOMPARE(detailsShown(window).voltage, QString());
    window->findChild<QLineEdit*>("Text4")->setText("typed");

    QTest::mouseClick(window->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    QTest::mouseClick(c.lamp(7), Qt::LeftButton);
    QCOMPARE(c.form->findChildren<LampDetailsWindow*>().size(), 1);
    QVERIFY(window->isVisible());
    QCOMPARE(detailsShown(window).number, QStringLiteral("7"));
    QCOMPARE(detailsShown(window).voltage, QStringLiteral("220"));
    QCOMPARE(detailsShown(window).failure, QStringLiteral("brak awarii"));
    QCOMPARE(window->findChild<QLineEdit*>("Text4")->text(), QStringLiteral("typed"));

    // Unticking lamp 7 on the scenes page clears its flag.
    c.clickTab(2, 3);
    c.clickLampBox(6);
    QTest::mouseClick(c.lamp(7), Qt::LeftButton);
    QCOMPARE(detailsShown(window).voltage, QString());
    QCOMPARE(window->windowTitle(), QStringLiteral("Form3"));
}

void TestStatusPage::legendAndMarks() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    StatusPage* page = c.status();
    const QList<QPair<const char*, QColor>> legend = {
        {"Command9", QColor(255, 255, 0)}, {"Command10", QColor(224, 224, 224)}, {"Command11", QColor(255, 0, 0)}};
    for (const auto& [name, colour] : legend) {
        QPushButton* button = page->findChild<QPushButton*>(QLatin1String(name));
        QCOMPARE(button->text(), QStringLiteral("LXXX"));
        QCOMPARE(button->palette().color(QPalette::Button), colour);
    }
    for (int mark = 0; mark < StatusPage::kSensorMarks; ++mark)
        QCOMPARE(page->sensorMarkColour(mark), QColor(0, 128, 0));
    QCOMPARE(page->findChild<QPushButton*>("Command15")->text(), QStringLiteral("Wyłącz oświetlenie"));
    QCOMPARE(page->size(), QSize(441, 424));
}

QTEST_MAIN(TestStatusPage)
#include "test_status_page.moc"
