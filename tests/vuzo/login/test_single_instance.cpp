#include "single_instance.h"

#include "hall_fixture.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTest>

#include <unistd.h>

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void keyLiesInPrivateDirectory();
    void keyIgnoresUserVariables();
    void squatterInSharedTempDoesNotStopStart();
};

void TestSingleInstance::keyLiesInPrivateDirectory() {
    TestHall hall;
    const QFileInfo key(SingleInstance::currentKey());
    const QFileInfo directory(key.absolutePath());
    QCOMPARE(directory.absoluteFilePath(),
             QFileInfo(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)).absoluteFilePath());
    QCOMPARE(directory.ownerId(), uint(::getuid()));
    QCOMPARE(directory.permissions() & ~(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser |
                                         QFile::WriteUser | QFile::ExeUser),
             QFile::Permissions());
    SingleInstance instance(key.absoluteFilePath());
    QVERIFY(instance.claim());
    QVERIFY(QFileInfo::exists(key.absoluteFilePath()));
}

// Anyone can set $USER: the key follows the numeric user id and the hall only.
void TestSingleInstance::keyIgnoresUserVariables() {
    TestHall hall;
    const QString key = SingleInstance::currentKey();
    const QByteArray user = qgetenv("USER");
    qputenv("USER", "someone-else");
    qputenv("LOGNAME", "someone-else");
    const QString withOtherName = SingleInstance::currentKey();
    qputenv("USER", user);
    QCOMPARE(withOtherName, key);
    TestHall otherHall;
    QVERIFY(SingleInstance::currentKey() != key);
}

// Another user listening under every name the shared temporary directory
// could hold for this hall gets no raise request and stops nothing.
void TestSingleInstance::squatterInSharedTempDoesNotStopStart() {
    TestHall hall;
    const QString name = QFileInfo(SingleInstance::currentKey()).fileName();
    QLocalServer squatter;
    QVERIFY(squatter.listen(QDir::temp().filePath(name)));
    SingleInstance instance(SingleInstance::currentKey());
    QVERIFY(instance.claim());
    QVERIFY(!squatter.hasPendingConnections());
    QLocalSocket probe;
    probe.connectToServer(SingleInstance::currentKey());
    QVERIFY(probe.waitForConnected(2000));
}

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
