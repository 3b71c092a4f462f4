// What the operator sees and touches: exact colours, tab strips that act on a
// primary click only, whole captions, long entries and names for automation.
#include "about_window.h"
#include "account_window.h"
#include "calendar_window.h"
#include "colour_button.h"
#include "configurator.h"
#include "field_entry.h"
#include "lamp_details_window.h"
#include "login_window.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStyleFactory>
#include <QWheelEvent>

#include <map>

namespace {

// The colour most of a widget's pixels have: its face, for a button.
QColor mostCommonColour(QWidget* widget) {
    const QImage image = widget->grab().toImage();
    std::map<QRgb, int> counts;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) ++counts[image.pixel(x, y)];
    const auto most = std::max_element(counts.begin(), counts.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
    return QColor(most->first);
}

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

void turnWheel(QWidget* widget, QPoint at) {
    QWheelEvent wheel(at, widget->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
    settle();
}

// Every shown one-line caption of `window` that its label cuts off.
QStringList cutCaptions(QWidget* window) {
    QStringList cut;
    for (const QLabel* label : window->findChildren<QLabel*>()) {
        if (!label->isVisible() || label->text().isEmpty() || label->wordWrap()) continue;
        if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
            cut << label->objectName() + ": " + label->text();
    }
    return cut;
}

}  // namespace

class TestOperatorView : public QObject {
    Q_OBJECT

private slots:
    void init() { QApplication::setStyle(QStringLiteral("Fusion")); }
    void plainColours_data();
    void plainColours();
    void unchangedTickRepaintsNothing();
    void tabStripsActOnPrimaryClickOnly_data();
    void tabStripsActOnPrimaryClickOnly();
    void keyRowMarkedByPrimaryClickOnly();
    void sceneTabClickEndsTheEntry_data();
    void sceneTabClickEndsTheEntry();
    void captionsFitTheirLabels();
    void longEntriesStayWhole();
    void scenesPageLabelsNamed();
};

void TestOperatorView::plainColours_data() {
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QColor>("colour");
    for (const char* style : {"Fusion", "Windows"}) {
        QTest::addRow("%s lit lamp", style) << style << "Command8_1" << QColor(250, 250, 10);
        QTest::addRow("%s lamp off", style) << style << "Command8_2" << QColor(192, 192, 192);
        QTest::addRow("%s legend working", style) << style << "Command9" << QColor(255, 255, 0);
        QTest::addRow("%s legend off", style) << style << "Command10" << QColor(224, 224, 224);
        QTest::addRow("%s legend failure", style) << style << "Command11" << QColor(255, 0, 0);
    }
}

void TestOperatorView::plainColours() {
    QFETCH(QString, style);
    QFETCH(QString, button);
    QFETCH(QColor, colour);
    QApplication::setStyle(QStyleFactory::create(style));
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({2}) + "\r\n"));
    Configurator c;
    QCOMPARE(mostCommonColour(c.status()->findChild<QPushButton*>(button)), colour);
    for (int mark = 0; mark < StatusPage::kSensorMarks; ++mark)
        QCOMPARE(mostCommonColour(c.status()->findChild<QWidget*>(QStringLiteral("Shape1_%1").arg(mark))).green(), 128);
}

void TestOperatorView::unchangedTickRepaintsNothing() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({2}) + "\r\n"));
    Configurator c;
    PaintCounter unchanged, changed;
    c.lamp(2)->installEventFilter(&unchanged);
    c.lamp(3)->installEventFilter(&changed);
    c.status()->statusTick();
    settle();
    QCOMPARE(unchanged.paints, 0);
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), stateLine({2, 3}) + "\r\n"));
    c.status()->statusTick();
    settle();
    QCOMPARE(unchanged.paints, 0);
    QVERIFY(changed.paints > 0);
}

void TestOperatorView::tabStripsActOnPrimaryClickOnly_data() {
    QTest::addColumn<int>("strip");
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("action");
    for (const char* action : {"wheel", "right", "middle"}) {
        QTest::addRow("scenes, other tab, %s", action) << 1 << 2 << action;
        QTest::addRow("scenes, selected tab, %s", action) << 1 << 1 << action;
        QTest::addRow("pages, other tab, %s", action) << 2 << 1 << action;
    }
}

