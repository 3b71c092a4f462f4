#include "controller_config.h"
#include "hall_fixture.h"
#include "lamp_state.h"
#include "scene_files.h"
#include "test_broker.h"
#include "topic_checks.h"

#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

#include <memory>

namespace {

// A bound, not a wait: generous, as a loaded machine's flushes may take seconds.
constexpr int kWaitMs = 30000;
const QList<int> kScene3 = {10, 11, 12, 13, 14, 15, 16, 17, 18};

QByteArray Line(const hall::LampStates& states) {
    return QByteArray::fromStdString(hall::ComposeStateLine(states)) + "\r\n";
}

QByteArray Lit(const QList<int>& lamps) {
    hall::LampStates states = hall::AllOffStates();
    for (const int n : lamps) states[n - 1] = hall::kStateOn;
    return Line(states);
}

// Scene 3 ticks lamps 10 to 18; input 5 is assigned it, and input 2 (on a
// module's own topic) lights lamps 30 and 31. Key A1 has scene 3, A2 none.
// Lamp 10 also drives a relay. An hour's delay, so that zones 2 and 5, held at
// every start, are not released in a test that did not ask for a short one.
void Furnish(const TestHall& hall, quint16 port, const QByteArray& extra = {}) {
    QVERIFY(hall.layDefaults());
    QByteArray scene = "a" + QByteArray(108, '0');
    for (const int n : kScene3) scene[n] = '1';
    QVERIFY(TestHall::write(hall.workFile("vuzo3.txt"), scene + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("czuj.txt"), "a03003000\r\n"));
    QVERIFY(TestHall::write(hall.workFile("pakiet.txt"), "a30" + QByteArray(22, '0') + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("sc5.txt"), Lit(kScene3)));
    QVERIFY(TestHall::write(hall.rootFile("sc2.txt"), Lit({30, 31})));
    QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), "opoznienie=60&\r\n"));
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"),
                            "# hala testowa\nbroker 127.0.0.1:" + QByteArray::number(port) +
                                "\nnazwa test\nczujnik 2 modul/input/0\nlampa 10 shellies/ab/relay/0/command on off\n" +
                                extra));
}

// The controller as a process in the hall, its log gathered as it comes.
struct Controller : QProcess {
    explicit Controller(const TestHall& hall) {
        setWorkingDirectory(hall.workPath());
        start(QStringLiteral(STEROWNIK_PATH), {});
    }
    ~Controller() override {
        kill();
        waitForFinished(kWaitMs);
    }
    bool logged(const QByteArray& text) { return (log += readAllStandardOutput()).contains(text); }
    // SIGTERM: offline, a clean exit.
    bool stop() {
        terminate();
        return waitForFinished(kWaitMs) && exitStatus() == NormalExit && exitCode() == 0;
    }
    QByteArray log;
};

QByteArray StateOf(const TestHall& hall) { return TestHall::read(hall.rootFile("actual.txt")); }

}  // namespace

class TestSterownik : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(broker_.start()); }
    void oneHallThroughItsDay();
    void automation();
    void badMessagesChangeNothing();
    void underFaults();
    void burstInGroups();
    void badConfigurationLine_data();
    void badConfigurationLine();
    void badConfigurationStops();

private:
    // Waits until the controller has dealt with everything sent before: a bad
    // topic of its own, sent again under a new one (notes are logged a few a
    // minute) until logged, as it may come before the controller subscribed.
    void settle(Controller& controller, const QByteArray& mark) {
        for (int attempt = 1; attempt <= 9; ++attempt) {
            const QByteArray topic = mark + "-" + QByteArray::number(attempt);
            QVERIFY(broker_.publish("hala/test/czujnik/" + topic, topic));
            if (QTest::qWaitFor([&] { return controller.logged(topic); }, kWaitMs / 9)) return;
        }
        QFAIL(qPrintable("the controller never logged " + mark));
    }

    TestBroker broker_;
};

