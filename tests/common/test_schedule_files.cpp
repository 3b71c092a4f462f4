#include "schedule_files.h"

#include "hall_fixture.h"

#include <QDir>
#include <QTest>

using namespace hall;

namespace {

std::string bytes(const QByteArray& b) { return b.toStdString(); }

// Every field of the pages holds `text` somewhere, next to plain entries.
WeeklySchedule weeklyWith(const std::string& text) {
    WeeklySchedule schedule;
    schedule.days = {true, false, true, true, false, false, true};
    schedule.timeSlots[0] = {"6", "30", {true, false, true}};
    schedule.timeSlots[3] = {text, "", {false, false, false, false, false, false, false, true}};
    schedule.timeSlots[7] = {"23", text, {true, true, true, true, true, true, true, true}};
    return schedule;
}

DatedSchedule datedWith(const std::string& text) {
    DatedSchedule rows;
    rows[0] = {"2026", "12", "24", "18", "0", {false, true}};
    rows[4] = {text, text, text, text, text, {true}};
    rows[9] = {text, "02", "29", "", "59", {}};
    return rows;
}

}  // namespace

class TestScheduleFiles : public QObject {
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void documentedLines();
    void tolerantWeekly_data();
    void tolerantWeekly();
    void linesNotOfTheFormat_data();
    void linesNotOfTheFormat();
    void fileStates_data();
    void fileStates();
    void failedWriteSaysWhy();
};

void TestScheduleFiles::roundTrip_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("plain year") << QByteArray("2026");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("separators and l-stroke") << QByteArray("a&b=c%\xb3");
    QTest::newRow("percent") << QByteArray("%");
    QTest::newRow("escape look-alike") << QByteArray("%41%zz%");
    QTest::newRow("ampersand") << QByteArray("&");
    QTest::newRow("equals") << QByteArray("=");
    QTest::newRow("CR") << QByteArray("\r");
    QTest::newRow("LF") << QByteArray("\n");
    QTest::newRow("CR LF inside") << QByteArray("20\r\n26");
    QTest::newRow("NUL") << QByteArray("\0", 1);
    QTest::newRow("blanks and signs") << QByteArray(" -5 +7.5 ");
    QByteArray all;
    for (int c = 0; c < 256; ++c) all += char(c);
    QTest::newRow("every byte") << all;
    QByteArray hostile;
    while (hostile.size() < 40000) hostile += QByteArray("a&b=c%\xb3\r\n\0", 10);
    QTest::newRow("40,000 characters") << hostile.left(40000);
}

void TestScheduleFiles::roundTrip() {
    QFETCH(QByteArray, text);
    TestHall hall;
    const WeeklySchedule weekly = weeklyWith(bytes(text));
    const DatedSchedule dated = datedWith(bytes(text));
    QVERIFY(WriteDelayFile(bytes(text)));
    QVERIFY(WriteWeeklyFile(weekly));
    QVERIFY(WriteDatedFile(dated));

    for (const char* name : {"opoznienie.txt", "tydzien.txt", "daty.txt"}) {
        const QByteArray file = TestHall::read(hall.workFile(name));
        // One line: the text's CR and LF are encoded.
        QVERIFY2(file.endsWith("\r\n") && file.indexOf('\r') == file.size() - 2, name);
        QCOMPARE(file.count('\n'), 1);
    }
    const DelayRead delay = ReadDelayFile();
    QCOMPARE(delay.state, FileState::Read);
    QCOMPARE(QByteArray::fromStdString(delay.text), text);
    const WeeklyRead weeklyRead = ReadWeeklyFile();
    QCOMPARE(weeklyRead.state, FileState::Read);
    QVERIFY(weeklyRead.schedule == weekly);
    const DatedRead datedRead = ReadDatedFile();
    QCOMPARE(datedRead.state, FileState::Read);
    QVERIFY(datedRead.rows == dated);
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/daty.txt", "konfigurator/opoznienie.txt",
                                          "konfigurator/tydzien.txt"}));
}

