#include "configurator.h"
#include "message_watcher.h"
#include "shape.h"

#include <QApplication>
#include <QDirIterator>
#include <QLineEdit>

namespace {

const QColor kLit(250, 250, 10);
const QColor kOff(192, 192, 192);

// Every file of the hall, aged, so that a write shows by its time.
void ageFiles(const TestHall& hall) {
    const QDateTime past(QDate(2001, 1, 1), QTime(0, 0));
    QDirIterator it(hall.rootPath(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(past, QFileDevice::FileModificationTime));
    }
}

QStringList writtenFiles(const TestHall& hall) {
    QStringList written;
    const QDir root(hall.rootPath());
    QDirIterator it(hall.rootPath(), QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        if (info.lastModified().date().year() > 2001) written << root.relativeFilePath(info.filePath());
    }
    written.sort();
    return written;
}

struct Scenes : Configurator {
    Scenes() {
        QApplication::setActiveWindow(form.get());
        clickTab(2, 3);
    }
    QLineEdit* key(int i) const { return keyField(i); }
    QLineEdit* sensor(int i) const { return sensorField(i); }
    // The operator clicks into the field, deletes what it holds and types.
    void type(QLineEdit* field, const QString& text) const {
        clearByKeyboard(field);
        QTest::keyClicks(field, text);
    }
    void clearByKeyboard(QLineEdit* field) const {
        QTest::mouseClick(field, Qt::LeftButton);
        QTest::keyClick(field, Qt::Key_End);
        QTest::keyClick(field, Qt::Key_Backspace);
    }
    void clickSave() const { QTest::mouseClick(scenes()->findChild<QPushButton*>("Command1"), Qt::LeftButton); }
};

}  // namespace

class TestScenesPage : public QObject {
    Q_OBJECT

private slots:
    void saveWritesExactlyItsFiles();
    void saveWithoutAssignedInput();
    void emptyFieldSavedAsZero();
    void savedSceneSurvivesRestart();
    void tabSwitchDropsEdits();
    void unreadableSceneFile();
    void changeRule_data();
    void changeRule();
    void leaveRule_data();
    void leaveRule();
    void typedThenSavedAtOnce();
    void untouchedZeroStays();
    void oneCharacterOnly();
    void rowMarker_data();
    void rowMarker();
    void boxClickRule();
    void thirdStateClickTicks();
    void loadRunsRuleOnlyForChanges();
    void failedSaveNamesFile();
};

void TestScenesPage::saveWritesExactlyItsFiles() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    s.clickTab(1, 3);
    s.clickLampBox(0);
    s.clickLampBox(2);
    for (int k = 0; k < 8; ++k) s.type(s.sensor(k), k == 1 || k == 4 ? "3" : "1");
    for (int i = 0; i < 24; ++i) s.type(s.key(i), QString::number(i % 8 + 1));
    ageFiles(hall);
    s.clickSave();

    QCOMPARE(writtenFiles(hall), (QStringList{"konfigurator/czuj.txt", "konfigurator/pakiet.txt",
                                              "konfigurator/vuzo3.txt", "sc2.txt", "sc5.txt"}));
    QCOMPARE(TestHall::read(hall.workFile("vuzo3.txt")), sceneLine({1, 3}) + "\r\n");
    QCOMPARE(TestHall::read(hall.workFile("pakiet.txt")), QByteArray("a123456781234567812345678\r\n"));
    QCOMPARE(TestHall::read(hall.workFile("czuj.txt")), QByteArray("a13113111\r\n"));
    QCOMPARE(TestHall::read(hall.rootFile("sc2.txt")), stateLine({1, 3}) + "\r\n");
    QCOMPARE(TestHall::read(hall.rootFile("sc5.txt")).size(), 758);
    QCOMPARE(TestHall::read(hall.rootFile("sc5.txt")), TestHall::read(hall.rootFile("sc2.txt")));
}

