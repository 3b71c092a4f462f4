#include "login_window.h"
#include "single_instance.h"
#include "startup.h"

#include "hall_fixture.h"
#include "keyboard.h"
#include "message_watcher.h"

#include <QApplication>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

namespace {

// How long anything may take before the test gives up on it.
constexpr int kBound = 10000;

// A real configurator started in a hall; killed when the test is done with it.
class Vuzo {
public:
    explicit Vuzo(const QString& workingDirectory) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(workingDirectory);
        process.start(QStringLiteral(VUZO_PATH), {});
    }
    ~Vuzo() {
        if (!running()) return;
        process.kill();
        process.waitForFinished(kBound);
    }
    bool running() const { return process.state() != QProcess::NotRunning; }
    bool endsWithZero() {
        if (running() && !process.waitForFinished(kBound)) return false;
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    QProcess process;
};

// Whether a configurator listens under `key`; a bare connection asks nothing of it.
bool listening(const QString& key) {
    QLocalSocket probe;
    probe.connectToServer(key);
    return probe.waitForConnected(200);
}

LoginWindow* shownLogin() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (auto* login = qobject_cast<LoginWindow*>(window); login && login->isVisible()) return login;
    return nullptr;
}

QList<QWidget*> visibleWindows() {
    QList<QWidget*> shown;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->isVisible()) shown << window;
    return shown;
}

void logIn(LoginWindow& login, const QString& user, const QString& password) {
    typeText(login.findChild<QLineEdit*>("Text1"), user);
    auto* passwordBox = login.findChild<QLineEdit*>("Text2");
    typeText(passwordBox, password);
    QTest::keyClick(passwordBox, Qt::Key_Return);
}

// A killed configurator leaves its socket file behind; it goes with the
// test's hall.
void forgetKilledInstance(const QString& key) {
    if (!listening(key)) QLocalServer::removeServer(key);
}

struct Run {
    int status = -1;
    int mainWindowsBuilt = 0;
    bool gaveUp = false;
};

// Starts the configurator in this process, as main() does; `operatorActs`
// runs once the login window waits for the operator.
Run runConfigurator(const std::function<void(LoginWindow&)>& operatorActs) {
    Run run;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&run] {
        run.gaveUp = true;
        QCoreApplication::exit(1);
    });
    watchdog.start(kBound);
    QTimer::singleShot(0, &watchdog, [&operatorActs] {
        if (LoginWindow* login = shownLogin()) operatorActs(*login);
    });
    run.status = startConfigurator(*qApp, [&run] {
        ++run.mainWindowsBuilt;
        auto* window = new QWidget;
        window->setAttribute(Qt::WA_DeleteOnClose);
        return window;
    });
    return run;
}

}  // namespace

class TestLoginStartup : public QObject {
    Q_OBJECT

private slots:
    void init() {
        hall = std::make_unique<TestHall>();
        QVERIFY(hall->layDefaults());
        QVERIFY(TestHall::write(hall->workFile("jan"), "beh\r\n"));
    }
    void cleanup() {
        forgetKilledInstance(SingleInstance::currentKey());
        hall.reset();
    }

    void endsWithoutLogin_data();
    void endsWithoutLogin();
    void secondStartShowsNothing();
    void runningInstanceRaisesItsWindow_data();
    void runningInstanceRaisesItsWindow();
    void secondProcessAsksFirstToRaise();
    void secondProcessEndsFirstRuns();
    void otherHallStartsNormally();
    void staleSocketDoesNotBlock();
    void simultaneousStartsLeaveOne();

private:
    std::unique_ptr<TestHall> hall;
    MessageWatcher messages;
};

void TestLoginStartup::endsWithoutLogin_data() {
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("anuluj") << false;
    QTest::newRow("close box") << true;
}

void TestLoginStartup::endsWithoutLogin() {
    QFETCH(bool, closeBox);
    const Run run = runConfigurator([closeBox](LoginWindow& login) {
        typeText(login.findChild<QLineEdit*>("Text1"), "jan");
        if (closeBox)
            login.close();
        else
            QTest::mouseClick(login.findChild<QPushButton*>("Command2"), Qt::LeftButton);
    });
    QVERIFY(!run.gaveUp);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.mainWindowsBuilt, 0);
    QVERIFY(!listening(SingleInstance::currentKey()));
}

void TestLoginStartup::secondStartShowsNothing() {
    SingleInstance first(SingleInstance::currentKey());
    QVERIFY(first.claim());
    QSignalSpy raiseRequests(&first, &SingleInstance::raiseRequested);
    const Run run = runConfigurator([](LoginWindow&) {});
    QVERIFY(!run.gaveUp);
    QCOMPARE(run.status, 0);
    QCOMPARE(run.mainWindowsBuilt, 0);
    QCOMPARE(visibleWindows(), QList<QWidget*>());
    QTRY_COMPARE(raiseRequests.count(), 1);
}

