#include "config_page.h"
#include "field_entry.h"
#include "twips.h"

#include <QTest>

namespace {

QLineEdit* delayField(const ConfigPage& page) { return page.findChild<QLineEdit*>(QStringLiteral("Text1")); }

}  // namespace

class TestConfigPage : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { QLocale::setDefault(QLocale::c()); }
    void layout_data();
    void layout();
    void delayStartsEmpty();
    void delayIsANumber_data();
    void delayIsANumber();
    void delayCleared();
};

void TestConfigPage::layout_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::addColumn<QString>("caption");
    QTest::newRow("heading") << "Label10" << QRect(900, 480, 3150, 360) << "Konfiguracja systemu";
    QTest::newRow("label") << "Label1" << QRect(210, 1200, 2685, 510)
                           << "czas wyłączenia oświetlenia przy braku ruchu w minutach";
    QTest::newRow("delay field") << "Text1" << QRect(2955, 1200, 1275, 360) << "";
    QTest::newRow("save") << "Command2" << QRect(2760, 4560, 1335, 510) << "Zapisz";
}

void TestConfigPage::layout() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    QFETCH(QString, caption);
    ConfigPage page;
    QCOMPARE(page.objectName(), QStringLiteral("Frame2"));
    QCOMPARE(page.size(), hall::twipsRect(0, 0, 5580, 5595).size());
    auto* control = page.findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), hall::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
    QCOMPARE(control->property("text").toString(), caption);
}

void TestConfigPage::delayStartsEmpty() {
    ConfigPage page;
    QCOMPARE(delayField(page)->text(), QString());
    QVERIFY(!delayField(page)->accessibleName().isEmpty());
}

void TestConfigPage::delayIsANumber_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<bool>("typed");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("shown");
    const auto row = [](const char* name, bool typed, const char* entry, const char* shown) {
        QTest::newRow(name) << "." << typed << entry << shown;
    };
    row("typed 15", true, "15", "15");
    row("typed 15min", true, "15min", "15");
    row("typed letters", true, "abc", "0");
    row("typed 007", true, "007", "7");
    row("pasted 15min", false, "15min", "15");
    row("pasted blanks inside", false, " 1 5 ", "15");
    row("pasted negative", false, "-5", "-5");
    row("pasted hexadecimal", false, "&H1F", "31");
    // The separator matters: a comma ends the next reading.
    QTest::newRow("fraction, separator .") << "." << false << "7.5"
                                           << "7.5";
    QTest::newRow("fraction, separator ,") << "," << false << "7.5"
                                           << "7";
    QTest::newRow("beyond a double, separator .") << "." << false << "1e400"
                                                  << "1.79769313486232E+308";
    QTest::newRow("beyond a double, separator ,") << "," << false << "1e400"
                                                  << "1";
    QTest::newRow("below a double, separator .") << "." << false << "-1e400"
                                                 << "-1.79769313486232E+308";
    QTest::newRow("below a double, separator ,") << "," << false << "-1e400"
                                                 << "-1";
}

void TestConfigPage::delayIsANumber() {
    QFETCH(QString, separator);
    QFETCH(bool, typed);
    QFETCH(QString, entry);
    QFETCH(QString, shown);
    QLocale::setDefault(separatorLocale(separator));
    ConfigPage page;
    page.show();
    if (typed)
        QTest::keyClicks(delayField(page), entry);
    else
        paste(delayField(page), entry);
    QCOMPARE(delayField(page)->text(), shown);
}

void TestConfigPage::delayCleared() {
    ConfigPage page;
    page.show();
    QTest::keyClicks(delayField(page), "15");
    clear(delayField(page));
    QCOMPARE(delayField(page)->text(), QStringLiteral("0"));
}

QTEST_MAIN(TestConfigPage)
#include "test_config_page.moc"