void TestScenesPage::saveWithoutAssignedInput() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    s.clickTab(1, 4);
    s.type(s.sensor(0), "3");
    ageFiles(hall);
    s.clickSave();
    QCOMPARE(writtenFiles(hall),
             (QStringList{"konfigurator/czuj.txt", "konfigurator/pakiet.txt", "konfigurator/vuzo4.txt"}));
}

void TestScenesPage::emptyFieldSavedAsZero() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("pakiet.txt"), "a12\r\n"));
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a\r\n"));
    MessageWatcher messages;
    Scenes s;
    QVERIFY(s.key(5)->text().isEmpty());
    s.clickSave();
    QCOMPARE(TestHall::read(hall.workFile("pakiet.txt")), QByteArray("a120000000000000000000000\r\n"));
    QCOMPARE(TestHall::read(hall.workFile("czuj.txt")), QByteArray("a00000000\r\n"));
    QCOMPARE(s.key(5)->text(), QStringLiteral("0"));
    QCOMPARE(s.sensor(7)->text(), QStringLiteral("0"));
}

void TestScenesPage::savedSceneSurvivesRestart() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QByteArray scene = sceneLine({5});
    scene[10] = '2';  // lamp 10 in the third state
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), scene + "\r\n"));
    {
        Scenes s;
        QCOMPARE(s.scenes()->lampBox(9), 2);
        s.clickLampBox(0);
        s.clickLampBox(107);
        s.clickSave();
    }
    QByteArray expected = sceneLine({1, 5, 108});
    expected[10] = '2';
    QCOMPARE(TestHall::read(hall.workFile("vuzo1.txt")), expected + "\r\n");
    Scenes again;
    for (int n = 1; n <= 108; ++n)
        QCOMPARE(again.scenes()->lampBox(n - 1), n == 10 ? 2 : (n == 1 || n == 5 || n == 108));
}

void TestScenesPage::tabSwitchDropsEdits() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo2.txt"), sceneLine({2}) + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("vuzo5.txt"), sceneLine({55, 56}) + "\r\n"));
    Scenes s;
    s.clickTab(1, 2);
    QCOMPARE(s.scenes()->sceneBoxes()[1], 1);
    s.clickLampBox(30);
    s.clickTab(1, 5);
    for (int n = 1; n <= 108; ++n) QCOMPARE(s.scenes()->lampBox(n - 1), int(n == 55 || n == 56));
    s.clickTab(1, 2);
    for (int n = 1; n <= 108; ++n) QCOMPARE(s.scenes()->lampBox(n - 1), int(n == 2));
    QCOMPARE(TestHall::read(hall.workFile("vuzo2.txt")), sceneLine({2}) + "\r\n");
}

void TestScenesPage::unreadableSceneFile() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo6.txt"), sceneLine({1, 2, 3, 100}).left(50) + "\r\n"));
    QByteArray bad = sceneLine({4, 9});
    bad[9] = '7';  // lamp 9 holds a character that is no box state
    QVERIFY(TestHall::write(hall.workFile("vuzo7.txt"), bad + "\r\n"));
    QVERIFY(QFile::remove(hall.workFile("vuzo8.txt")));
    MessageWatcher messages;
    Scenes s;
    s.clickTab(1, 6);
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Nie udało się odczytać pliku: vuzo6.txt")});
    for (int n = 1; n <= 108; ++n) QCOMPARE(s.scenes()->lampBox(n - 1), int(n <= 3));
    s.clickTab(1, 7);
    for (int n = 1; n <= 108; ++n) QCOMPARE(s.scenes()->lampBox(n - 1), int(n == 4));
    s.clickTab(1, 8);
    for (int n = 1; n <= 108; ++n) QCOMPARE(s.scenes()->lampBox(n - 1), 0);
    QCOMPARE(messages.texts(), (QStringList{QStringLiteral("Nie udało się odczytać pliku: vuzo6.txt"),
                                            QStringLiteral("Nie udało się odczytać pliku: vuzo7.txt"),
                                            QStringLiteral("Nie udało się odczytać pliku: vuzo8.txt")}));
}