void TestLoginStartup::runningInstanceRaisesItsWindow_data() {
    QTest::addColumn<bool>("loggedIn");
    QTest::newRow("login window") << false;
    QTest::newRow("main window") << true;
}

// The running configurator is minimised behind another window; a second
// start brings it back and ends.
void TestLoginStartup::runningInstanceRaisesItsWindow() {
    QFETCH(bool, loggedIn);
    QWidget otherWindow;
    QPointer<QWidget> front;
    std::unique_ptr<Vuzo> second;
    bool raised = false;
    QTimer poll;
    connect(&poll, &QTimer::timeout, [&] {
        if (second->running() || !front || front->isMinimized() || QApplication::activeWindow() != front) return;
        raised = true;
        QCoreApplication::exit(0);
    });
    const Run run = runConfigurator([&](LoginWindow& login) {
        if (loggedIn) logIn(login, "jan", "abc");
        front = loggedIn ? login.mainWindow() : &login;
        front->showMinimized();
        otherWindow.show();
        otherWindow.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&otherWindow));
        second = std::make_unique<Vuzo>(hall->workPath());
        poll.start(10);
    });
    const bool mainWindowShown = front && front != shownLogin();
    delete front.data();
    QVERIFY(!run.gaveUp);
    QVERIFY(raised);
    QCOMPARE(mainWindowShown, loggedIn);
    QVERIFY(second->endsWithZero());
}

void TestLoginStartup::secondProcessAsksFirstToRaise() {
    SingleInstance first(SingleInstance::currentKey());
    QVERIFY(first.claim());
    QSignalSpy raiseRequests(&first, &SingleInstance::raiseRequested);
    Vuzo second(hall->workPath());
    QVERIFY(second.endsWithZero());
    QTRY_COMPARE(raiseRequests.count(), 1);
}

void TestLoginStartup::secondProcessEndsFirstRuns() {
    const QString key = SingleInstance::currentKey();
    Vuzo first(hall->workPath());
    QTRY_VERIFY_WITH_TIMEOUT(listening(key), kBound);
    Vuzo second(hall->workPath());
    QVERIFY(second.endsWithZero());
    QVERIFY(first.running());
    QVERIFY(listening(key));
}

void TestLoginStartup::otherHallStartsNormally() {
    const QString key = SingleInstance::currentKey();
    Vuzo first(hall->workPath());
    QTRY_VERIFY_WITH_TIMEOUT(listening(key), kBound);

    TestHall otherHall;
    QVERIFY(otherHall.layDefaults());
    const QString otherKey = SingleInstance::currentKey();
    QVERIFY(otherKey != key);
    {
        Vuzo other(otherHall.workPath());
        QTRY_VERIFY_WITH_TIMEOUT(listening(otherKey), kBound);
        QVERIFY(other.running());
        QVERIFY(first.running());
    }
    forgetKilledInstance(otherKey);
}

void TestLoginStartup::staleSocketDoesNotBlock() {
    const QString key = SingleInstance::currentKey();
    {
        Vuzo crashed(hall->workPath());
        QTRY_VERIFY_WITH_TIMEOUT(listening(key), kBound);
        crashed.process.kill();
        QVERIFY(crashed.process.waitForFinished(kBound));
    }
#ifdef Q_OS_UNIX
    QVERIFY(QFile::exists(QDir::temp().filePath(key)));  // the socket the crash left behind
#endif
    QVERIFY(!listening(key));
    Vuzo next(hall->workPath());
    QTRY_VERIFY_WITH_TIMEOUT(listening(key), kBound);
    QVERIFY(next.running());
}

void TestLoginStartup::simultaneousStartsLeaveOne() {
    const QString key = SingleInstance::currentKey();
    std::array<std::unique_ptr<Vuzo>, 4> starts;
    for (auto& start : starts) start = std::make_unique<Vuzo>(hall->workPath());
    const auto stillRunning = [&starts] {
        return std::count_if(starts.begin(), starts.end(), [](const auto& start) { return start->running(); });
    };
    QTRY_COMPARE_WITH_TIMEOUT(stillRunning(), 1, kBound);
    QVERIFY(listening(key));
    for (auto& start : starts)
        if (!start->running()) QVERIFY(start->endsWithZero());
    QCOMPARE(stillRunning(), 1);
}

QTEST_MAIN(TestLoginStartup)
#include "test_login_startup.moc"
