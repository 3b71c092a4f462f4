#include "hall_fixture.h"
#include "linked_libraries.h"

#include <QDir>
#include <QProcess>
#include <QTest>

namespace {

QByteArray allOffFile() {
    QByteArray line;
    for (int n = 1; n <= 108; ++n) line += "la" + QByteArray::number(n) + "=1&";
    return line + "\r\n";
}

struct Run {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs zero in the hall's working directory, through a shell when the test
// needs to limit it.
Run runZero(const TestHall& hall, const QString& shellPrefix = QString()) {
    QProcess process;
    process.setWorkingDirectory(hall.workPath());
    if (shellPrefix.isEmpty())
        process.start(QStringLiteral(ZERO_PATH), {});
    else
        process.start("/bin/sh", {"-c", shellPrefix + " exec \"$0\"", QStringLiteral(ZERO_PATH)});
    Run run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) return run;
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

}  // namespace

class TestZero : public QObject {
    Q_OBJECT

private slots:
    void createsAllOffFile();
    void replacesLitFileTheSameEveryTime();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void linksNoQt();
};

void TestZero::createsAllOffFile() {
    TestHall hall;
    const Run run = runZero(hall);
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.isEmpty());
    const QByteArray written = TestHall::read(hall.rootFile("actual.txt"));
    QCOMPARE(written.size(), 758);
    QCOMPARE(written, allOffFile());
    QCOMPARE(hall.listing(), QStringList({"actual.txt", "konfigurator"}));
}

void TestZero::replacesLitFileTheSameEveryTime() {
    TestHall hall;
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), QByteArray(allOffFile()).replace("=1&", "=3&")));
    QCOMPARE(runZero(hall).exitCode, 0);
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffFile());
    QCOMPARE(runZero(hall).exitCode, 0);
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), allOffFile());
}

void TestZero::failedWriteKeepsOldFile_data() {
    QTest::addColumn<QString>("shellPrefix");
    QTest::addColumn<bool>("directory");
    // Root may write anywhere: a file size limit makes the write itself fail.
    QTest::newRow("write fails midway") << QStringLiteral("trap '' XFSZ; ulimit -f 0;") << false;
    QTest::newRow("a directory in the way") << QString() << true;
}

void TestZero::failedWriteKeepsOldFile() {
    QFETCH(QString, shellPrefix);
    QFETCH(bool, directory);
    TestHall hall;
    const QByteArray old = "la1=3&old\r\n";
    if (directory)
        QVERIFY(QDir(hall.rootPath()).mkpath("actual.txt/keep"));
    else
        QVERIFY(TestHall::write(hall.rootFile("actual.txt"), old));
    const QStringList before = hall.listing();

    const Run run = runZero(hall, shellPrefix);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.out.isEmpty());
    QCOMPARE(run.err.count('\n'), 1);
    QVERIFY(run.err.endsWith('\n'));
    QVERIFY(run.err.contains("actual.txt"));
    QCOMPARE(hall.listing(), before);
    if (!directory) QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), old);
}

void TestZero::linksNoQt() {
#ifdef Q_OS_LINUX
    const QByteArray libraries = linkedLibraries(QStringLiteral(ZERO_PATH));
    QVERIFY(libraries.contains("libc."));
    QVERIFY(!libraries.contains("Qt"));
#else
    QSKIP("ldd is a Linux tool");
#endif
}

QTEST_GUILESS_MAIN(TestZero)
#include "test_zero.moc"
