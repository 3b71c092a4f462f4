#include "account_file.h"

#include "hall_fixture.h"

#include <QDir>
#include <QTest>

#include <sys/stat.h>

using namespace hall;

namespace {

std::string bytes(const QByteArray& b) { return b.toStdString(); }

}  // namespace

class TestAccountFile : public QObject {
    Q_OBJECT

private slots:
    void scramble_data();
    void scramble();
    void accountName_data();
    void accountName();
    void writeCreatesNeverReplaces();
    void writeEmptyPassword();
    void read_data();
    void read();
    void readDirectoryOrMissing();
    void existsCountsWhatTakesTheName();
    void accountIsPrivateWhateverTheUmask_data();
    void accountIsPrivateWhateverTheUmask();
};

void TestAccountFile::scramble_data() {
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<bool>("inRange");
    QTest::addColumn<QByteArray>("scrambled");
    QTest::newRow("abc") << QByteArray("abc") << true << QByteArray("beh");
    QTest::newRow("empty") << QByteArray() << true << QByteArray();
    QTest::newRow("plus gives a comma") << QByteArray("+") << true << QByteArray(",");
    QTest::newRow("bang gives a quote") << QByteArray("!") << true << QByteArray("\"");
    QTest::newRow("case matters") << QByteArray("ABC") << true << QByteArray("BEH");
    {
        QByteArray seventy(70, 'a');
        QByteArray expected;
        for (int i = 1; i <= 64; ++i) expected += char('a' + 2 * i - 1);
        QTest::newRow("70 characters keep 64") << seventy << true << expected;
    }
    QTest::newRow("ascii 127 at 64") << (QByteArray(63, 'a') + char(127)) << true << [] {
        QByteArray e;
        for (int i = 1; i <= 63; ++i) e += char('a' + 2 * i - 1);
        return e + char(254);
    }();
    QTest::newRow("o-acute at 6 fits") << QByteArray("aaaaa\xf3") << true << QByteArray("bdfhj\xfe");
    QTest::newRow("o-acute at 7 breaks") << QByteArray("aaaaaa\xf3") << false << QByteArray();
    QTest::newRow("e-ogonek at 12 breaks") << (QByteArray(11, 'a') + '\xea') << false << QByteArray();
    QTest::newRow("s-acute at 51 breaks") << (QByteArray(50, 'a') + '\x9c') << false << QByteArray();
    QTest::newRow("breaking beyond 64 is ignored") << (QByteArray(64, 'a') + '\xff') << true << [] {
        QByteArray e;
        for (int i = 1; i <= 64; ++i) e += char('a' + 2 * i - 1);
        return e;
    }();
}

void TestAccountFile::scramble() {
    QFETCH(QByteArray, password);
    QFETCH(bool, inRange);
    QFETCH(QByteArray, scrambled);
    const std::optional<std::string> result = ScramblePassword(bytes(password));
    QCOMPARE(bool(result), inRange);
    if (result) QCOMPARE(QByteArray::fromStdString(*result), scrambled);
}

void TestAccountFile::accountName_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("plain") << QByteArray("jan") << true;
    QTest::newRow("polish") << QByteArray("Józef") << true;
    QTest::newRow("dot inside") << QByteArray("jan.kowalski") << true;
    QTest::newRow("three dots") << QByteArray("...") << true;
    QTest::newRow("like a config but not") << QByteArray("vuzo9.txt") << true;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("dot") << QByteArray(".") << false;
    QTest::newRow("dot dot") << QByteArray("..") << false;
    QTest::newRow("parent path") << QByteArray("../x") << false;
    QTest::newRow("absolute") << QByteArray("/etc/passwd") << false;
    QTest::newRow("backslash") << QByteArray("..\\x") << false;
    QTest::newRow("nul") << QByteArray("a\0b", 3) << false;
    QTest::newRow("pakiet.txt") << QByteArray("pakiet.txt") << false;
    QTest::newRow("PAKIET.TXT") << QByteArray("PAKIET.TXT") << false;
    QTest::newRow("czuj.txt") << QByteArray("Czuj.Txt") << false;
    QTest::newRow("vuzo1.txt") << QByteArray("vuzo1.txt") << false;
    QTest::newRow("VUZO8.TXT") << QByteArray("VUZO8.TXT") << false;
    QTest::newRow("help.htm") << QByteArray("HELP.htm") << false;
    QTest::newRow("opoznienie.txt") << QByteArray("opoznienie.txt") << false;
    QTest::newRow("OPOZNIENIE.TXT") << QByteArray("OPOZNIENIE.TXT") << false;
    QTest::newRow("tydzien.txt") << QByteArray("Tydzien.txt") << false;
    QTest::newRow("daty.txt") << QByteArray("daty.TXT") << false;
    QTest::newRow("sterownik.conf") << QByteArray("Sterownik.conf") << false;
    QTest::newRow("sterownik.lock") << QByteArray("sterownik.LOCK") << false;
    QTest::newRow("like a schedule but not") << QByteArray("daty.txt.bak") << true;
}