// Motion lights a zone beside lit lamps until the delay; a key gives exactly
// its scene; zero's switching off is published; a new broker hears it all again.
void TestSterownik::oneHallThroughItsDay() {
    TestHall hall;
    Furnish(hall, broker_.port());
    QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), "opoznienie=0.05&\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), Lit({50})));
    // A motion of the past, retained by the broker, is no motion now.
    QVERIFY(broker_.publish("hala/test/czujnik/5", "1", true));
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    settle(controller, "po-starcie");
    QCOMPARE(StateOf(hall), Lit({50}));
    QVERIFY(broker_.publish("hala/test/czujnik/5", "", true));

    QVERIFY(broker_.publish("hala/test/czujnik/5", "1"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit(kScene3 + QList<int>{50}), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("czujnik 5: ruch: świeci 10 lamp"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "ON", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("shellies/ab/relay/0/command"), "on", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/strefa/5"), "ON", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/stan"), Lit(kScene3 + QList<int>{50}).chopped(2), kWaitMs);
    QVERIFY(broker_.publish("modul/input/0", "ON"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit(kScene3 + QList<int>{30, 31, 50}), kWaitMs);
    QVERIFY(broker_.publish("hala/test/czujnik/5", "false"));
    QVERIFY(broker_.publish("modul/input/0", "0"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit({50}), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "OFF", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/strefa/5"), "OFF", kWaitMs);

    QVERIFY(broker_.publish("hala/test/klawisz/A1", "1"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit(kScene3), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("klawisz A1 (scena 3): świeci 9 lamp"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "ON", kWaitMs);

    QProcess zero;
    zero.setWorkingDirectory(hall.workPath());
    zero.start(QStringLiteral(ZERO_PATH), {});
    QVERIFY(zero.waitForFinished(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/10"), "OFF", kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("zmieniony przez inny program: nie świeci żadna lampa"), kWaitMs);

    broker_.stop();
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("brak połączenia z brokerem"), kWaitMs);
    QVERIFY(broker_.start());
    // The broker kept nothing: all it holds now comes from the new connection.
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/dostepnosc"), "online", 2 * kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/108"), "OFF", kWaitMs);
    QVERIFY(broker_.publish("hala/test/czujnik/5", "on"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit(kScene3), kWaitMs);
    QVERIFY(controller.stop());
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/dostepnosc"), "offline", kWaitMs);
}

// Discovery on: 125 configurations, each JSON; the commands write what the
// configurator's own writer does; a restart with discovery off leaves none.
void TestSterownik::automation() {
    TestHall hall;
    Furnish(hall, broker_.port(), "prefiks_wykrywania proba\n");
    auto controller = std::make_unique<Controller>(hall);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retainedUnder("proba/#").size(), 125 + 2 + 108, kWaitMs);
    for (const QByteArray& line : broker_.retainedUnder("proba/#"))
        QVERIFY2(QJsonDocument::fromJson(line.mid(line.indexOf(' ') + 1)).isObject(), line.constData());
    QVERIFY(broker_.publish("modul/input/0", R"({"battery":97,"occupancy":true})"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit({30, 31}), kWaitMs);
    QVERIFY(broker_.publish("hala/test/lampa/30/set", "off"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Lit({31}), kWaitMs);
    QVERIFY(broker_.publish("hala/test/scena/set", "3"));
    const QByteArray scene3 = Line(hall::SceneStates(hall::ReadSceneFile("vuzo3.txt").boxes));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), scene3, kWaitMs);
    QVERIFY(broker_.publish("hala/test/wylacz/set", "PRESS"));
    QTRY_COMPARE_WITH_TIMEOUT(StateOf(hall), Line(hall::AllOffStates()), kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(controller->logged("polecenie: wyłącz oświetlenie: nie świeci żadna lampa"), kWaitMs);
    QVERIFY(controller->stop());
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"),
                            TestHall::read(hall.workFile("sterownik.conf")) + "wykrywanie nie\n"));
    controller = std::make_unique<Controller>(hall);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retainedUnder("proba/#").size(), 0, kWaitMs);
}

// One controller takes the whole catalogue, each message settled before the
// next; the topic reader's table has the payloads row by row.
void TestSterownik::badMessagesChangeNothing() {
    // Input 2 listens on its module's topic only; A2 has no scene.
    QList<std::pair<QString, QByteArray>> catalogue = {{"klawisz/A1", "OFF"}, {"klawisz/A1", {"\xc5\x82\x00", 3}}};
    for (const char* topic : {"czujnik/9", "czujnik/01", "czujnik/x", "czujnik/2", "klawisz/G1", "klawisz/a0",
                              "klawisz/a1", "klawisz/A2", "lampa/10", "scena"})
        catalogue.append({QString(topic), "1"});
    for (const QByteArray& payload : {QByteArray("2"), QByteArray(), QByteArray("1 "), QByteArray("\x00\xff\x01on", 5),
                                      QByteArray(100 * 1024, '1'), QByteArray(R"({"occupancy": true)")})
        catalogue.append({QStringLiteral("czujnik/5"), payload});
    TestHall hall;
    Furnish(hall, broker_.port());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), Lit({50})));
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    int mark = 0;
    for (const auto& [topic, payload] : catalogue) {
        QVERIFY(broker_.publish("hala/test/" + topic, payload));
        settle(controller, "znacznik " + QByteArray::number(++mark));
        QVERIFY2(StateOf(hall) == Lit({50}) && controller.state() == QProcess::Running, qPrintable(topic));
    }
}

