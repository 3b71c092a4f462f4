#include "config_keys.h"
#include "controller_config.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

// A manual page's keys: words of small letters and "_" that open a bold request
// or follow a "\fP" in one, and that a value follows.
QStringList manualKeys(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    static const QRegularExpression request(QStringLiteral("^\\.B[IR]? ")), token(QStringLiteral("\"[^\"]*\"|\\S+")),
        key(QStringLiteral("^[a-z_]+$")), value(QStringLiteral("^\"? *\\w"));
    QSet<QString> keys;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        QStringList tokens;
        if (request.match(line).hasMatch())
            for (const QRegularExpressionMatch& t : token.globalMatch(line.section(' ', 1))) tokens << t.captured();
        for (int i = 0; i + 1 < tokens.size(); ++i) {
            QStringList words = QString(tokens[i]).remove('"').split(QStringLiteral("\\fP"));
            if (i > 0) words.removeFirst();
            for (const QString& word : words)
                if (key.match(word).hasMatch() && value.match(tokens[i + 1]).hasMatch()) keys << word;
        }
    }
    QStringList sorted(keys.begin(), keys.end());
    sorted.sort();
    return sorted;
}

}  // namespace

class TestConfigKeys : public QObject {
    Q_OBJECT

private slots:
    void manualListsTheKeys_data();
    void manualListsTheKeys();
    void lineErrors_data();
    void lineErrors();
    void reload_data();
    void reload();
};

void TestConfigKeys::manualListsTheKeys_data() {
    QTest::addColumn<QString>("page");
    QTest::newRow("English") << QStringLiteral(HALL_SOURCE_DIR "/packaging/man/sterownik.1");
    QTest::newRow("Polish") << QStringLiteral(HALL_SOURCE_DIR "/packaging/man/pl/sterownik.1");
}

void TestConfigKeys::manualListsTheKeys() {
    QFETCH(QString, page);
    QStringList table;
    for (const std::string_view name : hall::ConfigKeyNames()) table << QString::fromUtf8(name.data(), name.size());
    table.sort();
    QCOMPARE(manualKeys(page), table);
}

// How often a key may be given, and which fault a line is told first.
void TestConfigKeys::lineErrors_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("error");  // empty: read
    QTest::newRow("a key given twice") << QByteArray("nazwa a\nnazwa b x\n")
                                       << QByteArray("wiersz 2: klucz powtórzony: \"nazwa b x\"");
    QTest::newRow("one lamp twice") << QByteArray("lampa 5 a/b\nlampa 5 c/d\n")
                                    << QByteArray("wiersz 2: klucz powtórzony");
    QTest::newRow("one lamp twice, the second malformed")
        << QByteArray("lampa 5 a/b\nlampa 5\n") << QByteArray("wiersz 2: oczekiwano numeru lampy");
    const QByteArray module = "modbus d 127.0.0.1\n", twice = "wiersz 3: lampa 4 już obserwowana";
    QTest::newRow("failure bits twice") << module + "awarie d 0 1-4\nawarie d 9 4 wejsciowe\n" << twice;
    QTest::newRow("read back twice") << module + "zwrotne d 0 1-4\nzwrotne d 9 4\n" << twice;
    QTest::newRow("a failure bit and a read-back") << module + "awarie d 0 4\nzwrotne d 0 4\n" << QByteArray();
    QTest::newRow("clients, repeatable") << QByteArray("klient_modbus 10.0.0.1\nklient_modbus 10.0.0.2\n")
                                         << QByteArray();
}

void TestConfigKeys::lineErrors() {
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, error);
    const hall::Result<hall::ControllerConfig> read = hall::ParseControllerConfig(text.toStdString(), "hala");
    QCOMPARE(read.has_value(), error.isEmpty());
    if (!read) QVERIFY2(read.error().find(error.toStdString()) != std::string::npos, read.error().c_str());
}

void TestConfigKeys::reload_data() {
    QTest::addColumn<QByteArray>("running");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<QString>("refusal");  // empty: taken
    const QString broker = QStringLiteral("\"broker brak\" zmienia się tylko przy starcie");
    const QString server = QStringLiteral("serwer Modbus zmienia się tylko przy starcie");
    const QByteArray bms = "serwer_modbus 0.0.0.0:1502\n";
    QTest::newRow("another broker") << QByteArray("broker a") << QByteArray("broker b:1884") << QString();
    QTest::newRow("a broker for none") << QByteArray("broker brak") << QByteArray("broker a") << broker;
    QTest::newRow("the server started") << QByteArray() << bms << server;
    QTest::newRow("another client") << bms << bms + "klient_modbus 10.0.0.1" << server;
    QTest::newRow("read only") << bms << bms + "tylko_odczyt tak" << server;
    QTest::newRow("broker and server: the broker told") << QByteArray() << bms + "broker brak" << broker;
}

void TestConfigKeys::reload() {
    QFETCH(QByteArray, running);
    QFETCH(QByteArray, next);
    QFETCH(QString, refusal);
    const hall::Result<hall::ControllerConfig> before = hall::ParseControllerConfig(running.toStdString(), "hala");
    const hall::Result<hall::ControllerConfig> after = hall::ParseControllerConfig(next.toStdString(), "hala");
    QVERIFY(before && after);
    const hall::Status taken = hall::CheckReload(*before, *after);
    QCOMPARE(taken ? QString() : QString::fromStdString(taken.error()), refusal);
}

QTEST_APPLESS_MAIN(TestConfigKeys)
#include "test_config_keys.moc"
