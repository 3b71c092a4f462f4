#include "bms_map.h"
#include "controller_config.h"
#include "device_link.h"
#include "hall_fixture.h"
#include "lamp_state.h"
#include "register_map.h"
#include "test_broker.h"
#include "test_modbus_device.h"

#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <modbus/modbus.h>
#include <signal.h>

#include <memory>

using namespace sterownik;

namespace {

constexpr int kWaitMs = 10000;

QByteArray Lit(const QList<int>& lamps) {
    hall::LampStates states = hall::AllOffStates();
    for (const int n : lamps) states[n - 1] = hall::kStateOn;
    return QByteArray::fromStdString(hall::ComposeStateLine(states)) + "\r\n";
}

QList<int> Range(int first, int last) {
    QList<int> lamps;
    for (int n = first; n <= last; ++n) lamps << n;
    return lamps;
}

// "c 0 1-3; o 10 4,5; r 100 6-7 254 0": cewki, obwod and rejestry lines of one device.
std::vector<hall::ModbusOutput> Outputs(const QString& text) {
    std::vector<hall::ModbusOutput> outputs;
    for (const QString& line : text.split(';', Qt::SkipEmptyParts)) {
        const QStringList w = line.split(' ', Qt::SkipEmptyParts);
        hall::ModbusOutput output;
        output.kind = w[0] == "c"   ? hall::ModbusOutputKind::Coils
                      : w[0] == "o" ? hall::ModbusOutputKind::Circuit
                                    : hall::ModbusOutputKind::Registers;
        output.address = w[1].toInt();
        for (const QString& item : w[2].split(','))
            for (int n = item.section('-', 0, 0).toInt(); n <= item.section('-', -1).toInt(); ++n)
                output.lamps.push_back(n);
        if (w.size() == 5) output.on = w[3].toInt(), output.off = w[4].toInt();
        outputs.push_back(output);
    }
    return outputs;
}

// A write as "c@0=1,0,1" or "r@100=254,0".
QString Described(const OutputWrite& write) {
    QStringList values;
    for (const std::uint16_t v : write.values) values << QString::number(v);
    return QString(write.registers ? "r@" : "c@") + QString::number(write.address) + "=" + values.join(',');
}

}  // namespace

class TestModbus : public QObject {
    Q_OBJECT

private slots:
    void writes_data();
    void writes();
    void wiredHall();
    void reload_data();
    void reload();
    void lampWatches();
    void bmsMap_data();
    void bmsMap();
    void bmsServer();
};

// Lamps 2, 5 and 6 lit. One request per run of consecutive addresses,
// whichever lines the run spans.
void TestModbus::writes_data() {
    QTest::addColumn<QString>("outputs");
    QTest::addColumn<QString>("requests");
    QTest::newRow("one run") << "c 0 1-3"
                             << "c@0=0,1,0";
    QTest::newRow("listed order, not lamp order") << "c 7 6,2,1"
                                                  << "c@7=1,1,0";
    QTest::newRow("two lines, one run") << "c 0 1-2; c 2 5-6"
                                        << "c@0=0,1,1,1";
    QTest::newRow("a gap: two requests") << "c 0 1-2; c 3 5"
                                         << "c@0=0,1 c@3=1";
    QTest::newRow("a circuit: on while any lamp is lit") << "o 4 1,3; o 5 3-6"
                                                         << "c@4=0,1";
    QTest::newRow("a circuit after coils") << "c 0 1-3; o 3 4-5"
                                           << "c@0=0,1,0,1";
    QTest::newRow("registers with their values") << "r 100 1-2 254 0"
                                                 << "r@100=0,254";
    QTest::newRow("coils and registers apart") << "c 0 1; r 1 2"
                                               << "c@0=0 r@1=1";
}

void TestModbus::writes() {
    QFETCH(QString, outputs);
    hall::LampsLit lamps{};
    for (const int n : {2, 5, 6}) lamps[n - 1] = true;
    QStringList made;
    for (const OutputWrite& write : OutputWrites(Outputs(outputs), lamps)) made << Described(write);
    QFETCH(QString, requests);
    QCOMPARE(made.join(' '), requests);
}

