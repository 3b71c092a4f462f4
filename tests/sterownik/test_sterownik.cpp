#include "hall_fixture.h"
#include "lamp_state.h"
#include "scene_files.h"
#include "test_broker.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include <memory>

namespace {

constexpr int kWaitMs = 10000;

QByteArray StateFile(const QList<int>& lit) {
    QByteArray line;
    for (int n = 1; n <= 108; ++n) line += "la" + QByteArray::number(n) + (lit.contains(n) ? "=3&" : "=1&");
    return line + "\r\n";
}

QList<int> Range(int first, int last) {
    QList<int> lamps;
    for (int n = first; n <= last; ++n) lamps << n;
    return lamps;
}

// Scene 3 ticks lamps 10 to 18; input 5 is assigned it, and input 2 (on a
// module's own topic) lights lamps 30 and 31. Key A1 has scene 3, A2 none.
// Lamp 10 also drives a relay. The delay is 0.05 minutes.
void Furnish(const TestHall& hall, quint16 port, const QByteArray& extra = {}) {
    QVERIFY(hall.layDefaults());
    QByteArray scene = "a" + QByteArray(108, '0');
    for (int n = 10; n <= 18; ++n) scene[n] = '1';
    QVERIFY(TestHall::write(hall.workFile("vuzo3.txt"), scene + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a03003000\r\n"));
    QVERIFY(TestHall::write(hall.workFile("pakiet.txt"), "a30" + QByteArray(22, '0') + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("sc5.txt"), StateFile(Range(10, 18))));
    QVERIFY(TestHall::write(hall.rootFile("sc2.txt"), StateFile({30, 31})));
    QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), "opoznienie=0.05&\r\n"));
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"),
                            "# hala testowa\nbroker 127.0.0.1:" + QByteArray::number(port) +
                                "\nnazwa test\nczujnik 2 modul/input/0\nlampa 10 shellies/ab/relay/0/command on off\n" +
                                extra));
}

// The controller as a process in the hall, its log gathered as it comes.
class Controller {
public:
    explicit Controller(const TestHall& hall) {
        process_.setWorkingDirectory(hall.workPath());
        process_.start(QStringLiteral(STEROWNIK_PATH), {});
    }
    ~Controller() {
        process_.kill();
        process_.waitForFinished(kWaitMs);
    }
    bool logged(const QByteArray& text) {
        log_ += process_.readAllStandardOutput();
        return log_.contains(text);
    }
    bool running() const { return process_.state() == QProcess::Running; }
    // SIGTERM: offline, a clean exit.
    bool stop() {
        process_.terminate();
        return process_.waitForFinished(kWaitMs) && process_.exitStatus() == QProcess::NormalExit &&
               process_.exitCode() == 0;
    }

private:
    QProcess process_;
    QByteArray log_;
};

QByteArray StateOf(const TestHall& hall) { return TestHall::read(hall.rootFile("actual.txt")); }

// What the configurator's own writer makes of these lamp states.
QByteArray Written(const TestHall& hall, const hall::LampStates& states) {
    const QString file = hall.rootFile("oczekiwany.txt");
    if (!hall::WriteStateFile(states, file.toStdString())) return {};
    return TestHall::read(file);
}

}  // namespace

class TestSterownik : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(broker_.start()); }
    void motionLightsZoneUntilDelay();
    void keySwitchesToItsScene();
    void switchByZeroIsPublished();
    void reconnectsAndPublishesAgain();
    void automation();
    void badMessagesChangeNothing_data();
    void badMessagesChangeNothing();
    void badConfigurationLine_data();
    void badConfigurationLine();

private:
    // Waits until the controller has dealt with everything sent before.
    void settle(Controller& controller, const QByteArray& mark) {
        QVERIFY(broker_.publish("hala/test/czujnik/0", mark));
        QTRY_VERIFY_WITH_TIMEOUT(controller.logged(mark), kWaitMs);
    }

    TestBroker broker_;
};

