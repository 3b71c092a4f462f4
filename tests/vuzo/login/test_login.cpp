#include "login_window.h"
#include "main_window.h"

#include "hall_fixture.h"
#include "keyboard.h"
#include "message_watcher.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <memory>

namespace {

const QString kUnknownUser = QStringLiteral("program nie zna takiego użytkownika");
const QString kWrongPassword = QStringLiteral("Hasło nieprawidłowe sprubuj ponownie!");
const QString kMainTitle = QStringLiteral("KONFIGURATOR OŚWIETLENIA  HALI     >< VELTRONA><");

// The stored form of `count` letters "a".
// The login window as the operator meets it in a laid-out hall, and the
// main windows it has asked for.
class Operator {
public:
    Operator() : login([this] { return openMainWindow(); }) {
        login.show();
        QVERIFY(QTest::qWaitForWindowActive(&login));
    }
    QLineEdit* field(const char* name) { return login.findChild<QLineEdit*>(name); }
    QPushButton* button(const char* name) { return login.findChild<QPushButton*>(name); }
    void type(const char* name, const QString& text) { replaceText(field(name), text); }
    void enter(const QString& user, const QString& password) {
        type("Text1", user);
        type("Text2", password);
    }
    void expectStillAsking(const QString& user, const QString& password) {
        QVERIFY(login.isVisible());
        QCOMPARE(mainWindowsBuilt, 0);
        QCOMPARE(field("Text1")->text(), user);
        QCOMPARE(field("Text2")->text(), password);
    }

    int mainWindowsBuilt = 0;
    std::unique_ptr<MainWindow> mainWindow;
    LoginWindow login;
    MessageWatcher messages;

private:
    QWidget* openMainWindow() {
        ++mainWindowsBuilt;
        mainWindow = std::make_unique<MainWindow>();
        return mainWindow.get();
    }
};

}  // namespace

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void init() {
        hall = std::make_unique<TestHall>();
        QVERIFY(hall->layDefaults());
    }
    void cleanup() { hall.reset(); }

    void windowAsGiven();
    void rightPasswordOpensMainWindow_data();
    void rightPasswordOpensMainWindow();
    void unknownUser_data();
    void unknownUser();
    void wrongPasswordAsksAgain();
    void enterOnlyInPassword_data();
    void enterOnlyInPassword();

private:
    std::unique_ptr<TestHall> hall;
};

void TestLogin::windowAsGiven() {
    Operator op;
    QCOMPARE(op.login.windowTitle(), QStringLiteral("login"));
    QCOMPARE(op.login.size(), QSize(291, 126));
    QCOMPARE(op.login.minimumSize(), op.login.maximumSize());
    QCOMPARE(op.login.palette().color(QPalette::Window), QColor(255, 224, 192));
    const QRect screen = op.login.screen()->availableGeometry();
    const QRect client = op.login.geometry();
    QVERIFY(qAbs((client.left() - screen.left()) - (screen.right() - client.right())) <= 1);
    QVERIFY(qAbs((client.top() - screen.top()) - (screen.bottom() - client.bottom())) <= 1);
    QCOMPARE(op.login.findChild<QLabel*>("Label1")->text(), QStringLiteral("użytkownik"));
    QCOMPARE(op.login.findChild<QLabel*>("Label2")->text(), QStringLiteral("hasło"));
    QCOMPARE(op.button("Command1")->text(), QStringLiteral("ok"));
    QCOMPARE(op.button("Command2")->text(), QStringLiteral("anuluj"));
    QCOMPARE(op.field("Text1")->geometry(), QRect(90, 7, 187, 24));

    QCOMPARE(QApplication::focusWidget(), op.field("Text1"));
    for (const char* next : {"Text2", "Command1", "Command2"}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QLatin1String(next));
    }

    op.type("Text2", QStringLiteral("aą#x"));
    QCOMPARE(op.field("Text2")->text(), QStringLiteral("aą#x"));
    QCOMPARE(op.field("Text2")->displayText(), QStringLiteral("####"));
}

void TestLogin::rightPasswordOpensMainWindow_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QByteArray>("account");
    QTest::addColumn<QString>("password");
    QTest::newRow("abc") << "jan" << QByteArray("beh\r\n") << "abc";
    QTest::newRow("empty password") << "anna" << QByteArray("\r\n") << "";
    QTest::newRow("differs beyond the 64th character") << "long" << scrambledRun(64) + "\r\n"
                                                       << QString(64, 'a') + "XYZ";
    QTest::newRow("uncodable character beyond the 64th") << "long" << scrambledRun(64) + "\r\n"
                                                         << QString(64, 'a') + QStringLiteral("漢");
    QTest::newRow("stored comma") << "plus" << QByteArray(",\r\n") << "+";
    QTest::newRow("Polish letters") << "Józef" << QByteArray("\xf4\x64\r\n") << "óa";
}