// A hall on two modules and a broker: a key and a sensor on inputs, lamps on
// coils, a circuit and DALI registers, a line the module refuses; zero
// reaching them; a module restarted empty written again; a module that hangs
// holding up neither the other nor the broker.
void TestModbus::wiredHall() {
    TestBroker broker;
    TestModbusDevice szafa, dali;
    QVERIFY(broker.start() && szafa.start() && dali.start());
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QByteArray scene2 = "a" + QByteArray(108, '0');
    for (int n = 40; n <= 45; ++n) scene2[n] = '1';
    QVERIFY(TestHall::write(hall.workFile("vuzo2.txt"), scene2 + "\r\n"));
    QVERIFY(TestHall::write(hall.workFile("pakiet.txt"), "a0000020" + QByteArray(17, '0') + "\r\n"));
    QVERIFY(TestHall::write(hall.rootFile("sc5.txt"), Lit(Range(10, 18))));
    QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), "opoznienie=0.001&\r\n"));
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"),
                            "broker 127.0.0.1:" + QByteArray::number(broker.port()) + "\nnazwa test\n" +
                                "modbus szafa 127.0.0.1:" + QByteArray::number(szafa.port()) +
                                " odpytywanie 20\nmodbus dali 127.0.0.1:" + QByteArray::number(dali.port()) +
                                " limit 200\ncewki szafa 0 1-30\nobwod szafa 50 31-39\n"
                                "rejestry dali 100 40-45 254 0\nwejscie szafa 0 klawisz B2\n"
                                "wejscie szafa 5 czujnik 5\nrejestry szafa 500 50\nmoc 1-108 58\n"
                                "awarie dali 150 1-108\n"));
    QProcess controller;
    controller.setWorkingDirectory(hall.workPath());
    controller.start(QStringLiteral(STEROWNIK_PATH), {});
    QByteArray log;
    const auto logged = [&](const QByteArray& text) {
        return (log += controller.readAllStandardOutput()).contains(text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(logged("modbus szafa: połączono") && logged("modbus dali: połączono"), kWaitMs);
    // A register the module does not have: that line left out, the rest goes on.
    QTRY_VERIFY_WITH_TIMEOUT(logged("modbus szafa: sterownik.conf, wiersz 10: urządzenie odmawia"), kWaitMs);

    szafa.setInput(0, true);  // key B2, pressed and let go
    QTRY_VERIFY2_WITH_TIMEOUT(logged("szafa, wejście 0: klawisz B2 (scena 2): świeci 6 lamp"), log.constData(),
                              kWaitMs);
    szafa.setInput(0, false);
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), Lit(Range(40, 45)));
    QTRY_COMPARE_WITH_TIMEOUT(dali.holding(100), 254, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(dali.holding(105), 254, kWaitMs);
    QCOMPARE(dali.holding(99) + dali.holding(106) + szafa.coil(0), 0);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/moc"), "348", kWaitMs);

    // A DALI gateway's failure bits: lamp 7 (bit 6 of the first register) and lamp 40 (bit 7 of the third).
    dali.setHolding(150, 1 << 6);
    dali.setHolding(152, 1 << 7);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/lampa/40/awaria"), "ON", kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/lampa/7/awaria"), "ON", kWaitMs);
    dali.setHolding(150, 0);
    dali.setHolding(152, 0);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/lampa/7/awaria"), "OFF", kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(logged("lampa 40: koniec awarii (zgłoszona przez moduł)"), kWaitMs);
    QCOMPARE(log.count("lampa 7: awaria (zgłoszona przez moduł)"), 1);

    szafa.setInput(5, true);  // motion: its zone on the coils
    QTRY_VERIFY_WITH_TIMEOUT(szafa.coil(9) && szafa.coil(17), kWaitMs);
    QVERIFY(!szafa.coil(8) && !szafa.coil(18));
    QVERIFY(broker.publish("hala/test/lampa/31/set", "ON"));  // a lamp of the circuit, from MQTT
    QTRY_VERIFY_WITH_TIMEOUT(szafa.coil(50), kWaitMs);
    szafa.setInput(5, false);  // released after the delay
    QTRY_VERIFY_WITH_TIMEOUT(!szafa.coil(9) && !szafa.coil(17), kWaitMs);
    QVERIFY(szafa.coil(50));

    dali.stop();  // back empty: every register written again
    QVERIFY(dali.start());
    QTRY_COMPARE_WITH_TIMEOUT(dali.holding(100), 254, 3 * kWaitMs);

    QProcess zero;
    zero.setWorkingDirectory(hall.workPath());
    zero.start(QStringLiteral(ZERO_PATH), {});
    QVERIFY(zero.waitForFinished(kWaitMs));
    QTRY_VERIFY_WITH_TIMEOUT(dali.holding(100) == 0 && !szafa.coil(50), kWaitMs);

    dali.freeze(true);  // hangs: the other module and the broker go on
    szafa.setInput(5, true);
    QTRY_VERIFY_WITH_TIMEOUT(szafa.coil(9), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/lampa/10"), "ON", kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(logged("modbus dali: nie odpowiada"), kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/modbus/dali"), "offline", kWaitMs);
    QCOMPARE(log.count("modbus dali: nie odpowiada"), 1);
    dali.freeze(false);
    QTRY_COMPARE_WITH_TIMEOUT(broker.retained("hala/test/modbus/dali"), "online", 3 * kWaitMs);
    controller.terminate();
    QVERIFY(controller.waitForFinished(kWaitMs));
    QCOMPARE(controller.exitCode(), 0);
}

