#include "hall_fixture.h"
#include "lamp_state.h"
#include "register_map.h"
#include "test_broker.h"
#include "test_modbus_device.h"

#include <QProcess>
#include <QTest>

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
// coils, a circuit and DALI registers; zero reaching them; a module restarted
// empty written again; a module that hangs holding up neither the other nor the broker.
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
                                "wejscie szafa 5 czujnik 5\n"));
    QProcess controller;
    controller.setWorkingDirectory(hall.workPath());
    controller.start(QStringLiteral(STEROWNIK_PATH), {});
    QByteArray log;
    const auto logged = [&](const QByteArray& text) {
        return (log += controller.readAllStandardOutput()).contains(text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(logged("modbus szafa: połączono") && logged("modbus dali: połączono"), kWaitMs);

    szafa.setInput(0, true);  // key B2, pressed and let go
    QTRY_VERIFY2_WITH_TIMEOUT(logged("szafa, wejście 0: klawisz B2 (scena 2): świeci 6 lamp"), log.constData(),
                              kWaitMs);
    szafa.setInput(0, false);
    QCOMPARE(TestHall::read(hall.rootFile("actual.txt")), Lit(Range(40, 45)));
    QTRY_COMPARE_WITH_TIMEOUT(dali.holding(100), 254, kWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(dali.holding(105), 254, kWaitMs);
    QCOMPARE(dali.holding(99) + dali.holding(106) + szafa.coil(0), 0);

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

QTEST_GUILESS_MAIN(TestModbus)
#include "test_modbus.moc"