// A second controller is refused; after a broker frozen and killed, what
// the broker holds is actual.txt, not what was queued before; SIGHUP takes a
// good file and leaves a bad one; a linked actual.txt is watched where it is.
void TestSterownik::underFaults() {
    TestHall hall;
    Furnish(hall, broker_.port());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), Lit({})));
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("połączono"), kWaitMs);
    Controller second(hall);
    QVERIFY(second.waitForFinished(kWaitMs));
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(second.readAllStandardError().count('\n'), 1);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/dostepnosc"), "online", kWaitMs);

    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), Lit({1, 2, 10})));
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/1"), "ON", kWaitMs);
    broker_.freeze(true);
    QProcess zero;  // switched off while the broker cannot acknowledge it
    zero.setWorkingDirectory(hall.workPath());
    zero.start(QStringLiteral(ZERO_PATH), {});
    QVERIFY(zero.waitForFinished(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("zmieniony przez inny program: nie"), kWaitMs);
    broker_.crash();
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("brak połączenia"), 3 * kWaitMs);
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), Lit({1, 2, 10})));
    QVERIFY(broker_.start());
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/dostepnosc"), "online", 6 * kWaitMs);
    settle(controller, "po-powrocie");
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/lampa/1"), "ON", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("shellies/ab/relay/0/command"), "on", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/stan"), Lit({1, 2, 10}).chopped(2), kWaitMs);

    const QByteArray config = TestHall::read(hall.workFile("sterownik.conf"));
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"), config + "lampa 3 hala/test/lampa/3/set\n"));
    ::kill(static_cast<pid_t>(controller.processId()), SIGHUP);
    QTRY_VERIFY_WITH_TIMEOUT(controller.logged("zostają dotychczasowe ustawienia"), kWaitMs);
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"), QByteArray(config).replace("nazwa test", "nazwa nowa")));
    ::kill(static_cast<pid_t>(controller.processId()), SIGHUP);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/nowa/lampa/10"), "ON", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/test/dostepnosc"), "offline", kWaitMs);

    QTemporaryDir elsewhere;
    QVERIFY(TestHall::write(elsewhere.filePath("actual.txt"), Lit({10})));
    QVERIFY(QFile::remove(hall.rootFile("actual.txt")));
    QVERIFY(QFile::link(elsewhere.filePath("actual.txt"), hall.rootFile("actual.txt")));
    zero.start(QStringLiteral(ZERO_PATH), {});
    QVERIFY(zero.waitForFinished(kWaitMs));
    QTRY_COMPARE_WITH_TIMEOUT(broker_.retained("hala/nowa/lampa/10"), "OFF", kWaitMs);
    QVERIFY(controller.stop());
}

// 2,000 scene commands waiting at once, alternately 2 (all off) and 3: each
// logged, the last one in the file, and far fewer writes (each published as
// the state) than events.
void TestSterownik::burstInGroups() {
    TestHall hall;
    Furnish(hall, broker_.port());
    QVERIFY(TestHall::write(hall.rootFile("actual.txt"), Lit({})));
    // An earlier test's state says nothing of this connection; the controller
    // publishes its own only after subscribing, so once it is there the burst
    // cannot come before the subscription.
    QVERIFY(broker_.publish("hala/test/stan", {}, true));
    Controller controller(hall);
    QTRY_VERIFY_WITH_TIMEOUT(!broker_.retained("hala/test/stan").isNull(), kWaitMs);
    QProcess states;
    states.start("mosquitto_sub", {"-p", QString::number(broker_.port()), "-t", "hala/test/stan"});
    QTRY_VERIFY_WITH_TIMEOUT(states.canReadLine(), kWaitMs);
    ::kill(static_cast<pid_t>(controller.processId()), SIGSTOP);
    QProcess burst;
    burst.start("mosquitto_pub", {"-p", QString::number(broker_.port()), "-t", "hala/test/scena/set", "-l"});
    for (int i = 0; i < 2000; ++i) burst.write(i % 2 ? "3\n" : "2\n");
    burst.closeWriteChannel();
    QVERIFY(burst.waitForFinished(kWaitMs));
    ::kill(static_cast<pid_t>(controller.processId()), SIGCONT);
    const auto logged = [&](const QByteArray& line) { return controller.logged({}), controller.log.count(line); };
    QTRY_COMPARE_WITH_TIMEOUT(logged("polecenie: scena 3: świeci 9 lamp\n"), 1000, kWaitMs);
    QCOMPARE(logged("polecenie: scena 2"), 1000);
    QCOMPARE(StateOf(hall), Lit(kScene3));
    QByteArray seen;
    QTRY_VERIFY_WITH_TIMEOUT((seen += states.readAllStandardOutput()).endsWith(Lit(kScene3).chopped(2) + "\n"),
                             kWaitMs);
    const qsizetype published = seen.count('\n');
    QVERIFY2(published <= 20, qPrintable(QString::number(published)));
    states.kill();
    states.waitForFinished(kWaitMs);
}