// Sensor 5 on szafa's input 5 holds its zone (lamps 10-18) and key B2 on input
// 0 is held down; sterownik.conf then changes as the row says and SIGHUP
// comes, while dali hangs inside a request of a minute's limit. After the
// reload the zone is held or released after the delay (0.6 s); key B2 fires
// no second time; a sensor on szafa's input 6 lights its zone at once.
void TestModbus::reload_data() {
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<bool>("held");
    QTest::newRow("a comment added") << QByteArray("") << QByteArray("# szafa\n") << true;
    QTest::newRow("poll changed: a new link, the same wiring")
        << QByteArray("") << QByteArray("odpytywanie 20") << true;
    QTest::newRow("sensor moved to an input at 0")
        << QByteArray("wejscie szafa 5 czujnik 5") << QByteArray("wejscie szafa 7 czujnik 5") << false;
    QTest::newRow("sensor moved to an input at 1")
        << QByteArray("wejscie szafa 5 czujnik 5") << QByteArray("wejscie szafa 8 czujnik 5") << true;
    QTest::newRow("sensor dropped") << QByteArray("wejscie szafa 5 czujnik 5") << QByteArray("") << false;
    QTest::newRow("module removed: every line of it") << QByteArray("szafa ") << QByteArray() << false;
}

void TestModbus::reload() {
    TestModbusDevice szafa, dali;
    QVERIFY(szafa.start() && dali.start());
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.rootFile("sc5.txt"), Lit(Range(10, 18))));
    QVERIFY(TestHall::write(hall.rootFile("sc6.txt"), Lit(Range(20, 25))));
    QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), "opoznienie=0.01&\r\n"));
    const QByteArray config = "broker brak\nmodbus szafa 127.0.0.1:" + QByteArray::number(szafa.port()) +
                              "\nmodbus dali 127.0.0.1:" + QByteArray::number(dali.port()) +
                              " limit 60000\ncewki szafa 0 1-30\nrejestry dali 100 40-45\n"
                              "wejscie szafa 0 klawisz B2\nwejscie szafa 5 czujnik 5\nwejscie szafa 6 czujnik 6\n";
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"), config));
    szafa.setInput(5, true);
    szafa.setInput(8, true);
    QProcess controller;
    controller.setWorkingDirectory(hall.workPath());
    controller.start(QStringLiteral(STEROWNIK_PATH), {});
    QByteArray log;
    const auto logged = [&](const QByteArray& text) { return (log += controller.readAllStandardOutput()).count(text); };
    QTRY_VERIFY_WITH_TIMEOUT(logged("czujnik 5: ruch") && logged("modbus dali: połączono"), kWaitMs);
    szafa.setInput(0, true);
    QTRY_VERIFY_WITH_TIMEOUT(logged("klawisz B2"), kWaitMs);
    dali.freeze(true);
    QTRY_COMPARE_WITH_TIMEOUT(TestHall::read(hall.rootFile("actual.txt")), Lit(Range(10, 18)), kWaitMs);
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QByteArray changed =
        QByteArray(config).replace(from.isEmpty() ? "broker brak\n" : from, from.isEmpty() ? "broker brak\n" + to : to);
    const bool removed = from == "szafa ";
    if (removed) {
        QByteArrayList kept;
        for (const QByteArray& line : config.split('\n'))
            if (!line.contains("szafa ")) kept << line;
        changed = kept.join('\n');
    }
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"), changed.replace("limit 60000", "limit 50000")));
    QVERIFY(::kill(static_cast<pid_t>(controller.processId()), SIGHUP) == 0);
    QTRY_VERIFY_WITH_TIMEOUT(logged("wczytano ponownie"), kWaitMs);
    // The loop is not held up by dali's worker, stopped inside its request.
    szafa.setInput(6, true);
    QFETCH(bool, held);
    if (!removed) QTRY_VERIFY_WITH_TIMEOUT(TestHall::read(hall.rootFile("actual.txt")).contains("la20=3"), kWaitMs);
    if (held) {
        QTest::qWait(1500);  // the delay twice and more
        QVERIFY(TestHall::read(hall.rootFile("actual.txt")).contains("la10=3"));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(logged("strefa 5 zwolniona"), kWaitMs);
    }
    QCOMPARE(logged("klawisz B2"), 1);
    controller.terminate();
    QVERIFY(controller.waitForFinished(kWaitMs));
    QCOMPARE(controller.exitCode(), 0);
}

