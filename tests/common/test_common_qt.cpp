#include "artwork.h"
#include "twips.h"
#include "windows1250.h"

#include <QTest>

using namespace hall;

class TestCommonQt : public QObject {
    Q_OBJECT

private slots:
    void windows1250_data();
    void windows1250();
    void twipsToPixels_data();
    void twipsToPixels();
    void programIconIsCompiledIn();
};

void TestCommonQt::windows1250_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("encodable");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("ascii") << "abc" << true << QByteArray("abc");
    QTest::newRow("empty") << "" << true << QByteArray();
    QTest::newRow("polish letters") << "óęąśłżźćńÓĘĄŚŁŻŹĆŃ" << true
                                    << QByteArray(
                                           "\xf3\xea\xb9\x9c\xb3\xbf\x9f\xe6\xf1\xd3\xca\xa5\x8c\xa3\xaf\x8f\xc6\xd1");
    QTest::newRow("euro sign") << "€" << true << QByteArray("\x80");
    QTest::newRow("cjk") << "漢" << false << QByteArray();
    QTest::newRow("cyrillic") << "жук" << false << QByteArray();
    QTest::newRow("mixed") << "ab漢" << false << QByteArray();
}

void TestCommonQt::windows1250() {
    QFETCH(QString, text);
    QFETCH(bool, encodable);
    QFETCH(QByteArray, bytes);
    const std::optional<std::string> encoded = toWindows1250(text);
    QCOMPARE(bool(encoded), encodable);
    if (encoded) QCOMPARE(QByteArray::fromStdString(*encoded), bytes);
}

void TestCommonQt::twipsToPixels_data() {
    QTest::addColumn<int>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("one pixel") << 15 << 1;
    QTest::newRow("page anchor left") << 1530 << 102;
    QTest::newRow("rounds down") << 832 << 55;
    QTest::newRow("rounds up") << 853 << 57;
    QTest::newRow("negative") << -30 << -2;
}

void TestCommonQt::twipsToPixels() {
    QFETCH(int, twips);
    QFETCH(int, pixels);
    QCOMPARE(hall::twips(twips), pixels);
}

void TestCommonQt::programIconIsCompiledIn() {
    const QIcon icon = hall::programIcon();
    QVERIFY(!icon.isNull());
    QCOMPARE(icon.pixmap(32, 32).size(), QSize(32, 32));
}

QTEST_MAIN(TestCommonQt)
#include "test_common_qt.moc"