void TestSterownik::motionLightsZoneUntilDelay() {
    TestHall hall;
    Furnish(hall, broker_.port());
    // A motion of the past, retained by the broker, is no motion now.
    QVERIFY(broker_.publish("hala/test/czujnik/5", "1", true));
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    settle(controller, "po-starcie");
    QCOMPARE(StateOf(hall), StateFile({}));
    QVERIFY(broker_.publish("hala/test/czujnik/5", "", true));

    QVERIFY(broker_.publish("hala/test/czujnik/5", "1"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile(Range(10, 18)), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("czujnik 5: ruch: świeci 9 lamp"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "ON", kWaitMs);
    QCOMPARE(broker_.retained("shellies/ab/relay/0/command"), "on");
    QCOMPARE(broker_.retained("hala/test/strefa/5"), "ON");
    QCOMPARE(broker_.retained("hala/test/stan"), StateFile(Range(10, 18)).chopped(2));

    QVERIFY(broker_.publish("modul/input/0", "ON"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile(Range(10, 18) << 30 << 31), kWaitMs);
    QVERIFY(broker_.publish("hala/test/czujnik/5", "false"));
    QVERIFY(broker_.publish("modul/input/0", "0"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile({}), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "OFF", kWaitMs);
    QCOMPARE(broker_.retained("hala/test/strefa/5"), "OFF");

    QVERIFY(controller.stop());
    QCOMPARE(broker_.retained("hala/test/dostepnosc"), "offline");
}

void TestSterownik::keySwitchesToItsScene() {
    TestHall hall;
    Furnish(hall, broker_.port());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), StateFile({50})));
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    QVERIFY(broker_.publish("hala/test/klawisz/A1", "1"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile(Range(10, 18)), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("klawisz A1 (scena 3): świeci 9 lamp"), kWaitMs);
}

void TestSterownik::switchByZeroIsPublished() {
    TestHall hall;
    Furnish(hall, broker_.port());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), StateFile({10})));
    Controller controller(hall);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "ON", kWaitMs);
    QProcess zero;
    zero.setWorkingDirectory(hall.workPath());
    zero.start(QStringLiteral(ZERO_PATH), {});
    QVERIFY(zero.waitForFinished(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "OFF", kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("zmieniony przez inny program: nie świeci żadna lampa"), kWaitMs);
}

void TestSterownik::reconnectsAndPublishesAgain() {
    TestHall hall;
    Furnish(hall, broker_.port());
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    broker_.stop();
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("brak połączenia z brokerem"), kWaitMs);
    QVERIFY(broker_.start());
    // The broker kept nothing: all it holds now comes from the new connection.
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/dostepnosc"), "online", 2 * kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/108"), "OFF", kWaitMs);
    QVERIFY(broker_.publish("hala/test/czujnik/5", "on"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile(Range(10, 18)), kWaitMs);
}

// Discovery on: 125 configurations, each JSON; the commands write what the
// configurator's own writer does; a restart with discovery off leaves none.
void TestSterownik::automation() {
    TestHall hall;
    Furnish(hall, broker_.port(), "prefiks_wykrywania proba\n");
    auto controller = std::make_unique<Controller>(hall);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retainedUnder("proba/#").size(), 125, kWaitMs);
    for (const QByteArray& line : broker_.retainedUnder("proba/#"))
        QVERIFY2(QJsonDocument::fromJson(line.mid(line.indexOf(' ') + 1)).isObject(), line.constData());
    QVERIFY(broker_.publish("modul/input/0", R"({"battery":97,"occupancy":true})"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile({30, 31}), kWaitMs);
    QVERIFY(broker_.publish("hala/test/lampa/30/set", "off"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), StateFile({31}), kWaitMs);
    QVERIFY(broker_.publish("hala/test/scena/set", "3"));
    const QByteArray scene3 = Written(hall, hall::SceneStates(hall::ReadSceneFile("vuzo3.txt").boxes));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), scene3, kWaitMs);
    QVERIFY(broker_.publish("hala/test/wylacz/set", "PRESS"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Written(hall, hall::AllOffStates()), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller->logged("polecenie: wyłącz oświetlenie: nie świeci żadna lampa"), kWaitMs);
    QVERIFY(controller->stop());
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"),
                            TestHall::read(hall.workFile("sterownik.conf")) + "wykrywanie nie\n"));
    controller = std::make_unique<Controller>(hall);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retainedUnder("proba/#").size(), 0, kWaitMs);
}