// Failure bits in holding and input registers, auxiliary contacts, and a
// watch past the module's registers: read every second, that one refused once.
void TestModbus::lampWatches() {
    TestModbusDevice module;
    QVERIFY(module.start());
    module.setHolding(10, 0x0004);  // lamp 3
    module.setHolding(11, 0x0002);  // lamp 18, the 18th listed
    module.setInputRegister(10, 0x0002);
    module.setInput(41, true);
    const auto config = hall::ParseControllerConfig("broker brak\nmodbus m 127.0.0.1:" + std::to_string(module.port()) +
                                                        "\nawarie m 10 1-20\nawarie m 10 30,31 wejsciowe\n"
                                                        "zwrotne m 40 50-52\nawarie m 199 60-80\n",
                                                    "hala");
    QVERIFY(config);
    auto link = DeviceLink::Start(config->modbus.devices.front(), {}, config->modbus.watches);
    QVERIFY(link);
    QString seen;  // each report: O online, R refused and which watch, L lamps read and those set ("z" read back)
    const auto take = [&] {
        for (const DeviceLink::Report& report : (*link)->take()) {
            seen +=
                QString(" ") + "OXVLRE"[int(report.kind)] + QString::number(report.watch.value_or(report.lamps.size()));
            for (const LampSignal& signal : report.lamps)
                if (signal.value) seen += "," + QString::number(signal.lamp) + (signal.readBack ? "z" : "");
        }
        return seen.count('L') >= 2;
    };
    QTRY_VERIFY_WITH_TIMEOUT(take(), kWaitMs);
    QCOMPARE(seen, " O0 R3 L25,3,18,31,51z L25,3,18,31,51z");
}

// A request from its function code on, as hex; lamps 2 and 3 lit before it.
// "coils" are the coils as the write left them; the event what it switches.
void TestModbus::bmsMap_data() {
    QTest::addColumn<QByteArray>("pdu");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("coils");
    QTest::addColumn<int>("refusal");
    QTest::addColumn<QString>("event");
    QTest::newRow("read coils") << QByteArray("0100000006c") << false << "2 3" << 0 << "";
    QTest::newRow("scene 3") << QByteArray("0600000003") << false << "2 3" << 0 << "scena 3";
    QTest::newRow("scene 0: all off") << QByteArray("0600000000") << false << "2 3" << 0 << "wyłącz";
    QTest::newRow("scene 9") << QByteArray("0600000009") << false << "2 3" << 3 << "";
    QTest::newRow("scene 8 of several registers") << QByteArray("1000000001020008") << false << "2 3" << 0 << "scena 8";
    QTest::newRow("scene 300 of several registers") << QByteArray("100000000102012c") << false << "2 3" << 3 << "";
    QTest::newRow("two registers: libmodbus's 02") << QByteArray("10000000020400030003") << false << "2 3" << 0 << "";
    QTest::newRow("one coil") << QByteArray("050004ff00") << false << "2 3 5" << 0 << "lampa 5 on";
    QTest::newRow("several coils: one switch") << QByteArray("0f0000000301 05") << false << "1 3" << 0 << "lampy 1 2";
    QTest::newRow("coils as they were") << QByteArray("0f00010002 0103") << false << "2 3" << 0 << "";
    QTest::newRow("read only: a write") << QByteArray("0600000003") << true << "2 3" << 1 << "";
    QTest::newRow("read only: a read") << QByteArray("0400000003") << true << "2 3" << 0 << "";
    QTest::newRow("write and read at once") << QByteArray("17000000010000000102 0003") << false << "2 3" << 1 << "";
}