void TestSterownik::badConfigurationLine_data() {
    QTest::addColumn<QByteArray>("line");
    for (const char* line :
         {"serwer 127.0.0.1", "broker 127.0.0.1:0", "broker localhost:mqtt", "broker 127.0.0.1:1883", "nazwa a+b",
          "nazwa hala/", "czujnik 9 a/b", "klawisz G1 a/b", "lampa 109 a/b", "lampa 5 a/b on", "czujnik 3 a/#/b",
          "klawisz A1 modul/input/0", "wykrywanie yes", "prefiks_wykrywania homeassistant/", "prefiks_tematow /zaklad",
          // A device's topic that is the controller's own, or a lamp's that is an input's.
          "lampa 1 hala/hala/lampa/1/set OFF ON", "lampa 2 hala/hala/lampa/2", "czujnik 3 hala/hala/stan",
          "klawisz B1 hala/hala/czujnik/7", "czujnik 4 hala/hala/dostepnosc", "lampa 7 modul/input/0",
          // Modbus lines, after a device, its coils for lamps 1-4 and its input 0.
          "cewki brak 10 5", "cewki szafa 10 4", "obwod szafa 3 20-30", "cewki szafa 65530 9-20", "cewki szafa 100 9-",
          "rejestry szafa 100 1,x", "rejestry szafa 100 9 1", "wejscie szafa 0 czujnik 1", "wejscie szafa 1 klawisz G1",
          "wejscie szafa 1 lampa 3", "modbus szafa 127.0.0.1", "modbus a/b 127.0.0.1",
          "modbus d 127.0.0.1 odpytywanie 4", "modbus d 127.0.0.1 jednostka 256", "modbus d 127.0.0.1:0",
          "modbus d 127.0.0.1 limit", "awarie brak 0 5", "awarie szafa 65535 1-17", "awarie szafa 0 5 wyjsciowe",
          "zwrotne szafa 0 5 wejsciowe", "zwrotne szafa 65530 1-7", "zwrotne szafa 0 0"})
        QTest::newRow(line) << QByteArray(line);
    QTest::newRow("NUL in a value") << QByteArray("uzytkownik a\0b", 14);
    QTest::newRow("control bytes in an option") << QByteArray("modbus d 127.0.0.1 \xff\x1f 5");
}

// After a broker line, an input on a module's topic and a Modbus device, each line is refused by its number.
void TestSterownik::badConfigurationLine() {
    QFETCH(QByteArray, line);
    const hall::Result<hall::ControllerConfig> read = hall::ParseControllerConfig(
        "broker 127.0.0.1:1883\nczujnik 2 modul/input/0\nmodbus szafa 127.0.0.1\n"
        "cewki szafa 0 1-4\nwejscie szafa 0 klawisz A1\n" +
            line.toStdString(),
        "hala");
    const hall::Status checked = read ? sterownik::CheckTopics(*read) : hall::Status(hall::Unexpected(read.error()));
    QVERIFY(!checked);
    QVERIFY2(checked.error().find("wiersz 6:") != std::string::npos, checked.error().c_str());
    // One line, whatever the file holds.
    QVERIFY(std::none_of(checked.error().begin(), checked.error().end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20; }));
}

void TestSterownik::badConfigurationStops() {
    TestHall hall;
    Furnish(hall, broker_.port(), "\nlampa 109 a/b\n");
    Controller process(hall);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 2);
    const QByteArray error = process.readAllStandardError();
    QCOMPARE(error.count('\n'), 1);
    // The furnished file has five lines, a blank one, then this one.
    QVERIFY2(error.contains("wiersz 7"), error.constData());
    QCOMPARE(StateOf(hall), Lit({}));
}

QTEST_GUILESS_MAIN(TestSterownik)
#include "test_sterownik.moc"
