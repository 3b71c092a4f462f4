#include "configurator.h"
#include "message_watcher.h"

#include <QApplication>
#include <QLineEdit>

namespace {

const QColor kLit(250, 250, 10);
const QColor kOff(192, 192, 192);
const QColor kTriggered(200, 250, 100);
const QColor kCleared(20, 100, 10);
const QColor kCreated(0, 128, 0);

QList<int> litLamps(const Configurator& c) {
    QList<int> lit;
    for (int n = 1; n <= 108; ++n)
        if (c.lampColour(n) == kLit) lit << n;
    return lit;
}

QList<int> triggeredMarks(const Configurator& c) {
    QList<int> marks;
    for (int k = 0; k < 8; ++k)
        if (c.status()->sensorMarkColour(k) == kTriggered) marks << k + 1;
    return marks;
}

QByteArray allOffFile() { return stateLine({}) + "\r\n"; }

// Keys typed on the yellow legend button, which has the focus.
void typeOnLegend(Configurator& c, const QByteArray& keys) {
    QPushButton* legend = c.status()->findChild<QPushButton*>("Command9");
    legend->setFocus();
    QTest::keyClicks(legend, QString::fromLatin1(keys));
}

}  // namespace

class TestSwitching : public QObject {
    Q_OBJECT

private slots:
    void sceneSwitch_data();
    void sceneSwitch();
    void allOffLeavesBoxes();
    void sensorKeyLoadsScene();
    void sensorMarksAccumulate();
    void sensorKeyZero();
    void sensorWithoutScene_data();
    void sensorWithoutScene();
    void keysElsewhereDoNothing();
    void unwritableStateFileIsReported();
};

void TestSwitching::sceneSwitch_data() {
    QTest::addColumn<QList<int>>("ticked");
    QTest::addColumn<QList<int>>("thirdState");
    QTest::addColumn<QList<int>>("lit");
    QTest::newRow("first and last") << QList<int>{1, 108} << QList<int>{} << QList<int>{1, 108};
    QTest::newRow("none ticked") << QList<int>{} << QList<int>{} << QList<int>{};
    QTest::newRow("third state is off") << QList<int>{40} << QList<int>{41, 42} << QList<int>{40};
}

void TestSwitching::sceneSwitch() {
    QFETCH(QList<int>, ticked);
    QFETCH(QList<int>, thirdState);
    QFETCH(QList<int>, lit);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QByteArray scene = sceneLine({});
    for (int n : thirdState) scene[n] = '2';
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), scene + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({5, 6, 7}) + "\r\n"));
    Configurator c;
    c.clickTab(2, 3);
    for (int n : ticked) c.clickLampBox(n - 1);  // unsaved ticks count too
    QTest::mouseClick(c.scenes()->findChild<QPushButton*>("Command16"), Qt::LeftButton);
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), stateLine(lit) + "\r\n");
    QCOMPARE(litLamps(c), lit);
    c.status()->statusTick();
    QCOMPARE(litLamps(c), lit);
    QCOMPARE(TestHall::read(hall.workFile("vuzo1.txt")), scene + "\r\n");
}

void TestSwitching::allOffLeavesBoxes() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneLine({3, 4}) + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({1, 2, 3}) + "\r\n"));
    Configurator c;
    c.clickTab(2, 3);
    c.clickLampBox(10);
    c.clickTab(2, 1);
    QTest::mouseClick(c.status()->findChild<QPushButton*>("Command15"), Qt::LeftButton);
    // The same bytes the reset tool writes.
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffFile());
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")).size(), 758);
    QCOMPARE(litLamps(c), QList<int>{});
    for (int n = 1; n <= 108; ++n) {
        const int expected = n == 3 || n == 4 || n == 11;
        QCOMPARE(c.scenes()->lampBox(n - 1), expected);
        QCOMPARE(int(c.form->lampFlag(n - 1)), expected);
    }
}

void TestSwitching::sensorKeyLoadsScene() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a00200000\r\n"));
    QVERIFY(TestHall::write(hall.workFile("vuzo2.txt"), sceneLine({20, 30}) + "\r\n"));
    Configurator c;
    typeOnLegend(c, "3");
    QCOMPARE(triggeredMarks(c), QList<int>{3});
    for (int n = 1; n <= 108; ++n) QCOMPARE(c.scenes()->lampBox(n - 1), int(n == 20 || n == 30));
    QCOMPARE(c.tabs(1)->currentIndex(), 0);
    QCOMPARE(litLamps(c), (QList<int>{20, 30}));
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffFile());
    c.status()->statusTick();
    QCOMPARE(litLamps(c), QList<int>{});
}

