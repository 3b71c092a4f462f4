#include "line_file.h"

#include "hall_fixture.h"

#include <QDir>
#include <QTest>

#include <atomic>
#include <thread>

using namespace hall;

class TestLineFile : public QObject {
    Q_OBJECT

private slots:
    void writesExactBytes();
    void replaceLeavesNoTemporary();
    void failureLeavesTargetAlone();
    void missingDirectoryFails();
    void readerNeverSeesAPart();
    void firstLineStopsAtLimit();
};

void TestLineFile::writesExactBytes() {
    TestHall hall;
    const QByteArray bytes("a\0\r\n\xff", 5);
    QVERIFY(WriteFileAtomically("f.txt", bytes.toStdString()));
    QCOMPARE(TestHall::read(hall.workFile("f.txt")), bytes);
}

void TestLineFile::replaceLeavesNoTemporary() {
    TestHall hall;
    QVERIFY(TestHall::write(hall.workFile("f.txt"), QByteArray(10000, 'x')));
    QVERIFY(WriteFileAtomically("f.txt", "short\r\n"));
    QCOMPARE(TestHall::read(hall.workFile("f.txt")), QByteArray("short\r\n"));
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/f.txt"}));
}

void TestLineFile::failureLeavesTargetAlone() {
    TestHall hall;
    QVERIFY(QDir(hall.workPath()).mkpath("taken/inner"));
    std::string error;
    QVERIFY(!WriteFileAtomically("taken", "x", &error));
    QVERIFY(!error.empty());
    QVERIFY(QFileInfo(hall.workFile("taken")).isDir());
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/taken", "konfigurator/taken/inner"}));
}

void TestLineFile::missingDirectoryFails() {
    TestHall hall;
    std::string error;
    QVERIFY(!WriteFileAtomically("no/such/dir/f.txt", "x", &error));
    QVERIFY(!error.empty());
}

// Another process's reader opens the file while it is rewritten over and
// over: it must only ever find one whole version or the other.
void TestLineFile::readerNeverSeesAPart() {
    TestHall hall;
    const std::string first(700, 'a');
    const std::string second(900, 'b');
    QVERIFY(WriteFileAtomically("shared.txt", first));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        while (!done) {
            const std::optional<std::string> line = ReadFirstLine("shared.txt", 4096);
            ++reads;
            if (!line || (*line != first && *line != second)) ++torn;
        }
    });
    for (int i = 0; i < 2000; ++i) QVERIFY(WriteFileAtomically("shared.txt", i % 2 ? first : second));
    done = true;
    reader.join();
    QVERIFY(reads > 0);
    QCOMPARE(torn.load(), 0);
}

void TestLineFile::firstLineStopsAtLimit() {
    TestHall hall;
    QVERIFY(TestHall::write(hall.workFile("big"), QByteArray(100000, 'z')));
    const std::optional<std::string> line = ReadFirstLine("big", 4096);
    QVERIFY(line);
    QCOMPARE(line->size(), std::size_t(4096));
}

QTEST_APPLESS_MAIN(TestLineFile)
#include "test_line_file.moc"
