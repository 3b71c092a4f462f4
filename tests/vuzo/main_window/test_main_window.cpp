#include "about_window.h"
#include "configurator.h"
#include "lamp_box.h"
#include "lamp_details_window.h"
#include "message_watcher.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QUrl>
#include <QWindow>

namespace {

const QString kAllMissing =
    QStringLiteral("Nie udało się odczytać plików: vuzo1.txt, pakiet.txt, czuj.txt, ../actual.txt");

// Stands in for the desktop's browser: records what it was asked to open.
class BrowserRecorder : public QObject {
    Q_OBJECT

public:
    BrowserRecorder() {
        for (const char* scheme : {"file", "http", "https"}) QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~BrowserRecorder() override {
        for (const char* scheme : {"file", "http", "https"}) QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened << url; }
};

QAction* menuAction(MainWindow& form, const char* name) { return form.findChild<QAction*>(QLatin1String(name)); }

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void titleAndFirstPage();
    void outerSizeCountsTheFrame_data();
    void outerSizeCountsTheFrame();
    void lampCaptionsInPlan_data();
    void lampCaptionsInPlan();
    void startUpFromHallFiles();
    void badHallOpensWithDefaults_data();
    void badHallOpensWithDefaults();
    void pageSwitch_data();
    void pageSwitch();
    void menusWithoutAction();
    void aboutWindowIsOne();
    void helpAndVendorPages();
    void closingEndsProgram();
};

void TestMainWindow::titleAndFirstPage() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    MessageWatcher messages;
    Configurator c;
    QCOMPARE(c.form->windowTitle().toUtf8(), QByteArray("KONFIGURATOR O\xc5\x9aWIETLENIA  HALI     >< VELTRONA><"));
    QCOMPARE(c.visiblePages(), QList<int>{5});
    QCOMPARE(c.page(5)->pos(), QPoint(102, 47));
    QVERIFY(!c.tabs(1)->isVisible());
    QVERIFY(!c.tabs(1)->isEnabled());
    QCOMPARE(c.tabs(2)->currentIndex(), 0);
    QCOMPARE(c.tabs(1)->currentIndex(), 0);
    QCOMPARE(messages.texts(), QStringList());
}

void TestMainWindow::outerSizeCountsTheFrame_data() {
    QTest::addColumn<QMargins>("frame");
    QTest::addColumn<QSize>("client");
    QTest::newRow("no window manager") << QMargins() << QSize(626, 572);
    QTest::newRow("openbox") << QMargins(1, 20, 1, 5) << QSize(624, 547);
}

// The frame comes off the outer size once, however often it is reported; the
// pages keep their places and sizes, clipped where the client ends.
void TestMainWindow::outerSizeCountsTheFrame() {
    QFETCH(QMargins, frame);
    QFETCH(QSize, client);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QVERIFY(!c.form->windowHandle()->frameMargins().isNull());  // offscreen windows are framed too
    QCOMPARE(c.form->frameGeometry().size(), QSize(626, 572));
    c.form->move(c.form->pos() + QPoint(9, 9));  // the same frame reported again
    QCOMPARE(c.form->frameGeometry().size(), QSize(626, 572));
    const QRect page = c.page(5)->geometry();
    for (int i = 0; i < 3; ++i) c.form->fitFrame(frame);
    settle();
    QCOMPARE(c.form->size(), client);
    QCOMPARE(c.page(5)->geometry(), page);
}

void TestMainWindow::lampCaptionsInPlan_data() {
    QTest::addColumn<int>("lamp");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("L1 top left") << 1 << QRect(105, 285, 540, 300);
    QTest::newRow("L9 top right") << 9 << QRect(6030, 285, 540, 300);
    QTest::newRow("L41 row 4 column 4") << 41 << QRect(3042, 1725, 540, 300);
    QTest::newRow("L75 row 8 column 2") << 75 << QRect(1582, 3195, 540, 300);
    QTest::newRow("L100 bottom left") << 100 << QRect(120, 4320, 540, 300);
    QTest::newRow("L108 bottom right") << 108 << QRect(5985, 4320, 540, 300);
}

