#include "line_file.h"

#include "hall_fixture.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using namespace hall;
namespace fs = std::filesystem;

Q_DECLARE_METATYPE(std::error_code)

namespace {

constexpr auto kUnusualMode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;
constexpr uid_t kNobody = 65534;

fs::perms permissionsOf(const QString& path) { return fs::status(path.toStdString()).permissions(); }

// Replaces `path` as a user who may not add files to its directory; root
// may add files anywhere, so it hands the write to nobody.
int writeAsOutsider(const TestHall& hall, const QString& path, bool fileWritable) {
    QStringList command{QStringLiteral(STATE_WRITER_PATH), "write", path, "new\r\n"};
    if (::geteuid() == 0) {
        fs::permissions(hall.rootPath().toStdString(), fs::perms(0755));
        fs::permissions(hall.workPath().toStdString(), fs::perms(0755));
        if (fileWritable && ::chown(path.toLocal8Bit().constData(), kNobody, kNobody) != 0) return -1;
        command = QStringList{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"} + command;
    } else {
        fs::permissions(hall.workPath().toStdString(), fs::perms(0555));
        if (!fileWritable) fs::permissions(path.toStdString(), fs::perms(0444));
    }
    const int status = QProcess::execute(command.takeFirst(), command);
    fs::permissions(hall.workPath().toStdString(), fs::perms(0755));
    return status;
}

}  // namespace

class TestLineFile : public QObject {
    Q_OBJECT

private slots:
    void writesExactBytes();
    void replaceLeavesNoTemporary();
    void failureLeavesTargetAlone();
    void missingDirectoryFails();
    void readerNeverSeesAPart();
    void firstLineStopsAtLimit();
    void replaceKeepsPermissionsAndOwner();
    void replaceFollowsLinks();
    void lockedDirectoryRewritesInPlace_data();
    void lockedDirectoryRewritesInPlace();
    void longestNamesFit();
    void fifoGivesNothingAtOnce();
    void readSaysWhy_data();
    void readSaysWhy();
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
    const Status written = WriteFileAtomically("taken", "x");
    QVERIFY(!written);
    QVERIFY(!written.error().empty());
    QVERIFY(QFileInfo(hall.workFile("taken")).isDir());
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/taken", "konfigurator/taken/inner"}));
}

void TestLineFile::missingDirectoryFails() {
    TestHall hall;
    const Status written = WriteFileAtomically("no/such/dir/f.txt", "x");
    QVERIFY(!written);
    QVERIFY(!written.error().empty());
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
            const os::SysResult<std::string> line = ReadFirstLine("shared.txt", 4096);
            ++reads;
            if (!line || (*line != first && *line != second)) ++torn;
        }
    });
    for (int i = 0; i < 200; ++i) QVERIFY(WriteFileAtomically("shared.txt", i % 2 ? first : second));
    done = true;
    reader.join();
    QVERIFY(reads > 0);
    QCOMPARE(torn.load(), 0);
}

void TestLineFile::firstLineStopsAtLimit() {
    TestHall hall;
    QVERIFY(TestHall::write(hall.workFile("big"), QByteArray(100000, 'z')));
    const os::SysResult<std::string> line = ReadFirstLine("big", 4096);
    QVERIFY(line);
    QCOMPARE(line->size(), std::size_t(4096));
}

// A controller running as another user must go on writing the file after
// this process replaced it.
void TestLineFile::replaceKeepsPermissionsAndOwner() {
    TestHall hall;
    const QString path = hall.workFile("f.txt");
    QVERIFY(TestHall::write(path, "old"));
    fs::permissions(path.toStdString(), kUnusualMode);
    const bool root = ::geteuid() == 0;
    if (root) QCOMPARE(::chown(path.toLocal8Bit().constData(), kNobody, kNobody), 0);
    QVERIFY(WriteFileAtomically("f.txt", "new"));
    QCOMPARE(TestHall::read(path), QByteArray("new"));
    QCOMPARE(permissionsOf(path), kUnusualMode);
    if (root) {
        QCOMPARE(QFileInfo(path).ownerId(), kNobody);
        QCOMPARE(QFileInfo(path).groupId(), kNobody);
    }
}