void TestScenesPage::changeRule_data() {
    QTest::addColumn<bool>("keyField");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    for (bool key : {true, false}) {
        const char* kind = key ? "key" : "sensor";
        QTest::addRow("%s 9", kind) << key << "9"
                                    << "8";
        QTest::addRow("%s 8", kind) << key << "8"
                                    << "8";
        QTest::addRow("%s 0", kind) << key << "0"
                                    << "0";
        QTest::addRow("%s letter", kind) << key << "x"
                                         << "x";
    }
}

// While the field has the focus: only a value above 8 is corrected.
void TestScenesPage::changeRule() {
    QFETCH(bool, keyField);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    QLineEdit* field = keyField ? s.key(7) : s.sensor(2);
    s.clearByKeyboard(field);
    QTest::keyClicks(field, typed);
    QCOMPARE(field->text(), shown);
    QCOMPARE(QApplication::focusWidget(), field);
}

void TestScenesPage::leaveRule_data() {
    QTest::addColumn<bool>("keyField");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("left");
    for (bool key : {true, false}) {
        const char* kind = key ? "key" : "sensor";
        QTest::addRow("%s 0", kind) << key << "0"
                                    << "1";
        QTest::addRow("%s letter", kind) << key << "x"
                                         << "1";
        QTest::addRow("%s minus", kind) << key << "-"
                                        << "1";
        QTest::addRow("%s emptied", kind) << key << ""
                                          << "1";
        QTest::addRow("%s 5", kind) << key << "5"
                                    << "5";
        QTest::addRow("%s 9", kind) << key << "9"
                                    << "8";
    }
}

void TestScenesPage::leaveRule() {
    QFETCH(bool, keyField);
    QFETCH(QString, typed);
    QFETCH(QString, left);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    QLineEdit* field = keyField ? s.key(12) : s.sensor(6);
    s.clearByKeyboard(field);
    QTest::keyClicks(field, typed);
    QTest::mouseClick(keyField ? s.sensor(0) : s.key(0), Qt::LeftButton);
    QCOMPARE(field->text(), left);
}

void TestScenesPage::typedThenSavedAtOnce() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    s.clearByKeyboard(s.key(3));
    QTest::keyClicks(s.key(3), "5");
    s.clearByKeyboard(s.sensor(3));
    QTest::keyClicks(s.sensor(3), "x");  // still being typed when "Zapisz" is clicked
    s.clickSave();
    QCOMPARE(TestHall::read(hall.workFile("pakiet.txt")), QByteArray("a000500000000000000000000\r\n"));
    QCOMPARE(TestHall::read(hall.workFile("czuj.txt")), QByteArray("a00010000\r\n"));
}

void TestScenesPage::untouchedZeroStays() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    QTest::mouseClick(s.key(0), Qt::LeftButton);
    QTest::mouseClick(s.key(1), Qt::LeftButton);
    QCOMPARE(s.key(0)->text(), QStringLiteral("1"));  // had the focus: "0" becomes "1"
    QCOMPARE(s.key(2)->text(), QStringLiteral("0"));  // never had it
}

void TestScenesPage::oneCharacterOnly() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    QTest::mouseClick(s.key(4), Qt::LeftButton);
    QTest::keyClick(s.key(4), Qt::Key_End);
    QTest::keyClicks(s.key(4), "34");
    QCOMPARE(s.key(4)->text(), QStringLiteral("0"));
    QTest::mouseClick(s.sensor(4), Qt::LeftButton);
    QTest::keyClick(s.sensor(4), Qt::Key_Home);
    QTest::keyClicks(s.sensor(4), "7");
    QCOMPARE(s.sensor(4)->text(), QStringLiteral("0"));
}