// The lines other programs of the hall read, as harmonogram(1) shows them.
void TestScheduleFiles::documentedLines() {
    QCOMPARE(ComposeDelayLine("15"), std::string("opoznienie=15&"));
    WeeklySchedule weekly;
    weekly.days = {true, true, true, true, true, false, false};
    weekly.timeSlots[0] = {"6", "30", {true, false, true}};
    std::string expected = "dni=1111100&godz1=6&min1=30&sceny1=10100000&";
    for (int i = 2; i <= kSlotCount; ++i)
        expected += QStringLiteral("godz%1=&min%1=&sceny%1=00000000&").arg(i).toStdString();
    QCOMPARE(ComposeWeeklyLine(weekly), expected);
    DatedSchedule dated;
    dated[0] = {"2026", "12", "24", "18", "0", {false, false, false, false, false, false, false, true}};
    dated[1] = {"a&b=c%\xb3", "", "", "", "", {}};
    expected =
        "rok1=2026&mies1=12&dzien1=24&godz1=18&min1=0&sceny1=00000001&"
        "rok2=a%26b%3Dc%25%B3&mies2=&dzien2=&godz2=&min2=&sceny2=00000000&";
    for (int i = 3; i <= kDatedRowCount; ++i)
        expected += QStringLiteral("rok%1=&mies%1=&dzien%1=&godz%1=&min%1=&sceny%1=00000000&").arg(i).toStdString();
    QCOMPARE(ComposeDatedLine(dated), expected);
}

void TestScheduleFiles::tolerantWeekly_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("days");
    QTest::addColumn<QByteArray>("hour1");
    QTest::addColumn<QByteArray>("minute1");
    QTest::addColumn<QByteArray>("scenes1");
    QTest::addColumn<QByteArray>("hour8");
    const QByteArray full = "dni=1111100&godz1=6&min1=30&sceny1=10100000&godz8=23&min8=59&sceny8=1&";
    QTest::newRow("whole") << full << QByteArray("1111100") << QByteArray("6") << QByteArray("30")
                           << QByteArray("10100000") << QByteArray("23");
    QTest::newRow("first key only") << QByteArray("dni=") << QByteArray("0000000") << QByteArray() << QByteArray()
                                    << QByteArray("00000000") << QByteArray();
    QTest::newRow("cut in the days") << QByteArray("dni=11") << QByteArray("0000000") << QByteArray() << QByteArray()
                                     << QByteArray("00000000") << QByteArray();
    QTest::newRow("short days") << QByteArray("dni=11&") << QByteArray("1100000") << QByteArray() << QByteArray()
                                << QByteArray("00000000") << QByteArray();
    QTest::newRow("cut in a text drops it")
        << full.left(full.indexOf("min1=") + 6) << QByteArray("1111100") << QByteArray("6") << QByteArray()
        << QByteArray("00000000") << QByteArray();
    QTest::newRow("cut in an escape") << QByteArray("dni=1&godz1=6&min1=%3") << QByteArray("1000000") << QByteArray("6")
                                      << QByteArray() << QByteArray("00000000") << QByteArray();
    QTest::newRow("cut before the last piece") << full.chopped(1) << QByteArray("1111100") << QByteArray("6")
                                               << QByteArray("30") << QByteArray("10100000") << QByteArray("23");
    QTest::newRow("unknown keys skipped")
        << QByteArray("dni=0000001&kolor=zielony&godz1=7&godz9=5&") << QByteArray("0000001") << QByteArray("7")
        << QByteArray() << QByteArray("00000000") << QByteArray();
    QTest::newRow("boxes other than 1 unticked")
        << QByteArray("dni=1x1 21y&sceny1=0101x1&") << QByteArray("1010010") << QByteArray() << QByteArray()
        << QByteArray("01010100") << QByteArray();
    QTest::newRow("raw bytes as they stand")
        << QByteArray("dni=&godz1=\xb3 %41=&") << QByteArray("0000000") << QByteArray("\xb3 A=") << QByteArray()
        << QByteArray("00000000") << QByteArray();
}

void TestScheduleFiles::tolerantWeekly() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, days);
    QFETCH(QByteArray, hour1);
    QFETCH(QByteArray, minute1);
    QFETCH(QByteArray, scenes1);
    QFETCH(QByteArray, hour8);
    const WeeklyRead read = ParseWeeklyLine(bytes(line));
    QCOMPARE(read.state, FileState::Read);
    QByteArray readDays, readScenes;
    for (bool day : read.schedule.days) readDays += day ? '1' : '0';
    for (bool scene : read.schedule.timeSlots[0].scenes) readScenes += scene ? '1' : '0';
    QCOMPARE(readDays, days);
    QCOMPARE(QByteArray::fromStdString(read.schedule.timeSlots[0].hour), hour1);
    QCOMPARE(QByteArray::fromStdString(read.schedule.timeSlots[0].minute), minute1);
    QCOMPARE(readScenes, scenes1);
    QCOMPARE(QByteArray::fromStdString(read.schedule.timeSlots[7].hour), hour8);
    for (int i = 1; i < kSlotCount - 1; ++i) QCOMPARE(read.schedule.timeSlots[i], WeeklySlot());
}

