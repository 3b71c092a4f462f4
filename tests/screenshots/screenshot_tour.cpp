// Shows every window and page of vuzo and kontomat in the hall of the
// working directory and saves a picture of each, frame and title included,
// into the directory given. Runs under a real X server with a window manager
// (scripts/screenshots starts Xvfb and openbox); not a test.
#include "account_window.h"
#include "artwork.h"
#include "login_window.h"
#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QScreen>
#include <QTabBar>
#include <QTest>

#include <cstdio>

namespace {

QString outputDirectory;

// The window manager frames and maps a window, and Qt paints it, in its own time.
void settle(int milliseconds = 500) { QTest::qWait(milliseconds); }

template <typename T = QWidget>
T* named(const QObject* parent, const QString& name) {
    T* child = parent->findChild<T*>(name);
    if (!child) qFatal("no control named %s", qPrintable(name));
    return child;
}

QWidget* shownWindow(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == name && window->isVisible()) return window;
    qFatal("no window named %s is shown", qPrintable(name));
}

void shoot(QWidget* window, const QString& name) {
    window->raise();
    window->activateWindow();
    settle();
    const QRect frame = window->frameGeometry();
    const QPixmap picture = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    const QString path = outputDirectory + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!picture.save(path)) qFatal("cannot write %s", qPrintable(path));
    std::printf("%s\n", qPrintable(path));
}

void click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton);
    settle(100);
}

void chooseTab(QWidget* window, int tab) {
    auto* bar = named<QTabBar>(window, QStringLiteral("TabStrip2"));
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(tab - 1).center());
    settle(100);
}

void tourAccountTool() {
    kontomat::AccountWindow window;
    window.show();
    QTest::keyClicks(named<QLineEdit>(&window, QStringLiteral("Text1")), QStringLiteral("brygadzista"));
    shoot(&window, QStringLiteral("kontomat"));
}

void tourLogin() {
    LoginWindow window([] { return nullptr; });
    window.show();
    settle();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("operator"));
    shoot(&window, QStringLiteral("login"));
}

// The pages in the order of the tabs, then the pages and windows behind them.
void tourConfigurator() {
    MainWindow window;
    window.show();
    shoot(&window, QStringLiteral("status"));
    const char* const tabPages[] = {"configuration", "scenes", "weekly"};
    for (int tab = 2; tab <= 4; ++tab) {
        chooseTab(&window, tab);
        shoot(&window, QLatin1String(tabPages[tab - 2]));
    }
    click(named(&window, QStringLiteral("Command14")));
    shoot(&window, QStringLiteral("time-slots"));
    chooseTab(&window, 4);
    click(named(&window, QStringLiteral("Command3")));
    shoot(&window, QStringLiteral("dates"));
    click(named(&window, QStringLiteral("Command5_0")));
    shoot(shownWindow(QStringLiteral("Form2")), QStringLiteral("calendar"));
    shownWindow(QStringLiteral("Form2"))->hide();

    chooseTab(&window, 1);
    click(named(&window, QStringLiteral("Command8_10")));
    shoot(shownWindow(QStringLiteral("Form3")), QStringLiteral("lamp-details"));
    shownWindow(QStringLiteral("Form3"))->hide();
    named<QAction>(&window, QStringLiteral("o"))->trigger();
    shoot(shownWindow(QStringLiteral("Form4")), QStringLiteral("about"));
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vuzo"));
    QApplication::setStyle(QStringLiteral("Fusion"));  // as vuzo sets it
    QApplication::setWindowIcon(hall::programIcon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot_tour OUTPUT_DIRECTORY  (in a hall's konfigurator/)\n");
        return 2;
    }
    outputDirectory = QString::fromLocal8Bit(argv[1]);
    tourAccountTool();
    tourLogin();
    tourConfigurator();
    return 0;
}
