#include "hall_fixture.h"
#include "linked_libraries.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace {

// Central European time with its daylight saving rules, independent of the
// machine's zone files: 29 March 2026 skips 02:00–03:00, 25 October 2026
// repeats it.
const QString kZone = QStringLiteral("CET-1CEST,M3.5.0,M10.5.0/3");

QByteArray stateFile(const QList<int>& lit) {
    QByteArray line;
    for (int n = 1; n <= 108; ++n) line += "la" + QByteArray::number(n) + (lit.contains(n) ? "=3&" : "=1&");
    return line + "\r\n";
}

QByteArray sceneFile(const QList<int>& ticked, const QList<int>& third = {}) {
    QByteArray line = "a" + QByteArray(108, '0');
    for (int n : ticked) line[n] = '1';
    for (int n : third) line[n] = '2';
    return line + "\r\n";
}

// Monday to Friday; slot 1 at 6:30 with scenes 1 and 3; slot 2 at 22:00 with
// no scene; slot 3 not in use.
const QByteArray kWeek =
    "dni=1111100&godz1=6&min1=30&sceny1=10100000&godz2=22&min2=0&sceny2=00000000&"
    "godz3=-5&min3=30&sceny3=11111111&\r\n";

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run runHarmonogram(const TestHall& hall, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(hall.workPath());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), kZone);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(HARMONOGRAM_PATH), arguments);
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// The default hall, scenes 1 to 3 furnished, the week saved, all lamps off.
void furnish(const TestHall& hall) {
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneFile({1, 2}, {5})));
    QVERIFY(TestHall::write(hall.workFile("vuzo2.txt"), sceneFile({50})));
    QVERIFY(TestHall::write(hall.workFile("vuzo3.txt"), sceneFile({2, 108})));
    QVERIFY(TestHall::write(hall.workFile("tydzien.txt"), kWeek));
}

}  // namespace

class TestHarmonogram : public QObject {
    Q_OBJECT

private slots:
    void checksMinute_data();
    void checksMinute();
    void nothingScheduledInNewHall();
    void failsWritingNothing_data();
    void failsWritingNothing();
    void plan_data();
    void plan();
    void linksNoQt();
};

void TestHarmonogram::checksMinute_data() {
    QTest::addColumn<QString>("at");
    QTest::addColumn<QByteArray>("dated");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<QList<int>>("lit");  // empty and no output: nothing written
    QTest::newRow("Monday 6:30 lights scenes 1 and 3")
        << "2026-12-07 06:30" << QByteArray() << QByteArray("2026-12-07 06:30: sceny 1, 3; świecą 3 lampy\n")
        << QList<int>{1, 2, 108};
    QTest::newRow("Sunday 6:30 writes nothing") << "2026-12-06 06:30" << QByteArray() << QByteArray() << QList<int>();
    QTest::newRow("no scene ticked is all off")
        << "2026-12-08 22:00" << QByteArray() << QByteArray("2026-12-08 22:00: bez scen; nie świeci żadna lampa\n")
        << QList<int>();
    QTest::newRow("an hour the clock skips")
        << "2026-03-29 02:30" << QByteArray("rok1=2026&mies1=3&dzien1=29&godz1=2&min1=30&sceny1=1&\r\n") << QByteArray()
        << QList<int>();
}

void TestHarmonogram::checksMinute() {
    QFETCH(QString, at);
    QFETCH(QByteArray, dated);
    QFETCH(QByteArray, output);
    QFETCH(QList<int>, lit);
    TestHall hall;
    furnish(hall);
    if (!dated.isEmpty()) QVERIFY(TestHall::write(hall.workFile("daty.txt"), dated));
    // A scene the entry does not tick is not read, broken or not.
    QVERIFY(TestHall::write(hall.workFile("vuzo8.txt"), "a1\r\n"));
    const QByteArray before = "la1=3&old\r\n";
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), before));

    const Run run = runHarmonogram(hall, {"--at", at});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, output);
    QVERIFY(run.err.isEmpty());
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), output.isEmpty() ? before : stateFile(lit));
}

