#include "hall_fixture.h"
#include "lamp_state.h"
#include "setup.h"
#include "signals.h"
#include "test_modbus_device.h"
#include "wiring.h"

#include <QTest>

#include <pthread.h>
#include <signal.h>

#include <sstream>
#include <thread>

namespace {

constexpr int kWaitMs = 20000;

QByteArray Lit(int first, int last) {
    hall::LampStates states = hall::AllOffStates();
    for (int n = first; n <= last; ++n) states[n - 1] = hall::kStateOn;
    return QByteArray::fromStdString(hall::ComposeStateLine(states)) + "\r\n";
}

}  // namespace

// The controller's parts in this process, its loop on a thread of the test:
// the Modbus workers, the hub and the rules meet across threads while every
// reload rewires a module whose sensor comes and goes. `scripts/test tsan`
// runs it under ThreadSanitizer.
class TestThreads : public QObject {
    Q_OBJECT

private slots:
    void hubAndRulesThroughReloads();
};

void TestThreads::hubAndRulesThroughReloads() {
    TestModbusDevice szafa;
    QVERIFY(szafa.start());
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(TestHall::write(hall.rootFile("sc5.txt"), Lit(10, 18)));
    QVERIFY(TestHall::write(hall.workFile("opoznienie.txt"), "opoznienie=0.005&\r\n"));
    const QByteArray module = "modbus szafa 127.0.0.1:" + QByteArray::number(szafa.port()) + " odpytywanie ";
    const auto configure = [&](int poll) {
        return TestHall::write(
            hall.workFile("sterownik.conf"),
            "broker brak\n" + module + QByteArray::number(poll) + "\ncewki szafa 0 1-30\nwejscie szafa 5 czujnik 5\n");
    };
    QVERIFY(configure(5));
    hall::Result<sterownik::Setup> setup = sterownik::LoadSetup();
    QVERIFY(setup);
    std::ostringstream log;
    int status = -1;
    // The loop's thread inherits the mask, so that its signals wait for its signalfd.
    QVERIFY(sterownik::loop::BlockLoopSignals());
    std::thread loop([&] { status = sterownik::Wiring(std::move(*setup), log).run(); });
    const auto state = [&] { return TestHall::read(hall.rootFile("actual.txt")); };
    for (int i = 0; i < 10; ++i) {
        szafa.setInput(5, i % 2 == 0);
        QVERIFY(configure(5 + i % 3));
        QCOMPARE(::pthread_kill(loop.native_handle(), SIGHUP), 0);
        QTRY_COMPARE_WITH_TIMEOUT(state(), i % 2 == 0 ? Lit(10, 18) : Lit(0, -1), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(szafa.coil(9), i % 2 == 0, kWaitMs);
    }
    QCOMPARE(::pthread_kill(loop.native_handle(), SIGTERM), 0);
    loop.join();
    QCOMPARE(status, 0);
    QVERIFY2(log.str().find("wczytano ponownie") != std::string::npos, log.str().c_str());
}

QTEST_GUILESS_MAIN(TestThreads)
#include "test_threads.moc"
