#include "scene_files.h"

#include "hall_fixture.h"

#include <QTest>

using namespace hall;

namespace {

QByteArray scene(const QByteArray& digits) { return "a" + digits + QByteArray(108 - digits.size(), '0'); }

}  // namespace

class TestSceneFiles : public QObject {
    Q_OBJECT

private slots:
    void parseScene_data();
    void parseScene();
    void parseAssignments_data();
    void parseAssignments();
    void writtenFilesReadBack();
    void pathsOfTheHall();
};

void TestSceneFiles::parseScene_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QList<int>>("firstFour");
    QTest::newRow("written layout") << scene("1012") << true << QList<int>{1, 0, 1, 2};
    QTest::newRow("marker skipped") << QByteArray("2") + scene("1").mid(1) << true << QList<int>{1, 0, 0, 0};
    QTest::newRow("longer line") << scene("11") + "123" << true << QList<int>{1, 1, 0, 0};
    QTest::newRow("short") << QByteArray("a11") << false << QList<int>{1, 1, 0, 0};
    QTest::newRow("empty") << QByteArray() << false << QList<int>{0, 0, 0, 0};
    QTest::newRow("other character") << scene("1x31") << false << QList<int>{1, 0, 0, 1};
}

void TestSceneFiles::parseScene() {
    QFETCH(QByteArray, line);
    QFETCH(bool, complete);
    QFETCH(QList<int>, firstFour);
    const SceneRead read = ParseSceneLine(line.toStdString());
    QCOMPARE(read.complete, complete);
    QCOMPARE((QList<int>{read.boxes[0], read.boxes[1], read.boxes[2], read.boxes[3]}), firstFour);
}

void TestSceneFiles::parseAssignments_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("sensors") << QByteArray("a12345678") << true << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"};
    QTest::newRow("short") << QByteArray("a90") << false << QStringList{"9", "0", "", "", "", "", "", ""};
    QTest::newRow("marker only") << QByteArray("a") << false << QStringList(8, QString());
    QTest::newRow("any character") << QByteArray("ax y-5678") << true
                                   << QStringList{"x", " ", "y", "-", "5", "6", "7", "8"};
}

void TestSceneFiles::parseAssignments() {
    QFETCH(QByteArray, line);
    QFETCH(bool, complete);
    QFETCH(QStringList, fields);
    const AssignmentRead read = ParseAssignmentLine(line.toStdString(), kSensorCount);
    QCOMPARE(read.complete, complete);
    QStringList got;
    for (const std::string& field : read.fields) got << QString::fromStdString(field);
    QCOMPARE(got, fields);
}

void TestSceneFiles::writtenFilesReadBack() {
    TestHall hall;
    SceneBoxes boxes{};
    boxes[0] = 1;
    boxes[8] = 2;
    boxes[107] = 1;
    QVERIFY(WriteSceneFile(SceneFilePath(4), boxes));
    const QByteArray written = TestHall::read(hall.workFile("vuzo4.txt"));
    QCOMPARE(written.size(), 111);
    QCOMPARE(written.mid(0, 11), QByteArray("a1000000020"));
    QVERIFY(written.endsWith("01\r\n"));
    const SceneRead read = ReadSceneFile(SceneFilePath(4));
    QVERIFY(read.complete);
    QCOMPARE(read.boxes, boxes);

    QVERIFY(WriteAssignmentFile(kKeyFilePath, std::vector<std::string>(kKeyCount, "3")));
    QCOMPARE(TestHall::read(hall.workFile("pakiet.txt")), "a" + QByteArray(24, '3') + "\r\n");
    QVERIFY(ReadAssignmentFile(kKeyFilePath, kKeyCount).complete);

    QVERIFY(WriteSceneCommandFile(SceneCommandFilePath(7), boxes));
    const QByteArray command = TestHall::read(hall.rootFile("sc7.txt"));
    QCOMPARE(command.size(), 758);
    QVERIFY(command.startsWith("la1=3&la2=1&"));
    QVERIFY(command.contains("&la9=1&"));  // the third state is not lit
    QVERIFY(command.endsWith("&la108=3&\r\n"));
}

void TestSceneFiles::pathsOfTheHall() {
    TestHall hall;
    QCOMPARE(SceneFilePath(8).generic_string(), std::string("vuzo8.txt"));
    QCOMPARE(SceneCommandFilePath(2).generic_string(), std::string("../sc2.txt"));
    QVERIFY(!ReadSceneFile(SceneFilePath(1)).complete);  // no file at all
}

QTEST_APPLESS_MAIN(TestSceneFiles)
#include "test_scene_files.moc"