void TestMainWindow::lampCaptionsInPlan() {
    QFETCH(int, lamp);
    QFETCH(QRect, twips);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QCOMPARE(c.lamp(lamp)->text(), QStringLiteral("L%1").arg(lamp));
    QCOMPARE(c.lamp(lamp)->geometry(), hall::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
}

void TestMainWindow::startUpFromHallFiles() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    // The marker is a digit here: it must never be read as lamp 0's value.
    QByteArray scene = sceneLine({1, 7, 41}, '1');
    scene[3] = '2';  // lamp 3 in the third state
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), scene + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("pakiet.txt"), "a9123\r\n"));
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a09x45678\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({7, 50}) + "\r\n"));
    MessageWatcher messages;
    Configurator c;

    for (int n = 1; n <= 108; ++n) {
        const int expected = (n == 1 || n == 7 || n == 41) ? 1 : n == 3 ? 2 : 0;
        QCOMPARE(c.scenes()->lampBox(n - 1), expected);
        QCOMPARE(int(c.form->lampFlag(n - 1)), expected);
        // Colours come from the lamp state file alone.
        QCOMPARE(c.lampColour(n), (n == 7 || n == 50) ? QColor(250, 250, 10) : QColor(192, 192, 192));
    }
    QCOMPARE(c.keyField(0)->text(), QStringLiteral("8"));
    QCOMPARE(c.keyField(1)->text(), QStringLiteral("1"));
    QCOMPARE(c.keyField(3)->text(), QStringLiteral("3"));
    QCOMPARE(c.keyField(4)->text(), QString());
    QCOMPARE(c.keyField(23)->text(), QString());
    QCOMPARE(c.sensorField(0)->text(), QStringLiteral("0"));
    QCOMPARE(c.sensorField(1)->text(), QStringLiteral("8"));
    QCOMPARE(c.sensorField(2)->text(), QStringLiteral("x"));
    QCOMPARE(c.sensorField(7)->text(), QStringLiteral("8"));
    QCOMPARE(messages.texts(), QStringList{QStringLiteral("Nie udało się odczytać pliku: pakiet.txt")});
}

void TestMainWindow::badHallOpensWithDefaults_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("named");
    QTest::newRow("scene missing") << "konfigurator/vuzo1.txt" << QByteArray() << "vuzo1.txt";
    QTest::newRow("scene short") << "konfigurator/vuzo1.txt" << QByteArray("a0101\r\n") << "vuzo1.txt";
    QTest::newRow("scene bad digit") << "konfigurator/vuzo1.txt" << sceneLine({}).replace(50, 1, "x") + "\r\n"
                                     << "vuzo1.txt";
    QTest::newRow("keys missing") << "konfigurator/pakiet.txt" << QByteArray() << "pakiet.txt";
    QTest::newRow("keys short") << "konfigurator/pakiet.txt" << QByteArray("a1234\r\n") << "pakiet.txt";
    QTest::newRow("sensors missing") << "konfigurator/czuj.txt" << QByteArray() << "czuj.txt";
    QTest::newRow("sensors only CR LF") << "konfigurator/czuj.txt" << QByteArray("\r\n") << "czuj.txt";
    QTest::newRow("state missing") << "actual.txt" << QByteArray() << "../actual.txt";
    QTest::newRow("state short") << "actual.txt" << stateLine({}).left(300) + "\r\n"
                                 << "../actual.txt";
    QTest::newRow("state damaged") << "actual.txt" << stateLine({}).replace("la9=1", "la9=x") + "\r\n"
                                   << "../actual.txt";
}

// A file that is missing (empty content here means no file), short or
// damaged: the window opens with defaults and one message names it.
void TestMainWindow::badHallOpensWithDefaults() {
    QFETCH(QString, file);
    QFETCH(QByteArray, content);
    QFETCH(QString, named);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.workFile("vuzo1.txt"), sceneLine({2, 3}) + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({4}) + "\r\n"));
    const QString path = hall.rootFile(file);
    if (content.isEmpty())
        QVERIFY(QFile::remove(path));
    else
        QVERIFY(TestHall::write(path, content));
    MessageWatcher messages;
    Configurator c;
    QTRY_COMPARE(messages.texts(), QStringList{QStringLiteral("Nie udało się odczytać pliku: ") + named});
    QVERIFY(c.form->isVisible());
    if (named == "../actual.txt") {
        QCOMPARE(c.lampColour(4), QColor(192, 192, 192));
        QCOMPARE(c.lampColour(2), QColor(192, 192, 192));  // ticked in scene 1
    } else
        QCOMPARE(c.lampColour(4), QColor(250, 250, 10));
}

void TestMainWindow::pageSwitch_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("tab");
    QTest::addColumn<int>("frame");
    const QList<QPair<int, int>> tabs = {{1, 5}, {2, 2}, {3, 1}, {4, 3}};
    for (const char* from : {"status", "scenes", "weekly", "time slots", "dates"})
        for (const auto& [tab, frame] : tabs)
            QTest::addRow("%s to tab %d", from, tab) << QString::fromLatin1(from) << tab << frame;
}