void TestHarmonogram::nothingScheduledInNewHall() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    const QStringList before = hall.listing();
    const Run run = runHarmonogram(hall, {});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.isEmpty());
    QCOMPARE(hall.listing(), before);
    QCOMPARE(runHarmonogram(hall, {"--plan"}).out, QByteArray());
}

void TestHarmonogram::failsWritingNothing_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("brokenPath");  // made a directory; or a file with `content`
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("message");
    const QStringList due = {"--at", "2026-12-07 06:30"};
    QTest::newRow("weekly file a directory") << due << "konfigurator/tydzien.txt" << QByteArray() << 1
                                             << QByteArray("harmonogram: nie można odczytać pliku tydzien.txt\n");
    QTest::newRow("dated file not of its format") << due << "konfigurator/daty.txt" << QByteArray("garbage\r\n") << 1
                                                  << QByteArray("harmonogram: nie można odczytać pliku daty.txt\n");
    QTest::newRow("dated file empty, nothing due")
        << QStringList{"--at", "2026-12-06 06:30"} << "konfigurator/daty.txt" << QByteArray("") << 1
        << QByteArray("harmonogram: nie można odczytać pliku daty.txt\n");
    QTest::newRow("needed scene incomplete") << due << "konfigurator/vuzo3.txt" << QByteArray("a11\r\n") << 1
                                             << QByteArray("harmonogram: nie można odczytać pliku vuzo3.txt\n");
    QTest::newRow("plan needs the scene too")
        << QStringList{"--plan", "--at", "2026-12-06 00:00"} << "konfigurator/vuzo1.txt" << QByteArray() << 1
        << QByteArray("harmonogram: nie można odczytać pliku vuzo1.txt\n");
    QTest::newRow("state file a directory") << due << "actual.txt" << QByteArray() << 1
                                            << QByteArray("harmonogram: nie można zapisać pliku ../actual.txt: ");
    const QByteArray usage = "użycie: harmonogram [--plan] [--at \"RRRR-MM-DD GG:MM\"]\n";
    QTest::newRow("unknown option") << QStringList{"--now"} << QString() << QByteArray() << 2 << usage;
    QTest::newRow("--at without minute") << QStringList{"--at"} << QString() << QByteArray() << 2 << usage;
    QTest::newRow("no such date") << QStringList{"--at", "2026-02-29 06:30"} << QString() << QByteArray() << 2 << usage;
    QTest::newRow("hour 24") << QStringList{"--at", "2026-12-07 24:00"} << QString() << QByteArray() << 2 << usage;
    QTest::newRow("short form") << QStringList{"--at", "2026-12-7 6:30"} << QString() << QByteArray() << 2 << usage;
    QTest::newRow("twice") << QStringList{"--plan", "--plan"} << QString() << QByteArray() << 2 << usage;
}

void TestHarmonogram::failsWritingNothing() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, brokenPath);
    QFETCH(QByteArray, content);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, message);
    TestHall hall;
    furnish(hall);
    const QByteArray before = "la1=3&old\r\n";
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), before));
    if (!brokenPath.isEmpty()) {
        QDir(hall.rootPath()).remove(brokenPath);  // may not exist yet
        if (content.isNull())
            QVERIFY(QDir(hall.rootPath()).mkpath(brokenPath + "/keep"));
        else
            QVERIFY(TestHall::write(hall.rootFile(brokenPath), content));
    }
    const QStringList listing = hall.listing();

    const Run run = runHarmonogram(hall, arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.startsWith(message), run.err.constData());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.endsWith('\n'));
    QCOMPARE(hall.listing(), listing);
    if (brokenPath != "actual.txt") QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), before);
}

