#include "account_window.h"

#include "hall_fixture.h"
#include "keyboard.h"
#include "message_watcher.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

const QString kExists = QStringLiteral("istnieje już taka nazwa użytkownika spróbój z inną");
const QString kBadName = QStringLiteral("nieprawidłowa nazwa użytkownika");
const QString kBadPassword = QStringLiteral("hasło zawiera niedozwolony znak");
const QString kCannotCreate = QStringLiteral("nie można utworzyć pliku konta");

// The window as the operator meets it, and the operator's moves.
class Operator {
public:
    Operator() : finished(&window, &kontomat::AccountWindow::finished) {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    QLineEdit* field(const char* name) { return window.findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return window.findChild<QPushButton*>(name); }
    void type(const char* name, const QString& text) { replaceText(field(name), text); }
    void generate(const QString& user, const QString& password) {
        type("Text1", user);
        type("Text2", password);
        QTest::mouseClick(button("Command1"), Qt::LeftButton);
    }

    kontomat::AccountWindow window;
    QSignalSpy finished;
    MessageWatcher messages;
};

}  // namespace

class TestKontomat : public QObject {
    Q_OBJECT

private slots:
    void windowAsGiven();
    void createsAccountAndEnds_data();
    void createsAccountAndEnds();
    void existingNameIsRefused();
    void refusedWithoutWriting_data();
    void refusedWithoutWriting();
    void fileThatCannotBeCreated();
    void cancelWritesNothing();
    void enterDoesNothing();
};

void TestKontomat::windowAsGiven() {
    Operator op;
    QCOMPARE(op.window.windowTitle(), QStringLiteral("Form1"));
    QCOMPARE(op.window.size(), QSize(259, 122));
    QCOMPARE(op.button("Command1")->text(), QStringLiteral("Generuj"));
    QCOMPARE(op.button("Command2")->text(), QStringLiteral("Anuluj"));
    QCOMPARE(op.field("Text1")->geometry(), QRect(104, 23, 148, 23));
    QCOMPARE(op.field("Text2")->echoMode(), QLineEdit::Normal);
    QCOMPARE(QApplication::focusWidget(), op.field("Text1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), op.field("Text2"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), op.button("Command1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), op.button("Command2"));
}

void TestKontomat::createsAccountAndEnds_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("abc") << "abc"
                         << "abc" << QByteArray("beh\r\n");
    QTest::newRow("empty password") << "anna"
                                    << "" << QByteArray("\r\n");
    QTest::newRow("70 characters store 64") << "long" << QString(70, 'a') << scrambledRun(64) + "\r\n";
    QTest::newRow("no code beyond 64 is ignored") << "far" << QString(64, 'a') + "漢" << scrambledRun(64) + "\r\n";
    QTest::newRow("polish letter in range") << "Józef"
                                            << "óa" << QByteArray("\xf4\x64\r\n");
}

void TestKontomat::createsAccountAndEnds() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QByteArray, content);
    TestHall hall;
    Operator op;
    op.generate(user, password);
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(op.finished.count(), 1);
    QCOMPARE(TestHall::read(hall.workFile(user)), content);
    QCOMPARE(hall.listing(), QStringList({"konfigurator", "konfigurator/" + user}));
}

void TestKontomat::existingNameIsRefused() {
    TestHall hall;
    QVERIFY(TestHall::write(hall.workFile("abc"), "beh\r\n"));
    Operator op;
    op.generate("abc", "other");
    QCOMPARE(op.messages.texts(), QStringList{kExists});
    QCOMPARE(op.finished.count(), 0);
    QCOMPARE(TestHall::read(hall.workFile("abc")), QByteArray("beh\r\n"));
    QCOMPARE(op.field("Text1")->text(), QStringLiteral("abc"));
    QCOMPARE(op.field("Text2")->text(), QStringLiteral("other"));
    // The operator picks another name and goes on.
    op.generate("abd", "x");
    QCOMPARE(op.finished.count(), 1);
    QCOMPARE(TestHall::read(hall.workFile("abd")), QByteArray("y\r\n"));
}

void TestKontomat::refusedWithoutWriting_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty name") << ""
                                << "abc" << kBadName;
    QTest::newRow("parent path") << "../x"
                                 << "abc" << kBadName;
    QTest::newRow("backslash") << "..\\x"
                               << "abc" << kBadName;
    QTest::newRow("dot dot") << ".."
                             << "abc" << kBadName;
    QTest::newRow("configuration file") << "pakiet.txt"
                                        << "abc" << kBadName;
    QTest::newRow("configuration file, upper case") << "VUZO3.TXT"
                                                    << "abc" << kBadName;
    QTest::newRow("o-acute at position 7") << "jan"
                                           << "aaaaaaó" << kBadPassword;
    QTest::newRow("no Windows-1250 code") << "jan"
                                          << "ab漢" << kBadPassword;
}

void TestKontomat::refusedWithoutWriting() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);
    TestHall hall;
    const QStringList before = hall.listing();
    Operator op;
    op.generate(user, password);
    QCOMPARE(op.messages.texts(), QStringList{message});
    QCOMPARE(op.finished.count(), 0);
    QCOMPARE(hall.listing(), before);
    QVERIFY(op.window.isVisible());
}

void TestKontomat::fileThatCannotBeCreated() {
    TestHall hall;
    Operator op;
    op.generate(QString(300, 'n'), "abc");
    QCOMPARE(op.messages.texts(), QStringList{kCannotCreate});
    QCOMPARE(op.finished.count(), 0);
    QCOMPARE(hall.listing(), QStringList{"konfigurator"});
}

void TestKontomat::cancelWritesNothing() {
    TestHall hall;
    Operator op;
    op.type("Text1", "abc");
    op.type("Text2", "abc");
    QTest::mouseClick(op.button("Command2"), Qt::LeftButton);
    QCOMPARE(op.finished.count(), 1);
    QCOMPARE(hall.listing(), QStringList{"konfigurator"});
}

void TestKontomat::enterDoesNothing() {
    TestHall hall;
    Operator op;
    op.type("Text1", "abc");
    QTest::keyClick(op.field("Text1"), Qt::Key_Return);
    op.type("Text2", "abc");
    QTest::keyClick(op.field("Text2"), Qt::Key_Return);
    QTest::keyClick(op.field("Text2"), Qt::Key_Escape);
    QCOMPARE(op.finished.count(), 0);
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(hall.listing(), QStringList{"konfigurator"});
}

QTEST_MAIN(TestKontomat)
#include "test_kontomat.moc"