void TestScheduleFiles::linesNotOfTheFormat_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("another file's line") << QByteArray("la1=3&la2=1&");
    QTest::newRow("first key cut") << QByteArray("dn");
    QTest::newRow("first key without =") << QByteArray("dni&");
    QTest::newRow("leading blank") << QByteArray(" dni=1&");
    QTest::newRow("piece without =") << QByteArray("dni=1&godz1&min1=5&");
    QTest::newRow("empty piece") << QByteArray("dni=1&&");
    QTest::newRow("broken escape") << QByteArray("dni=1&godz1=%G1&");
    QTest::newRow("escape cut by &") << QByteArray("dni=1&godz1=%4&");
}

// The same rules for every file, each with its own first key.
void TestScheduleFiles::linesNotOfTheFormat() {
    QFETCH(QByteArray, line);
    QCOMPARE(ParseWeeklyLine(bytes(line)).state, FileState::Unreadable);
    QByteArray delayLine = line, datedLine = line;
    delayLine.replace("dni=", "opoznienie=").replace("dni&", "opoznienie&");
    datedLine.replace("dni=", "rok1=").replace("dni&", "rok1&");
    QCOMPARE(ParseDelayLine(bytes(delayLine)).state, FileState::Unreadable);
    QCOMPARE(ParseDatedLine(bytes(datedLine)).state, FileState::Unreadable);
    QCOMPARE(ParseDelayLine("rok1=5&").state, FileState::Unreadable);
    QCOMPARE(ParseDatedLine("dni=5&").state, FileState::Unreadable);
}

void TestScheduleFiles::fileStates_data() {
    QTest::addColumn<QByteArray>("content");  // null: a directory in the file's place
    QTest::addColumn<int>("state");
    QTest::addColumn<QByteArray>("delay");
    const int read = int(FileState::Read), unreadable = int(FileState::Unreadable);
    QTest::newRow("saved") << QByteArray("opoznienie=15&\r\n") << read << QByteArray("15");
    QTest::newRow("no line end") << QByteArray("opoznienie=15&") << read << QByteArray("15");
    QTest::newRow("only the first line") << QByteArray("opoznienie=15&\r\nopoznienie=20&\r\n") << read
                                         << QByteArray("15");
    QTest::newRow("cut in the text") << QByteArray("opoznienie=15") << read << QByteArray();
    QTest::newRow("directory") << QByteArray() << unreadable << QByteArray();
    QTest::newRow("empty file") << QByteArray("") << unreadable << QByteArray();
    QTest::newRow("only CR LF") << QByteArray("\r\n") << unreadable << QByteArray();
    QTest::newRow("binary") << QByteArray(
                                   "\x7f"
                                   "ELF\0\0",
                                   6)
                            << unreadable << QByteArray();
    const QByteArray big = "opoznienie=" + QByteArray(3 * 1024 * 1024, '9') + "&\r\n";
    QTest::newRow("3 MiB text") << big << read << big.mid(11, 3 * 1024 * 1024);
    QTest::newRow("longer than the limit") << "opoznienie=" + QByteArray(9 * 1024 * 1024, '9') + "&\r\n"
                                           << unreadable << QByteArray();
}

void TestScheduleFiles::fileStates() {
    QFETCH(QByteArray, content);
    QFETCH(int, state);
    QFETCH(QByteArray, delay);
    TestHall hall;
    QCOMPARE(ReadDelayFile().state, FileState::Missing);
    if (content.isNull())
        QVERIFY(QDir(hall.workPath()).mkdir("opoznienie.txt"));
    else
        QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), content));
    const DelayRead read = ReadDelayFile();
    QCOMPARE(int(read.state), state);
    QCOMPARE(QByteArray::fromStdString(read.text), delay);
}

void TestScheduleFiles::failedWriteSaysWhy() {
    TestHall hall;
    QVERIFY(QDir(hall.workPath()).mkpath("tydzien.txt/keep"));
    const Status written = WriteWeeklyFile(weeklyWith("7"), kWeeklyFilePath);
    QVERIFY(!written);
    QVERIFY(!written.error().empty());
    QVERIFY(!WriteDatedFile(datedWith("7"), "brak/daty.txt"));
    QCOMPARE(ReadWeeklyFile().state, FileState::Unreadable);
    QCOMPARE(ReadDatedFile().state, FileState::Missing);
    QCOMPARE(hall.listing(),
             QStringList({"konfigurator", "konfigurator/tydzien.txt", "konfigurator/tydzien.txt/keep"}));
}

QTEST_GUILESS_MAIN(TestScheduleFiles)
#include "test_schedule_files.moc"