void TestLogin::rightPasswordOpensMainWindow() {
    QFETCH(QString, user);
    QFETCH(QByteArray, account);
    QFETCH(QString, password);
    QVERIFY(TestHall::write(hall->workFile(user), account));
    Operator op;
    op.enter(user, password);
    QTest::mouseClick(op.button("Command1"), Qt::LeftButton);

    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(op.mainWindowsBuilt, 1);
    QVERIFY(op.mainWindow->isVisible());
    QCOMPARE(op.mainWindow->windowTitle(), kMainTitle);
    QCOMPARE(op.mainWindow->findChild<QPushButton*>("Command8_107")->text(), QStringLiteral("L108"));
    QVERIFY(!op.login.isVisible());
}

void TestLogin::unknownUser_data() {
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("accountFile");  // relative to the hall's root; "/" at the end: a directory
    QTest::addColumn<QByteArray>("content");
    const QByteArray abc("beh\r\n");
    QTest::newRow("empty name") << ""
                                << "abc"
                                << "" << QByteArray();
    QTest::newRow("no such account") << "marek"
                                     << "abc"
                                     << "konfigurator/jan" << abc;
    QTest::newRow("zero-byte account file") << "marek"
                                            << ""
                                            << "konfigurator/marek" << QByteArray();
    QTest::newRow("name reaching the parent") << "../x"
                                              << "abc"
                                              << "x" << abc;
    QTest::newRow("configurator's own file") << "pakiet.txt"
                                             << "abc"
                                             << "konfigurator/pakiet.txt" << abc;
    QTest::newRow("own file, other case") << "PAKIET.TXT"
                                          << "abc"
                                          << "konfigurator/PAKIET.TXT" << abc;
    QTest::newRow("directory") << "skrzynka"
                               << ""
                               << "konfigurator/skrzynka/" << QByteArray();
    // ó (243) plus 13 leaves the byte range: whatever was stored, never a match.
    QTest::newRow("o-acute at position 7") << "jan"
                                           << "aaaaaaó"
                                           << "konfigurator/jan" << QByteArray("bdfhjl\x00\r\n", 9);
    QTest::newRow("character without a code") << "jan"
                                              << "ab漢"
                                              << "konfigurator/jan" << abc;
}

void TestLogin::unknownUser() {
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, accountFile);
    QFETCH(QByteArray, content);
    if (accountFile.endsWith('/'))
        QVERIFY(QDir(hall->rootPath()).mkpath(accountFile));
    else if (!accountFile.isEmpty())
        QVERIFY(TestHall::write(hall->rootFile(accountFile), content));
    Operator op;
    op.enter(user, password);
    QTest::mouseClick(op.button("Command1"), Qt::LeftButton);
    QCOMPARE(op.messages.texts(), QStringList{kUnknownUser});
    op.expectStillAsking(user, password);
}

void TestLogin::wrongPasswordAsksAgain() {
    QVERIFY(TestHall::write(hall->workFile("jan"), "beh\r\n"));
    Operator op;
    op.enter("jan", "abd");
    QTest::mouseClick(op.button("Command1"), Qt::LeftButton);
    QCOMPARE(op.messages.texts(), QStringList{kWrongPassword});
    QTRY_COMPARE(QApplication::focusWidget(), op.field("Text2"));
    QCOMPARE(op.field("Text2")->selectedText(), QStringLiteral("abd"));

    // Typing replaces the selected password; letter case matters.
    typeText(op.field("Text2"), "ABC");
    QTest::keyClick(op.field("Text2"), Qt::Key_Return);
    QCOMPARE(op.messages.texts(), QStringList({kWrongPassword, kWrongPassword}));
    QTRY_COMPARE(QApplication::focusWidget(), op.field("Text2"));
    QCOMPARE(op.field("Text2")->selectedText(), QStringLiteral("ABC"));
    op.expectStillAsking("jan", "ABC");

    typeText(op.field("Text2"), "abc");
    QTest::keyClick(op.field("Text2"), Qt::Key_Return);
    QCOMPARE(op.messages.texts().size(), 2);
    QCOMPARE(op.mainWindowsBuilt, 1);
    QVERIFY(!op.login.isVisible());
}

void TestLogin::enterOnlyInPassword_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestLogin::enterOnlyInPassword() {
    QFETCH(int, key);
    QVERIFY(TestHall::write(hall->workFile("jan"), "beh\r\n"));
    Operator op;
    op.enter("jan", "abc");
    for (const char* name : {"Text1", "Text2"}) {
        op.field(name)->setFocus();
        QTest::keyClick(op.field(name), Qt::Key_Escape);
    }
    op.field("Text1")->setFocus();
    QTest::keyClick(op.field("Text1"), Qt::Key(key));
    QCOMPARE(op.messages.texts(), QStringList());
    op.expectStillAsking("jan", "abc");

    op.field("Text2")->setFocus();
    QTest::keyClick(op.field("Text2"), Qt::Key(key));
    QCOMPARE(op.messages.texts(), QStringList());
    QCOMPARE(op.mainWindowsBuilt, 1);
    QVERIFY(!op.login.isVisible());
}

QTEST_MAIN(TestLogin)
#include "test_login.moc"