void TestSwitching::sensorMarksAccumulate() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a00001010\r\n"));
    Configurator c;
    typeOnLegend(c, "57");
    QCOMPARE(triggeredMarks(c), (QList<int>{5, 7}));
    QCOMPARE(c.status()->sensorMarkColour(0), kCreated);
}

void TestSwitching::sensorKeyZero() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a11111111\r\n"));
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneLine({8}) + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({1, 2}) + "\r\n"));
    Configurator c;
    typeOnLegend(c, "28");
    QCOMPARE(triggeredMarks(c), (QList<int>{2, 8}));
    typeOnLegend(c, "0");
    for (int k = 0; k < 8; ++k) QCOMPARE(c.status()->sensorMarkColour(k), kCleared);
    QCOMPARE(c.status()->sensorMarkColour(8), kCreated);  // the legend's mark is no sensor
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffFile());
    QCOMPARE(litLamps(c), QList<int>{});
    QCOMPARE(c.scenes()->lampBox(7), 1);
}

void TestSwitching::sensorWithoutScene_data() {
    QTest::addColumn<QByteArray>("sensors");
    QTest::addColumn<QList<int>>("boxes");
    QTest::addColumn<QList<int>>("lit");
    QTest::newRow("empty field") << QByteArray("a1\r\n") << QList<int>{1} << QList<int>{};
    QTest::newRow("zero") << QByteArray("a10000000\r\n") << QList<int>{1} << QList<int>{};
    QTest::newRow("letter") << QByteArray("a1x000000\r\n") << QList<int>{1} << QList<int>{};
    // A stored 9 shows as 8, and scene 8 it is; lamp 1, cleared, is painted too.
    QTest::newRow("nine is scene 8") << QByteArray("a19000000\r\n") << QList<int>{80} << QList<int>{1, 80};
}

// An input without a scene: its mark lights, nothing is loaded or painted.
void TestSwitching::sensorWithoutScene() {
    QFETCH(QByteArray, sensors);
    QFETCH(QList<int>, boxes);
    QFETCH(QList<int>, lit);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), sensors));
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneLine({1}) + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("vuzo8.txt"), sceneLine({80}) + "\r\n"));
    MessageWatcher messages;
    Configurator c;
    settle();
    messages.clear();
    typeOnLegend(c, "2");
    QCOMPARE(triggeredMarks(c), QList<int>{2});
    for (int n = 1; n <= 108; ++n) QCOMPARE(c.scenes()->lampBox(n - 1), int(boxes.contains(n)));
    QCOMPARE(litLamps(c), lit);
    QCOMPARE(messages.texts(), QStringList());
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffFile());
}

void TestSwitching::keysElsewhereDoNothing() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a22222222\r\n"));
    QVERIFY(TestHall::write(hall.workFile("vuzo2.txt"), sceneLine({60}) + "\r\n"));
    Configurator c;
    QPushButton* allOff = c.status()->findChild<QPushButton*>("Command15");
    allOff->setFocus();
    QTest::keyClicks(allOff, "3");
    QTest::keyClicks(c.status()->findChild<QPushButton*>("Command10"), "4");
    QTest::keyClicks(c.lamp(1), "5");
    QCOMPARE(triggeredMarks(c), QList<int>{});
    QCOMPARE(c.scenes()->lampBox(59), 0);
    QCOMPARE(litLamps(c), QList<int>{});
}

// Root may write anywhere: a directory in the file's place makes the write fail.
void TestSwitching::unwritableStateFileIsReported() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a11111111\r\n"));
    MessageWatcher messages;
    Configurator c;
    QVERIFY(QFile::remove(hall.rootFile("actual.txt")));
    QVERIFY(QDir(hall.rootPath()).mkpath("actual.txt/inside"));
    QTest::mouseClick(c.status()->findChild<QPushButton*>("Command15"), Qt::LeftButton);
    typeOnLegend(c, "0");
    c.clickTab(2, 3);
    QTest::mouseClick(c.scenes()->findChild<QPushButton*>("Command16"), Qt::LeftButton);
    const QString message = QStringLiteral("Nie udało się zapisać pliku: ../actual.txt");
    QCOMPARE(messages.texts(), (QStringList{message, message, message}));
    QVERIFY(QFileInfo(hall.rootFile("actual.txt/inside")).isDir());
}

QTEST_MAIN(TestSwitching)
#include "test_switching.moc"