void TestMainWindow::pageSwitch() {
    QFETCH(QString, from);
    QFETCH(int, tab);
    QFETCH(int, frame);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    if (from == "scenes") c.clickTab(2, 3);
    if (from == "weekly" || from == "time slots" || from == "dates") c.clickTab(2, 4);
    if (from == "time slots") QMetaObject::invokeMethod(c.page(3), "timeSlotsRequested");
    if (from == "dates") QMetaObject::invokeMethod(c.page(3), "dateScheduleRequested");
    QCOMPARE(c.visiblePages().size(), 1);

    c.clickTab(2, tab);
    QCOMPARE(c.visiblePages(), QList<int>{frame});
    QCOMPARE(c.page(frame)->pos(), QPoint(102, 47));
    QCOMPARE(c.tabs(1)->isVisible(), tab == 3);
    QCOMPARE(c.tabs(1)->isEnabled(), tab == 3);
}

void TestMainWindow::menusWithoutAction() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    BrowserRecorder browser;
    MessageWatcher messages;
    Configurator c;
    const QStringList menus = {"plik", "opcje", "Pomoc"};
    QStringList captions;
    for (QAction* action : c.form->menuBar()->actions()) captions << action->text();
    QCOMPARE(captions, menus);
    for (const char* name : {"save", "connect", "config"}) {
        QAction* action = menuAction(*c.form, name);
        QVERIFY(action);
        QVERIFY(action->isEnabled());
        QVERIFY(action->shortcut().isEmpty());
        action->trigger();
    }
    settle();
    QCOMPARE(menuAction(*c.form, "config")->text(), QStringLiteral("koniguracja połączenia"));
    QCOMPARE(c.visiblePages(), QList<int>{5});
    QVERIFY(browser.opened.isEmpty());
    QVERIFY(messages.texts().isEmpty());
    QVERIFY(!c.form->findChild<AboutWindow*>());
}

void TestMainWindow::aboutWindowIsOne() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    menuAction(*c.form, "o")->trigger();
    menuAction(*c.form, "o")->trigger();
    QCOMPARE(c.form->findChildren<AboutWindow*>().size(), 1);
    AboutWindow* about = c.form->findChild<AboutWindow*>();
    QVERIFY(about->isVisible());
    QCOMPARE(about->windowTitle(), QStringLiteral("Form4"));
    QCOMPARE(about->findChild<QLabel*>("Label1")->text(), QStringLiteral(" KONFIGURATOR OŚWIETLENIA HALI"));
    QCOMPARE(about->findChild<QLabel*>("Label2")->text(), QStringLiteral("Wersja: 1.09"));
    QCOMPARE(about->findChild<QLabel*>("Image2")->pixmap().size(), QSize(400, 60));
    QVERIFY(!about->findChild<QLabel*>("Image1")->pixmap().isNull());
    QVERIFY(c.form->isEnabled());  // not modal

    QTest::mouseClick(about->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    QVERIFY(!about->isVisible());
    menuAction(*c.form, "o")->trigger();
    QCOMPARE(c.form->findChild<AboutWindow*>(), about);
    QVERIFY(about->isVisible());

    // The close box closes it for good; the next one is new.
    const QPointer<AboutWindow> closed = about;
    about->close();
    settle();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(closed.isNull());
    menuAction(*c.form, "o")->trigger();
    QCOMPARE(c.form->findChildren<AboutWindow*>().size(), 1);
    QVERIFY(c.form->findChild<AboutWindow*>()->isVisible());
}

void TestMainWindow::helpAndVendorPages() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    BrowserRecorder browser;
    Configurator c;
    menuAction(*c.form, "help")->trigger();
    QTest::mouseClick(c.form->findChild<QLabel*>("Label42"), Qt::LeftButton);
    menuAction(*c.form, "o")->trigger();
    QTest::mouseClick(c.form->findChild<AboutWindow*>()->findChild<QLabel*>("Image2"), Qt::LeftButton);
    const QUrl vendor(QStringLiteral("https://veltrona.example/"));
    QCOMPARE(browser.opened,
             (QList<QUrl>{QUrl::fromLocalFile(QDir(hall.workPath()).canonicalPath() + "/help.htm"), vendor, vendor}));
}

void TestMainWindow::closingEndsProgram() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QTest::mouseClick(c.lamp(7), Qt::LeftButton);
    menuAction(*c.form, "o")->trigger();
    LampDetailsWindow* details = c.form->findChild<LampDetailsWindow*>();
    QVERIFY(details && details->isVisible());
    // The program's own event loop must end when the main window closes.
    QTimer::singleShot(0, c.form.get(), &QWidget::close);
    QTimer failsafe;
    failsafe.setSingleShot(true);
    connect(&failsafe, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    failsafe.start(10000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QVERIFY(!details->isVisible());
    QVERIFY(!c.form->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
