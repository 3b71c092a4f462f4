#include "lamp_state.h"

#include "hall_fixture.h"

#include <QDir>
#include <QTest>

using namespace hall;

namespace {

QByteArray allOffLine() {
    QByteArray line;
    for (int n = 1; n <= kLampCount; ++n) line += "la" + QByteArray::number(n) + "=1&";
    return line;
}

// A line of `count` entries, entry n carrying `value`.
QByteArray entries(int count, const QByteArray& value = "1") {
    QByteArray line;
    for (int n = 1; n <= count; ++n) line += "la" + QByteArray::number(n) + "=" + value + "&";
    return line;
}

QByteArray withEntry(QByteArray line, int lamp, const QByteArray& entry) {
    QList<QByteArray> pieces = line.split('&');
    pieces[lamp - 1] = entry;
    return pieces.join('&');
}

QList<int> litLamps(const LampsLit& lit) {
    QList<int> lamps;
    for (int i = 0; i < kLampCount; ++i)
        if (lit[i]) lamps << i + 1;
    return lamps;
}

}  // namespace

class TestLampState : public QObject {
    Q_OBJECT

private slots:
    void composeAllOff();
    void composeScene();
    void writeReplacesWholeFile();
    void parse_data();
    void parse();
    void unreadable_data();
    void unreadable();
    void readFile_data();
    void readFile();
    void readDirectoryOrMissing();
};

void TestLampState::composeAllOff() {
    const std::string line = ComposeStateLine(AllOffStates());
    QCOMPARE(line.size(), std::size_t(756));
    QCOMPARE(QByteArray::fromStdString(line), allOffLine());
}

void TestLampState::composeScene() {
    LampStates states = AllOffStates();
    states[0] = kStateOn;
    states[107] = kStateOn;
    const QByteArray line = QByteArray::fromStdString(ComposeStateLine(states));
    QVERIFY(line.startsWith("la1=3&la2=1&"));
    QVERIFY(line.endsWith("&la107=1&la108=3&"));
    QVERIFY(line.contains("la9=1&la10=1&"));
    QCOMPARE(line.count("=3&"), 2);
}

void TestLampState::writeReplacesWholeFile() {
    TestHall hall;
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), QByteArray(5000, 'x')));
    QVERIFY(WriteStateFile(AllOffStates()));
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffLine() + "\r\n");
    QCOMPARE(hall.listing(), QStringList({"actual.txt", "konfigurator"}));
}

void TestLampState::parse_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QList<int>>("lit");
    QTest::newRow("all off") << allOffLine() << QList<int>{};
    QTest::newRow("lamp 41 on") << withEntry(allOffLine(), 41, "la41=3") << QList<int>{41};
    QTest::newRow("0, 2 and 7 are lit") << withEntry(withEntry(withEntry(allOffLine(), 1, "la1=0"), 2, "la2=2"), 3,
                                                     "la3=7")
                                        << QList<int>{1, 2, 3};
    QTest::newRow("blanks and leading zeros are off")
        << withEntry(withEntry(allOffLine(), 5, "la5= 1"), 6, "la6=01") << QList<int>{};
    QTest::newRow("1.0 is off") << withEntry(allOffLine(), 7, "la7=1.0") << QList<int>{};
    QTest::newRow("negative is lit") << withEntry(allOffLine(), 8, "la8=-1") << QList<int>{8};
    QTest::newRow("second = ends the value") << withEntry(allOffLine(), 9, "la9=1=3") << QList<int>{};
    QTest::newRow("second = after on") << withEntry(allOffLine(), 9, "la9=3=1") << QList<int>{9};
    QTest::newRow("by position, not by name")
        << withEntry(withEntry(allOffLine(), 1, "la108=3"), 108, "la1=1") << QList<int>{1};
    QTest::newRow("name ignored") << withEntry(allOffLine(), 2, "zz=3") << QList<int>{2};
    QTest::newRow("200 entries, first 108 count") << (allOffLine() + entries(92, "3")) << QList<int>{};
    QTest::newRow("no final &") << allOffLine().chopped(1) << QList<int>{};
    QTest::newRow("rest after 108 ignored") << (withEntry(allOffLine(), 108, "la108=3") + "garbage") << QList<int>{108};
    QTest::newRow("huge value is lit") << withEntry(allOffLine(), 4, "la4=" + QByteArray(400, '9')) << QList<int>{4};
}

