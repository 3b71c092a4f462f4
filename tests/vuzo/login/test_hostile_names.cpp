#include "account_window.h"
#include "login_window.h"

#include "hall_fixture.h"
#include "keyboard.h"
#include "message_watcher.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

// Every file a hostile name could reach holds what the password "abc"
// scrambles to: reading any of them at the login would let it in.
const QByteArray kBait = "beh\r\n";

const QStringList kReserved = {"vuzo1.txt", "vuzo2.txt",      "vuzo3.txt",   "vuzo4.txt",  "vuzo5.txt",
                               "vuzo6.txt", "vuzo7.txt",      "vuzo8.txt",   "pakiet.txt", "czuj.txt",
                               "help.htm",  "opoznienie.txt", "tydzien.txt", "daty.txt"};

bool layBait(const TestHall& hall) {
    bool laid = hall.layDefaults() && QDir(hall.workPath()).mkdir("a");
    for (const QString& name : kReserved) laid = laid && TestHall::write(hall.workFile(name), kBait);
    for (const QString& path : {hall.rootFile("x"), hall.workFile("a/b"), hall.workFile("a\\b")})
        laid = laid && TestHall::write(path, kBait);
    return laid;
}

// Each entry below the hall root, and the system's password file, with its
// type and contents: whatever is written or replaced shows.
QStringList snapshot(const TestHall& hall) {
    QStringList entries;
    QDirIterator it(hall.rootPath(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths{QStringLiteral("/etc/passwd")};
    while (it.hasNext()) paths << it.next();
    for (const QString& path : paths) {
        const QFileInfo info(path);
        QString entry = path + (info.isDir() ? " directory" : " file");
        QFile file(path);
        if (info.isFile() && file.open(QIODevice::ReadOnly))
            entry += info.lastModified().toString(Qt::ISODateWithMs) +
                     QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex();
        entries << entry;
    }
    entries.sort();
    return entries;
}

// Pasted: no key press brings an unpaired surrogate, a paste does.
void pasteName(QWidget& window, const QString& name) {
    auto* field = window.findChild<QLineEdit*>("Text1");
    field->setFocus();
    field->setText(name);
}

QString threeCases(const QString& name, int which) {
    if (which == 0) return name;
    if (which == 1) return name.toUpper();
    return name.left(1).toUpper() + name.mid(1);
}

}  // namespace

class TestHostileNames : public QObject {
    Q_OBJECT

private slots:
    void hostileName_data();
    void hostileName();
};

void TestHostileNames::hostileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("login");
    QList<QPair<QByteArray, QString>> names = {
        {"parent", "../x"},
        {"absolute", "/etc/passwd"},
        {"slash", "a/b"},
        {"backslash", "a\\b"},
        {"dot dot", ".."},
        {"dot", "."},
        {"unpaired surrogate", QStringLiteral("x") + QChar(0xd800)},
        {"255 characters", QString(255, 'n')},
        {"10000 characters", QString(10000, 'n')},
    };
    for (const QString& reserved : kReserved)
        for (int which = 0; which < 3; ++which)
            names.append({reserved.toLatin1() + " case " + QByteArray::number(which), threeCases(reserved, which)});
    for (const auto& [row, name] : names) {
        QTest::addRow("kontomat, %s", row.constData()) << name << false;
        QTest::addRow("login, %s", row.constData()) << name << true;
    }
}

// None reads or writes a file outside the working directory, replaces a
// file, logs in or ends the program: each is refused with its message.
void TestHostileNames::hostileName() {
    QFETCH(QString, name);
    QFETCH(bool, login);
    TestHall hall;
    QVERIFY(layBait(hall));
    const QStringList before = snapshot(hall);
    MessageWatcher messages;
    if (login) {
        int mainWindowsBuilt = 0;
        LoginWindow window([&mainWindowsBuilt] {
            ++mainWindowsBuilt;
            return new QWidget;
        });
        window.show();
        pasteName(window, name);
        replaceText(window.findChild<QLineEdit*>("Text2"), "abc");
        QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        QCOMPARE(mainWindowsBuilt, 0);
        QVERIFY(window.isVisible());
        QCOMPARE(messages.texts(), QStringList{QStringLiteral("program nie zna takiego użytkownika")});
    } else {
        kontomat::AccountWindow window;
        QSignalSpy finished(&window, &kontomat::AccountWindow::finished);
        window.show();
        pasteName(window, name);
        replaceText(window.findChild<QLineEdit*>("Text2"), "abc");
        QTest::mouseClick(window.findChild<QPushButton*>("Command1"), Qt::LeftButton);
        // The longest name a file may have is an account like any other: it
        // is created in the working directory, and the tool ends as after any.
        if (name == QString(255, 'n')) {
            QCOMPARE(finished.count(), 1);
            QCOMPARE(TestHall::read(hall.workFile(name)), kBait);
            QVERIFY(QFile::remove(hall.workFile(name)));
        } else {
            QCOMPARE(finished.count(), 0);
            QCOMPARE(messages.texts().size(), 1);
        }
    }
    QCOMPARE(snapshot(hall), before);
}

QTEST_MAIN(TestHostileNames)
#include "test_hostile_names.moc"