void TestModbus::bmsMap() {
    QFETCH(QByteArray, pdu);
    QFETCH(bool, readOnly);
    const QByteArray bytes = QByteArray::fromHex(pdu.replace(' ', ""));
    const auto* request = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    QFETCH(int, refusal);
    QCOMPARE(BmsMap::Refusal(request, int(bytes.size()), readOnly), refusal);
    HallView view;
    view.lamps[1] = view.lamps[2] = true;
    view.zones[4] = view.zones[7] = true;
    view.devicesAway = 2;
    modbus_mapping_t* mapping =
        modbus_mapping_new(BmsMap::kCoils, BmsMap::kDiscreteInputs, BmsMap::kHoldingRegisters, BmsMap::kInputRegisters);
    BmsMap map;
    map.fill(*mapping, view);
    QCOMPARE(QList<int>({mapping->tab_bits[1], mapping->tab_bits[3], mapping->tab_input_bits[4]}),
             QList<int>({1, 0, 1}));
    QCOMPARE(QList<int>({mapping->tab_input_registers[0], mapping->tab_input_registers[1],
                         mapping->tab_input_registers[2], mapping->tab_registers[0]}),
             QList<int>({2, 0x90, 2, 0}));
    QFETCH(QString, coils);
    for (int i = 0; i < hall::kLampCount; ++i) mapping->tab_bits[i] = 0;
    for (const QString& n : coils.split(' ')) mapping->tab_bits[n.toInt() - 1] = 1;
    const std::optional<Event> made = refusal ? std::nullopt : map.written(request, int(bytes.size()), *mapping, view);
    modbus_mapping_free(mapping);
    QString described;
    if (made)
        described = std::visit(
            ForEachKind{[](const SetScene& s) { return "scena " + QString::number(s.scene); },
                        [](const AllOff&) { return QString("wyłącz"); },
                        [](const SetLamp& l) { return "lampa " + QString::number(l.lamp) + (l.lit ? " on" : " off"); },
                        [](const SetLamps& l) {
                            QStringList which;
                            for (int i = 0; i < hall::kLampCount; ++i)
                                if (l.which[i]) which << QString::number(i + 1);
                            return "lampy " + which.join(' ');
                        },
                        [](const auto&) { return QString("?"); }},
            *made);
    QFETCH(QString, event);
    QCOMPARE(described, event);
    if (event.startsWith("scena")) QCOMPARE(map.scene(), event.section(' ', 1).toInt());
}

namespace {

// The controller in a hall that serves the BMS, with `extra` lines.
struct ServedHall {
    TestHall hall;
    QProcess controller;
    quint16 port = 0;
    QByteArray log;

    bool start(const QByteArray& extra) {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0)) return false;
        port = probe.serverPort();
        probe.close();
        QByteArray scene3 = "a" + QByteArray(108, '0');
        for (int n = 20; n <= 29; ++n) scene3[n] = '1';
        scene3[30] = '2';
        if (!hall.layDefaults() || !TestHall::write(hall.workFile("vuzo3.txt"), scene3 + "\r\n") ||
            !TestHall::write(hall.rootFile("actual.txt"), Lit({5, 6})) ||
            !TestHall::write(hall.workFile("sterownik.conf"),
                             "broker brak\nserwer_modbus 127.0.0.1:" + QByteArray::number(port) + "\n" + extra))
            return false;
        controller.setWorkingDirectory(hall.workPath());
        controller.start(QStringLiteral(STEROWNIK_PATH), {});
        return controller.waitForStarted(kWaitMs);
    }
    bool logged(const QByteArray& text) { return (log += controller.readAllStandardOutput()).contains(text); }
    QByteArray state() const { return TestHall::read(hall.rootFile("actual.txt")); }
    ~ServedHall() {
        controller.kill();
        controller.waitForFinished(kWaitMs);
    }
};

// libmodbus's own client, connected to the hall: nothing when it cannot connect.
std::unique_ptr<modbus_t, void (*)(modbus_t*)> Client(quint16 port) {
    std::unique_ptr<modbus_t, void (*)(modbus_t*)> client(modbus_new_tcp("127.0.0.1", port), [](modbus_t* c) {
        modbus_close(c);
        modbus_free(c);
    });
    for (int attempt = 0; attempt < 100 && modbus_connect(client.get()) != 0; ++attempt) QTest::qWait(20);
    modbus_set_slave(client.get(), 7);  // any unit id is answered
    // libmodbus waits half a second for a reply; a loaded machine under sanitizers may take longer.
    modbus_set_response_timeout(client.get(), kWaitMs / 1000, 0);
    return client;
}

}  // namespace