// Other programs read through the links: they must stay links and see the new bytes.
void TestLineFile::replaceFollowsLinks() {
    TestHall hall;
    QVERIFY(QDir(hall.workPath()).mkdir("real"));
    QVERIFY(TestHall::write(hall.workFile("real/f.txt"), "old"));
    fs::create_symlink("real/f.txt", "second");
    fs::create_symlink(hall.workFile("second").toStdString(), "first");  // absolute
    fs::create_symlink("nowhere", "dangling");
    QVERIFY(WriteFileAtomically("first", "new"));
    QVERIFY(WriteFileAtomically("dangling", "made"));
    QVERIFY(fs::is_symlink("first") && fs::is_symlink("second") && fs::is_symlink("dangling"));
    QCOMPARE(TestHall::read(hall.workFile("real/f.txt")), QByteArray("new"));
    QCOMPARE(TestHall::read(hall.workFile("nowhere")), QByteArray("made"));
    fs::create_symlink("loop", "loop");
    QVERIFY(!WriteFileAtomically("loop", "x"));
}

void TestLineFile::lockedDirectoryRewritesInPlace_data() {
    QTest::addColumn<bool>("fileWritable");
    QTest::newRow("writable file: rewritten in place") << true;
    QTest::newRow("read-only file: untouched") << false;
}

void TestLineFile::lockedDirectoryRewritesInPlace() {
    QFETCH(bool, fileWritable);
    TestHall hall;
    const QString path = hall.workFile("actual.txt");
    QVERIFY(TestHall::write(path, "old"));
    fs::create_hard_link("actual.txt", "twin");  // the same file under a second name
    QCOMPARE(writeAsOutsider(hall, path, fileWritable), fileWritable ? 0 : 1);
    const QByteArray expected = fileWritable ? "new\r\n" : "old";
    QCOMPARE(TestHall::read(path), expected);
    QCOMPARE(TestHall::read(hall.workFile("twin")), expected);
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/actual.txt", "konfigurator/twin"}));
}

// The temporary name is short: any name the file system takes can be written.
void TestLineFile::longestNamesFit() {
    TestHall hall;
    const std::string longest(255, 'n');
    QVERIFY(WriteFileAtomically(longest, "x"));
    QVERIFY(WriteFileAtomically(longest, "y"));
    QVERIFY(CreateFileExclusively(std::string(255, 'm'), "z"));
    QCOMPARE(hall.listing().size(), 3);
}

void TestLineFile::fifoGivesNothingAtOnce() {
    TestHall hall;
    QCOMPARE(::mkfifo("pipe", 0644), 0);
    QVERIFY(!ReadFirstLine("pipe", 4096));
}

// A read that gives nothing says why; an empty file has no first line, yet no lines.
void TestLineFile::readSaysWhy_data() {
    QTest::addColumn<QString>("file");  // "missing", "directory", "fifo" or its content
    QTest::addColumn<bool>("allLines");
    QTest::addColumn<std::error_code>("reason");
    QTest::newRow("missing") << "missing" << false << std::make_error_code(std::errc::no_such_file_or_directory);
    QTest::newRow("directory") << "directory" << false << std::make_error_code(std::errc::is_a_directory);
    QTest::newRow("FIFO") << "fifo" << true << std::make_error_code(std::errc::invalid_argument);
    QTest::newRow("empty") << "" << false << make_error_code(FileError::Empty);
    QTest::newRow("empty, all lines") << "" << true << std::error_code();
    QTest::newRow("at the limit") << "1234" << true << std::error_code();
    QTest::newRow("over the limit") << "12345" << true << std::make_error_code(std::errc::file_too_large);
}

void TestLineFile::readSaysWhy() {
    QFETCH(QString, file);
    QFETCH(bool, allLines);
    QFETCH(std::error_code, reason);
    TestHall hall;
    if (file == "directory")
        QVERIFY(QDir(hall.workPath()).mkdir("f"));
    else if (file == "fifo")
        QCOMPARE(::mkfifo("f", 0644), 0);
    else if (file != "missing")
        QVERIFY(TestHall::write(hall.workFile("f"), file.toUtf8()));
    const auto reasonOf = [](const auto& read) { return read ? std::error_code() : read.error(); };
    const std::error_code got = allLines ? reasonOf(ReadLines("f", 4)) : reasonOf(ReadFirstLine("f", 4));
    QVERIFY2(got == reason, got.message().c_str());
}

QTEST_APPLESS_MAIN(TestLineFile)
#include "test_line_file.moc"