void TestLampState::parse() {
    QFETCH(QByteArray, line);
    QFETCH(QList<int>, lit);
    const std::optional<LampsLit> read = ParseStateLine(line.toStdString());
    QVERIFY(read);
    QCOMPARE(litLamps(*read), lit);
}

void TestLampState::unreadable_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("107 entries") << entries(107);
    QTest::newRow("entry without =") << withEntry(allOffLine(), 50, "la50");
    QTest::newRow("value x") << withEntry(allOffLine(), 3, "la3=x");
    QTest::newRow("empty value") << withEntry(allOffLine(), 3, "la3=");
    QTest::newRow("value 1x") << withEntry(allOffLine(), 3, "la3=1x");
    QTest::newRow("value inf") << withEntry(allOffLine(), 3, "la3=inf");
    QTest::newRow("two signs") << withEntry(allOffLine(), 3, "la3=+-1");
    QTest::newRow("last entry bad") << withEntry(allOffLine(), 108, "la108=?");
}

void TestLampState::unreadable() {
    QFETCH(QByteArray, line);
    QVERIFY(!ParseStateLine(line.toStdString()));
}

// Files as they are on disk: the line ends at the first CR.
void TestLampState::readFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QList<int>>("lit");
    QTest::newRow("written layout") << allOffLine() + "\r\n" << true << QList<int>{};
    QTest::newRow("no line end") << withEntry(allOffLine(), 2, "la2=3") << true << QList<int>{2};
    QTest::newRow("second line ignored") << allOffLine() + "\r\n" + entries(108, "3") << true << QList<int>{};
    QTest::newRow("empty file") << QByteArray() << false << QList<int>{};
    QTest::newRow("only CR LF") << QByteArray("\r\n") << false << QList<int>{};
    QTest::newRow("107 entries") << entries(107) + "\r\n" << false << QList<int>{};
    QTest::newRow("cut by a CR") << allOffLine().insert(300, '\r') << false << QList<int>{};
    QTest::newRow("10 MB line without end") << entries(108, "3").repeated(10'000'000 / 800) << true << [] {
        QList<int> all;
        for (int n = 1; n <= 108; ++n) all << n;
        return all;
    }();
    QTest::newRow("10 MB of one entry") << "la1=" + QByteArray(10'000'000, '1') << false << QList<int>{};
    // Entries padded with leading zeros so that lamp 108's "10" straddles
    // the 16 KiB that are read: a cut value must never read as off.
    const QByteArray head = entries(107);
    const auto padded = [&](int zeros, const QByteArray& tail) {
        return head + "la108=" + QByteArray(zeros, '0') + tail;
    };
    const int straddle = 16 * 1024 - head.size() - 6 - 1;  // the "1" is the last byte read
    QTest::newRow("last value cut at the limit") << padded(straddle, "10&\r\n") << false << QList<int>{};
    QTest::newRow("last & cut at the limit") << padded(straddle - 1, "10&\r\n") << false << QList<int>{};
    QTest::newRow("last & is the last byte read") << padded(straddle - 2, "10&more") << true << QList<int>{108};
    QTest::newRow("line ends at the limit") << padded(straddle - 1, "10") << true << QList<int>{108};
}

void TestLampState::readFile() {
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    QFETCH(QList<int>, lit);
    TestHall hall;
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), content));
    const os::SysResult<LampsLit> read = ReadStateFile();
    QCOMPARE(bool(read), readable);
    if (read) QCOMPARE(litLamps(*read), lit);
    if (!read) QCOMPARE(read.error(), make_error_code(content.isEmpty() ? FileError::Empty : FileError::Damaged));
}

void TestLampState::readDirectoryOrMissing() {
    TestHall hall;
    QCOMPARE(ReadStateFile().error(), std::errc::no_such_file_or_directory);
    QVERIFY(QDir(hall.rootPath()).mkdir("actual.txt"));
    QCOMPARE(ReadStateFile().error(), std::errc::is_a_directory);
}

QTEST_APPLESS_MAIN(TestLampState)
#include "test_lamp_state.moc"