void TestSterownik::badMessagesChangeNothing_data() {
    QTest::addColumn<QString>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("sensor: 2") << "hala/test/czujnik/5" << QByteArray("2");
    QTest::newRow("sensor: empty") << "hala/test/czujnik/5" << QByteArray();
    QTest::newRow("sensor: trailing blank") << "hala/test/czujnik/5" << QByteArray("1 ");
    QTest::newRow("sensor: bytes") << "hala/test/czujnik/5" << QByteArray("\x00\xff\x01on", 5);
    QTest::newRow("sensor: 100 KiB") << "hala/test/czujnik/5" << QByteArray(100 * 1024, '1');
    QTest::newRow("sensor: JSON, occupancy a string") << "hala/test/czujnik/5" << QByteArray(R"({"occupancy":"1"})");
    QTest::newRow("sensor: JSON cut short") << "hala/test/czujnik/5" << QByteArray(R"({"occupancy": true)");
    QTest::newRow("scene command: 9") << "hala/test/scena/set" << QByteArray("9");
    QTest::newRow("input 0") << "hala/test/czujnik/0" << QByteArray("1");
    QTest::newRow("input 9") << "hala/test/czujnik/9" << QByteArray("1");
    QTest::newRow("input 01") << "hala/test/czujnik/01" << QByteArray("1");
    QTest::newRow("input x") << "hala/test/czujnik/x" << QByteArray("1");
    QTest::newRow("input on its module's topic only") << "hala/test/czujnik/2" << QByteArray("1");
    QTest::newRow("key G1") << "hala/test/klawisz/G1" << QByteArray("1");
    QTest::newRow("key a0") << "hala/test/klawisz/a0" << QByteArray("1");
    QTest::newRow("key a1") << "hala/test/klawisz/a1" << QByteArray("1");
    QTest::newRow("key release") << "hala/test/klawisz/A1" << QByteArray("OFF");
    QTest::newRow("key: bytes") << "hala/test/klawisz/A1" << QByteArray("\xc5\x82\x00", 3);
    QTest::newRow("key without scene") << "hala/test/klawisz/A2" << QByteArray("1");
    QTest::newRow("our own lamp topic") << "hala/test/lampa/10" << QByteArray("ON");
    QTest::newRow("unknown topic") << "hala/test/scena" << QByteArray("3");
}

void TestSterownik::badMessagesChangeNothing() {
    QFETCH(QString, topic);
    QFETCH(QByteArray, payload);
    TestHall hall;
    Furnish(hall, broker_.port());
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    const QByteArray before = StateOf(hall);
    QVERIFY(broker_.publish(topic, payload));
    settle(controller, "znacznik");
    QCOMPARE(StateOf(hall), before);
    QVERIFY(controller.running());
}

void TestSterownik::badConfigurationLine_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("unknown key") << QByteArray("serwer 127.0.0.1");
    QTest::newRow("port 0") << QByteArray("broker 127.0.0.1:0");
    QTest::newRow("port not a number") << QByteArray("broker localhost:mqtt");
    QTest::newRow("broker twice") << QByteArray("broker 127.0.0.1:1883");
    QTest::newRow("name with +") << QByteArray("nazwa a+b");
    QTest::newRow("name ending in /") << QByteArray("nazwa hala/");
    QTest::newRow("input 9") << QByteArray("czujnik 9 a/b");
    QTest::newRow("key G1") << QByteArray("klawisz G1 a/b");
    QTest::newRow("lamp 109") << QByteArray("lampa 109 a/b");
    QTest::newRow("lamp with one payload") << QByteArray("lampa 5 a/b on");
    QTest::newRow("topic with wildcard") << QByteArray("czujnik 3 a/#/b");
    QTest::newRow("topic of another input") << QByteArray("klawisz A1 modul/input/0");
    QTest::newRow("NUL in a value") << QByteArray("uzytkownik a\0b", 14);
    QTest::newRow("discovery: yes") << QByteArray("wykrywanie yes");
    QTest::newRow("discovery prefix ending in /") << QByteArray("prefiks_wykrywania homeassistant/");
}

void TestSterownik::badConfigurationLine() {
    QFETCH(QByteArray, line);
    TestHall hall;
    Furnish(hall, broker_.port(), "\n" + line + "\n");
    QProcess process;
    process.setWorkingDirectory(hall.workPath());
    process.start(QStringLiteral(STEROWNIK_PATH), {});
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray error = process.readAllStandardError();
    QCOMPARE(error.count('\n'), 1);
    // The furnished file has five lines, a blank one, then this one.
    QVERIFY2(error.contains("wiersz 7"), error.constData());
    QCOMPARE(StateOf(hall), StateFile({}));
}

QTEST_GUILESS_MAIN(TestSterownik)
#include "test_sterownik.moc"
