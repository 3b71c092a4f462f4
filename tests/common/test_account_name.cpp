#include "account_name.h"

#include <QTest>

class TestAccountName : public QObject {
    Q_OBJECT

private slots:
    void path_data();
    void path();
};

void TestAccountName::path_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("named");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("plain") << QStringLiteral("jan") << true << QByteArray("jan");
    QTest::newRow("polish letters, as UTF-8") << QStringLiteral("Józef") << true << QByteArray("J\xc3\xb3zef");
    QTest::newRow("255 characters") << QString(255, 'x') << true << QByteArray(255, 'x');
    QTest::newRow("unpaired high surrogate") << (QStringLiteral("a") + QChar(0xd800)) << false << QByteArray();
    QTest::newRow("unpaired low surrogate") << (QChar(0xdc00) + QStringLiteral("b")) << false << QByteArray();
    QTest::newRow("parent path") << QStringLiteral("../x") << false << QByteArray();
    QTest::newRow("backslash") << QStringLiteral("a\\b") << false << QByteArray();
    QTest::newRow("reserved name") << QStringLiteral("Pakiet.TXT") << false << QByteArray();
    QTest::newRow("empty") << QString() << false << QByteArray();
}

void TestAccountName::path() {
    QFETCH(QString, name);
    QFETCH(bool, named);
    QFETCH(QByteArray, file);
    const hall::Result<std::filesystem::path> path = hall::AccountFilePath(name);
    QCOMPARE(path.has_value(), named);
    if (path) QCOMPARE(QByteArray::fromStdString(path->string()), file);
}

QTEST_APPLESS_MAIN(TestAccountName)
#include "test_account_name.moc"