// A real client: the coils as actual.txt, a scene written and read back, a
// lamp, exceptions; then a catalogue of bad frames and clients that changes
// nothing and ends nothing; a read-only hall; a client not on the list.
void TestModbus::bmsServer() {
    ServedHall served;
    QVERIFY(served.start("klient_modbus 127.0.0.1\n"));
    auto client = Client(served.port);
    std::uint8_t coils[108] = {};
    QCOMPARE(modbus_read_bits(client.get(), 0, 108, coils), 108);
    QCOMPARE(int(coils[4] + coils[5] + coils[6]), 2);
    QCOMPARE(modbus_write_register(client.get(), 0, 3), 1);
    QByteArray scene3 = QByteArray::fromStdString(hall::ComposeStateLine(hall::SceneStates(
                            hall::ReadSceneFile((served.hall.workPath() + "/vuzo3.txt").toStdString()).boxes))) +
                        "\r\n";
    QTRY_COMPARE_WITH_TIMEOUT(served.state(), scene3, kWaitMs);
    std::uint16_t scene = 0;
    QCOMPARE(modbus_read_registers(client.get(), 0, 1, &scene), 1);
    QCOMPARE(int(scene), 3);
    QCOMPARE(modbus_write_bit(client.get(), 107, 1), 1);
    QTRY_VERIFY_WITH_TIMEOUT(served.logged("BMS: polecenie: włącz lampę 108"), kWaitMs);
    QCOMPARE(modbus_read_bits(client.get(), 108, 1, coils), -1);
    QCOMPARE(errno, int(EMBXILADD));
    QCOMPARE(modbus_write_register(client.get(), 0, 9), -1);
    QCOMPARE(errno, int(EMBXILVAL));
    QCOMPARE(modbus_write_register(client.get(), 0, 0), 1);
    QTRY_COMPARE_WITH_TIMEOUT(served.state(), Lit({}), kWaitMs);

    for (int i = 0; i < 1000; ++i) {
        QTcpSocket brief;
        brief.connectToHost(QHostAddress::LocalHost, served.port);
        QVERIFY(brief.waitForConnected(kWaitMs));
    }
    for (const QByteArray& frame : {QByteArray(260, '\x5a'), QByteArray::fromHex("0001000000060106"),
                                    QByteArray::fromHex("000100070006010600000003"), QByteArray()}) {
        QTcpSocket bad;
        bad.connectToHost(QHostAddress::LocalHost, served.port);
        QVERIFY(bad.waitForConnected(kWaitMs));
        bad.write(frame);
        QVERIFY(bad.waitForBytesWritten(kWaitMs) || frame.isEmpty());
    }
    auto after = Client(served.port);
    QCOMPARE(modbus_read_bits(after.get(), 0, 108, coils), 108);
    // Served behind every bad frame: any write among them would be in the file by now.
    QCOMPARE(modbus_write_bit(after.get(), 0, 1), 1);
    QTRY_VERIFY_WITH_TIMEOUT(served.logged("BMS: polecenie: włącz lampę 1:"), kWaitMs);
    QCOMPARE(served.state(), Lit({1}));
    QCOMPARE(served.controller.state(), QProcess::Running);

    ServedHall readOnly;
    QVERIFY(readOnly.start("tylko_odczyt tak\n"));
    auto reader = Client(readOnly.port);
    QCOMPARE(modbus_write_register(reader.get(), 0, 3), -1);
    QCOMPARE(errno, int(EMBXILFUN));
    QCOMPARE(readOnly.state(), Lit({5, 6}));

    ServedHall elsewhere;
    QVERIFY(elsewhere.start("klient_modbus 192.0.2.1\n"));
    auto stranger = Client(elsewhere.port);
    QCOMPARE(modbus_read_bits(stranger.get(), 0, 1, coils), -1);
    QTRY_VERIFY_WITH_TIMEOUT(elsewhere.logged("BMS: klient spoza listy, zamknięto połączenie z 127.0.0.1"), kWaitMs);
}

QTEST_GUILESS_MAIN(TestModbus)
#include "test_modbus.moc"