void TestAccountFile::accountName() {
    QFETCH(QByteArray, name);
    QFETCH(bool, valid);
    QCOMPARE(IsValidAccountName(bytes(name)), valid);
}

void TestAccountFile::writeCreatesNeverReplaces() {
    TestHall hall;
    QVERIFY(!AccountFileExists("jan"));
    QVERIFY(WriteAccountFile("jan", "beh"));
    QCOMPARE(TestHall::read(hall.workFile("jan")), QByteArray("beh\r\n"));
    QVERIFY(AccountFileExists("jan"));
    const Status written = WriteAccountFile("jan", "xyz");
    QVERIFY(!written);
    QVERIFY(!written.error().empty());
    QCOMPARE(TestHall::read(hall.workFile("jan")), QByteArray("beh\r\n"));
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/jan"}));
}

void TestAccountFile::writeEmptyPassword() {
    TestHall hall;
    QVERIFY(WriteAccountFile("anna", ""));
    QCOMPARE(TestHall::read(hall.workFile("anna")), QByteArray("\r\n"));
    const os::SysResult<std::string> stored = ReadAccountFile("anna");
    QVERIFY(stored);
    QCOMPARE(*stored, std::string());
}

void TestAccountFile::read_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("written layout") << QByteArray("beh\r\n") << true << QByteArray("beh");
    QTest::newRow("only CR LF") << QByteArray("\r\n") << true << QByteArray();
    QTest::newRow("no line end") << QByteArray("beh") << true << QByteArray("beh");
    QTest::newRow("ends at first CR") << QByteArray("ab\rcd\r\n") << true << QByteArray("ab");
    QTest::newRow("lone LF is stored") << QByteArray("a\nb\r\n") << true << QByteArray("a\nb");
    QTest::newRow("comma and quote") << QByteArray(",\"x\r\n") << true << QByteArray(",\"x");
    QTest::newRow("zero bytes") << QByteArray() << false << QByteArray();
}

void TestAccountFile::read() {
    QFETCH(QByteArray, content);
    QFETCH(bool, readable);
    QFETCH(QByteArray, stored);
    TestHall hall;
    QVERIFY(TestHall::write(hall.workFile("user"), content));
    const os::SysResult<std::string> value = ReadAccountFile("user");
    QCOMPARE(bool(value), readable);
    if (value) QCOMPARE(QByteArray::fromStdString(*value), stored);
}

void TestAccountFile::readDirectoryOrMissing() {
    TestHall hall;
    QVERIFY(!ReadAccountFile("nobody"));
    QVERIFY(QDir(hall.workPath()).mkdir("folder"));
    QVERIFY(!ReadAccountFile("folder"));
    QVERIFY(!ReadAccountFile(""));
}

void TestAccountFile::existsCountsWhatTakesTheName() {
    TestHall hall;
    QVERIFY(!AccountFileExists(""));
    QVERIFY(QDir(hall.workPath()).mkdir("folder"));
    QVERIFY(AccountFileExists("folder"));
    QVERIFY(!WriteAccountFile("folder", "x"));
    QVERIFY(!AccountFileExists(std::string(300, 'n')));
    QVERIFY(!WriteAccountFile(std::string(300, 'n'), "x"));
}

void TestAccountFile::accountIsPrivateWhateverTheUmask_data() {
    QTest::addColumn<int>("umask");
    QTest::newRow("open umask") << 0;
    QTest::newRow("usual umask") << 022;
    QTest::newRow("strict umask") << 077;
}

// The scramble can be undone: owner and group only, and exactly that.
void TestAccountFile::accountIsPrivateWhateverTheUmask() {
    QFETCH(int, umask);
    TestHall hall;
    const mode_t previous = ::umask(mode_t(umask));
    const bool written = WriteAccountFile("jan", "beh").has_value();
    ::umask(previous);
    QVERIFY(written);
    QCOMPARE(std::filesystem::status("jan").permissions(), std::filesystem::perms(0640));
}

QTEST_APPLESS_MAIN(TestAccountFile)
#include "test_account_file.moc"