void TestScenesPage::rowMarker_data() {
    QTest::addColumn<QList<int>>("clicked");
    QTest::addColumn<int>("top");
    QTest::newRow("field 10, row C") << QList<int>{10} << 4950;
    QTest::newRow("field 23, row F") << QList<int>{23} << 5955;
    QTest::newRow("field 0, row A") << QList<int>{0} << 4290;
    QTest::newRow("last click wins") << QList<int>{23, 5} << 4620;
}

void TestScenesPage::rowMarker() {
    QFETCH(QList<int>, clicked);
    QFETCH(int, top);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    auto* marker = s.scenes()->findChild<hall::Shape*>("Shape2");
    QVERIFY(!marker->isVisible());
    for (int field : clicked) QTest::mouseClick(s.key(field), Qt::LeftButton);
    QTest::mouseClick(s.sensor(0), Qt::LeftButton);  // the focus moving away leaves it
    QVERIFY(marker->isVisible());
    QCOMPARE(marker->geometry(), hall::twipsRect(5100, top, 1410, 315));
}

void TestScenesPage::boxClickRule() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Scenes s;
    s.clickLampBox(0);
    QCOMPARE(s.scenes()->lampBox(0), 1);
    QCOMPARE(s.form->lampFlag(0), qint16(1));
    QCOMPARE(s.lampColour(1), kLit);
    s.status()->statusTick();
    QCOMPARE(s.lampColour(1), kOff);
    s.clickLampBox(0);
    QCOMPARE(s.scenes()->lampBox(0), 0);
    QCOMPARE(s.form->lampFlag(0), qint16(0));
    QCOMPARE(s.lampColour(1), kLit);  // clearing paints it lit too
}

// A box in the third state comes only from a file; a click ticks it.
void TestScenesPage::thirdStateClickTicks() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QByteArray scene = sceneLine({});
    scene[20] = '2';
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), scene + "\r\n"));
    Scenes s;
    QCOMPARE(s.scenes()->lampBox(19), 2);
    s.clickLampBox(19);
    QCOMPARE(s.scenes()->lampBox(19), 1);
    QCOMPARE(s.form->lampFlag(19), qint16(1));
    s.clickLampBox(19);
    QCOMPARE(s.scenes()->lampBox(19), 0);
}

void TestScenesPage::loadRunsRuleOnlyForChanges() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneLine({1, 2}) + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("vuzo4.txt"), sceneLine({2, 3}) + "\r\n"));
    Scenes s;
    s.status()->statusTick();   // every lamp grey again
    s.form->setLampFlag(1, 7);  // a mark the rule would overwrite
    s.clickTab(1, 4);
    QCOMPARE(s.lampColour(1), kLit);  // 1 → 0
    QCOMPARE(s.lampColour(2), kOff);  // unchanged: no rule
    QCOMPARE(s.lampColour(3), kLit);  // 0 → 1
    QCOMPARE(s.lampColour(4), kOff);
    QCOMPARE(s.form->lampFlag(0), qint16(0));
    QCOMPARE(s.form->lampFlag(1), qint16(7));
    QCOMPARE(s.form->lampFlag(2), qint16(1));
}

void TestScenesPage::failedSaveNamesFile() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(QDir(hall.rootPath()).mkpath("sc2.txt/inside"));
    MessageWatcher messages;
    Scenes s;
    s.clickTab(1, 3);
    s.clickLampBox(8);
    s.type(s.sensor(1), "3");
    s.type(s.sensor(4), "3");
    ageFiles(hall);
    s.clickSave();
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Nie udało się zapisać pliku: ../sc2.txt")});
    QCOMPARE(writtenFiles(hall),
             (QStringList{"konfigurator/czuj.txt", "konfigurator/pakiet.txt", "konfigurator/vuzo3.txt", "sc5.txt"}));
    QVERIFY(QFileInfo(hall.rootFile("sc2.txt")).isDir());
    QCOMPARE(TestHall::read(hall.rootFile("sc5.txt")), stateLine({9}) + "\r\n");
}

QTEST_MAIN(TestScenesPage)
#include "test_scenes_page.moc"