// An unsaved tick on scene 1 survives whatever the wheel and the other
// buttons do to either tab strip.
void TestOperatorView::tabStripsActOnPrimaryClickOnly() {
    QFETCH(int, strip);
    QFETCH(int, tab);
    QFETCH(QString, action);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    c.clickTab(2, 3);
    c.clickLampBox(4);
    QTabBar* bar = c.tabs(strip);
    const int selected = bar->currentIndex();
    const QPoint at = bar->tabRect(tab - 1).center();
    if (action == "wheel")
        turnWheel(bar, at);
    else
        QTest::mouseClick(bar, action == "right" ? Qt::RightButton : Qt::MiddleButton, {}, at);
    settle();
    QCOMPARE(bar->currentIndex(), selected);
    QCOMPARE(c.visiblePages(), QList<int>{1});
    QCOMPARE(c.scenes()->lampBox(4), 1);
}

void TestOperatorView::keyRowMarkedByPrimaryClickOnly() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    c.clickTab(2, 3);
    auto* marker = c.scenes()->findChild<QWidget*>(QStringLiteral("Shape2"));
    QLineEdit* keyB2 = c.keyField(5);
    QTest::mouseClick(keyB2, Qt::RightButton);
    QTest::mouseClick(keyB2, Qt::MiddleButton);
    QVERIFY(!marker->isVisible());
    QTest::mouseClick(keyB2, Qt::LeftButton);
    QVERIFY(marker->isVisible());
}

void TestOperatorView::sceneTabClickEndsTheEntry_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::newRow("sensor x") << "Text10_0"
                              << "x";
    QTest::newRow("sensor 0") << "Text10_0"
                              << "0";
    QTest::newRow("key emptied") << "Text9_7"
                                 << "";
}

void TestOperatorView::sceneTabClickEndsTheEntry() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    c.clickTab(2, 3);
    auto* edit = c.scenes()->findChild<QLineEdit*>(field);
    QTest::mouseClick(edit, Qt::LeftButton);
    clear(edit);
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), typed);
    c.clickTab(1, 2);
    QCOMPARE(edit->text(), QStringLiteral("1"));
    QCOMPARE(c.tabs(1)->currentIndex(), 1);
}

void TestOperatorView::captionsFitTheirLabels() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    const auto showFrame = [&c](int frame) {
        c.clickTab(2, frame == 2 ? 2 : frame == 1 ? 3 : frame == 5 ? 1 : 4);
        for (int n = 1; n <= 6; ++n) c.page(n)->setVisible(n == frame);
    };
    for (int frame : {5, 1, 2, 3, 6, 4}) {
        showFrame(frame);
        QCOMPARE(cutCaptions(c.form.get()), QStringList{});
    }
    LampDetailsWindow details;
    details.showLamp(107, 0);
    AboutWindow about;
    CalendarWindow calendar;
    LoginWindow login([] { return nullptr; });
    kontomat::AccountWindow account;
    for (QWidget* window : std::initializer_list<QWidget*>{&details, &about, &calendar, &login, &account}) {
        window->show();
        QCOMPARE(cutCaptions(window), QStringList{});
    }
}

void TestOperatorView::longEntriesStayWhole() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    c.clickTab(2, 4);
    QTest::mouseClick(c.page(3)->findChild<QPushButton*>(QStringLiteral("Command3")), Qt::LeftButton);
    const QString year(40000, QLatin1Char('7'));
    auto* field = c.page(4)->findChild<QLineEdit*>(QStringLiteral("Text2_0"));
    paste(field, year);
    QCOMPARE(field->text(), year);
}

void TestOperatorView::scenesPageLabelsNamed() {
    TestHall hall;
    QVERIFY(hall.layDefaults());
    Configurator c;
    QStringList named;
    for (int k = 0; k < 4; ++k) named << QStringLiteral("Label35_%1=%2").arg(k).arg(k + 1);
    for (int k = 0; k < 6; ++k) named << QStringLiteral("Label36_%1=%2").arg(k).arg(QChar('A' + k));
    for (int k = 0; k < 8; ++k) named << QStringLiteral("Label48_%1=%2").arg(k).arg(k + 1);
    for (int k = 0; k < 8; ++k) named << QStringLiteral("Label43_%1=C%2").arg(k + 9).arg(k + 1);
    named << "Label38=wejście"
          << "Label39=czujniki ruchu"
          << "Label2=przypisane sceny";
    for (const QString& entry : named) {
        const QStringList parts = entry.split('=');
        const QList<QLabel*> labels = c.scenes()->findChildren<QLabel*>(parts[0]);
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels[0]->text(), parts[1]);
    }
}

QTEST_MAIN(TestOperatorView)
#include "test_operator_view.moc"
