#include "display_check.h"

#include <QProcess>
#include <QTest>

namespace {

const char* const displayVariables[] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};

// The environment without any display, for this process or a child.
QProcessEnvironment withoutDisplay() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : displayVariables) environment.remove(QString::fromLatin1(name));
    return environment;
}

}  // namespace

class TestDisplayCheck : public QObject {
    Q_OBJECT

private slots:
    void expected_data();
    void expected();
    void programRefusesToStart_data();
    void programRefusesToStart();
};

void TestDisplayCheck::expected_data() {
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("expected");
    QTest::newRow("nothing") << QString() << QByteArray() << QStringList() << false;
    QTest::newRow("x11") << "DISPLAY" << QByteArray(":0") << QStringList() << true;
    QTest::newRow("empty x11") << "DISPLAY" << QByteArray() << QStringList() << false;
    QTest::newRow("wayland") << "WAYLAND_DISPLAY" << QByteArray("wayland-0") << QStringList() << true;
    QTest::newRow("offscreen") << "QT_QPA_PLATFORM" << QByteArray("offscreen") << QStringList() << true;
    QTest::newRow("platform option") << QString() << QByteArray() << QStringList{"-platform", "offscreen"} << true;
    QTest::newRow("display option") << QString() << QByteArray() << QStringList{"-display", ":1"} << true;
    QTest::newRow("other options") << QString() << QByteArray() << QStringList{"--help", "platform"} << false;
}

void TestDisplayCheck::expected() {
    QFETCH(QString, variable);
    QFETCH(QByteArray, value);
    QFETCH(QStringList, arguments);
    QFETCH(bool, expected);
    QHash<QByteArray, QByteArray> saved;
    for (const char* name : displayVariables) {
        saved.insert(name, qgetenv(name));
        qunsetenv(name);
    }
    if (!variable.isEmpty()) qputenv(variable.toLatin1(), value);

    QList<QByteArray> storage{"vuzo"};
    for (const QString& argument : arguments) storage << argument.toLocal8Bit();
    QList<char*> argv;
    for (QByteArray& argument : storage) argv << argument.data();
    const bool result = hall::displayExpected(int(argv.size()), argv.data());

    for (auto it = saved.cbegin(); it != saved.cend(); ++it)
        if (!it.value().isEmpty()) qputenv(it.key(), it.value());
    QCOMPARE(result, expected);
}

void TestDisplayCheck::programRefusesToStart_data() {
    QTest::addColumn<QString>("program");
    QTest::newRow("vuzo") << QStringLiteral(VUZO_PATH);
    QTest::newRow("kontomat") << QStringLiteral(KONTOMAT_PATH);
}

// Instead of Qt's abort: one Polish line that says how to get a display.
void TestDisplayCheck::programRefusesToStart() {
    QFETCH(QString, program);
    QProcess process;
    process.setProcessEnvironment(withoutDisplay());
    process.start(program, {});
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardOutput(), QByteArray());
    const QString error = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(error.count(QLatin1Char('\n')), 1);
    QVERIFY2(error.contains(QStringLiteral("brak ekranu")) && error.contains(QStringLiteral("xvfb-run")),
             qPrintable(error));
}

QTEST_MAIN(TestDisplayCheck)
#include "test_display_check.moc"