void TestHarmonogram::plan_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QByteArray>("weekly");
    QTest::addColumn<QByteArray>("dated");
    QTest::addColumn<QByteArray>("lines");
    // Seven days from the start minute on: the entry at the start is in, the
    // one at the same minute a week later is not.
    QTest::newRow("a week with exception days")
        << "2026-12-20 12:00" << kWeek
        << QByteArray(
               "rok1=2026&mies1=12&dzien1=24&godz1=18&min1=0&sceny1=00100000&"
               "rok2=2026&mies2=12&dzien2=26&godz2=&min2=&sceny2=11111111&"
               "rok3=2026&mies3=12&dzien3=20&godz3=12&min3=00&sceny3=01000000&"
               "rok4=2026&mies4=12&dzien4=27&godz4=12&min4=00&sceny4=01000000&"
               "rok5=2026&mies5=12&dzien5=27&godz5=6&min5=30&sceny5=10100000&\r\n")
        << QByteArray(
               "2026-12-20 12:00: scena 2; świeci 1 lampa\n"
               "2026-12-21 06:30: sceny 1, 3; świecą 3 lampy\n"
               "2026-12-21 22:00: bez scen; nie świeci żadna lampa\n"
               "2026-12-22 06:30: sceny 1, 3; świecą 3 lampy\n"
               "2026-12-22 22:00: bez scen; nie świeci żadna lampa\n"
               "2026-12-23 06:30: sceny 1, 3; świecą 3 lampy\n"
               "2026-12-23 22:00: bez scen; nie świeci żadna lampa\n"
               "2026-12-24 18:00: scena 3; świecą 2 lampy\n"
               "2026-12-25 06:30: sceny 1, 3; świecą 3 lampy\n"
               "2026-12-25 22:00: bez scen; nie świeci żadna lampa\n"
               "2026-12-27 06:30: sceny 1, 3; świecą 3 lampy\n");
    const QByteArray sundayNight = "dni=0000001&godz1=2&min1=30&sceny1=01000000&godz2=3&min2=0&sceny2=00100000&\r\n";
    QTest::newRow("a repeated hour fires twice") << "2026-10-25 00:00" << sundayNight << QByteArray()
                                                 << QByteArray(
                                                        "2026-10-25 02:30: scena 2; świeci 1 lampa\n"
                                                        "2026-10-25 02:30: scena 2; świeci 1 lampa\n"
                                                        "2026-10-25 03:00: scena 3; świecą 2 lampy\n");
    QTest::newRow("a skipped hour does not fire") << "2026-03-29 00:00" << sundayNight << QByteArray()
                                                  << QByteArray("2026-03-29 03:00: scena 3; świecą 2 lampy\n");
}

void TestHarmonogram::plan() {
    QFETCH(QString, start);
    QFETCH(QByteArray, weekly);
    QFETCH(QByteArray, dated);
    QFETCH(QByteArray, lines);
    TestHall hall;
    furnish(hall);
    QVERIFY(TestHall::write(hall.workFile("tydzien.txt"), weekly));
    if (!dated.isEmpty()) QVERIFY(TestHall::write(hall.workFile("daty.txt"), dated));
    const QStringList before = hall.listing();
    const QByteArray state = TestHall::read(hall.rootFile("actual.txt"));

    const Run run = runHarmonogram(hall, {"--plan", "--at", start});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.isEmpty());
    QCOMPARE(run.out, lines);
    QCOMPARE(hall.listing(), before);
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), state);
}

void TestHarmonogram::linksNoQt() {
#ifdef Q_OS_LINUX
    const QByteArray libraries = linkedLibraries(QStringLiteral(HARMONOGRAM_PATH));
    QVERIFY(libraries.contains("libc."));
    QVERIFY(!libraries.contains("Qt"));
#else
    QSKIP("ldd is a Linux tool");
#endif
}

QTEST_GUILESS_MAIN(TestHarmonogram)
#include "test_harmonogram.moc"
