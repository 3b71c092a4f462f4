#include "lamp_failures.h"
#include "lamp_watch.h"

#include <QTest>

using namespace sterownik;
using namespace std::chrono_literals;

namespace {

std::set<int> Lamps(const QString& list) {
    std::set<int> lamps;
    for (const QString& n : list.split(',', Qt::SkipEmptyParts)) lamps.insert(n.toInt());
    return lamps;
}

// Steps "MS WHAT ARGS" against failure bits of lamps 5, 1 and 20-37, in that
// order, and read-backs of lamps 1-4 (and 9, watched not): "bits" a read of
// the registers in hex, "echo" one of the lamps listed on, "lit" the lamps lit
// from then on, "settle", "next" the next deadline, "watch" the lamps watched.
QString Run(const QString& script) {
    hall::ModbusLampWatch bits, echo;
    bits.lamps = {5, 1};
    for (int n = 20; n <= 37; ++n) bits.lamps.push_back(n);
    echo.readBack = true;
    echo.lamps = {1, 2, 3, 4, 9};
    LampFailures failures;
    failures.watch({bits.lamps.begin(), bits.lamps.end()}, {1, 2, 3, 4});
    hall::LampsLit lit{};
    QStringList out;
    for (const QString& step : script.split(';')) {
        const QStringList w = step.split(' ', Qt::SkipEmptyParts);
        const TimePoint now = TimePoint{} + std::chrono::milliseconds(w[0].toInt());
        const std::set<int> listed = Lamps(w.value(2));
        std::vector<std::uint16_t> registers, inputs;
        for (const QString& word : w.mid(2)) registers.push_back(word.toUShort(nullptr, 16));
        for (const int lamp : echo.lamps) inputs.push_back(listed.contains(lamp));
        for (int lamp = 1; w[1] == "lit" && lamp <= hall::kLampCount; ++lamp) lit[lamp - 1] = listed.contains(lamp);
        const std::optional<TimePoint> next = failures.nextDeadline();
        if (w[1] == "next") out << "next=" + (next ? QString::number((*next - TimePoint{}) / 1ms) : "-");
        const std::vector<LampFailures::Change> changes =
            w[1] == "lit"      ? failures.lampsChanged(lit, now)
            : w[1] == "settle" ? failures.settle(now)
            : w[1] == "watch"  ? failures.watch(listed, Lamps(w.value(3)))
            : w[1] == "bits"   ? failures.read(WatchSignals(bits, registers), lit, now)
            : w[1] == "echo"   ? failures.read(WatchSignals(echo, inputs), lit, now)
                               : std::vector<LampFailures::Change>{};
        for (const LampFailures::Change& c : changes)
            out << w[0] + (c.failed ? "+" : "-") + QString::number(c.lamp) +
                       (c.kind == FailureKind::Reported ? "R" : "M") +
                       (c.failed && !failures.failed(c.lamp) ? "?" : "");
    }
    return out.join(' ');
}

// A row's script, and the changes it makes after "=>".
void CompareRun() {
    QFETCH(QString, script);
    QCOMPARE(Run(script.section(" => ", 0, 0)), script.section(" => ", 1));
}

}  // namespace

class TestLampFailures : public QObject {
    Q_OBJECT

private slots:
    void failureBits_data();
    void failureBits() { CompareRun(); }
    void readBack_data();
    void readBack() { CompareRun(); }
};

void TestLampFailures::failureBits_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("bit 0: the first lamp listed, bit 15: the 16th; once")
        << "0 bits 8001 0; 1000 bits 8001 0 => 0+5R 0+33R";
    QTest::newRow("the 17th: bit 0 of the next; bits past the lamps") << "0 bits 0 fff1 => 0+34R";
    QTest::newRow("cleared: clears once")
        << "0 bits 2 0; 1000 bits 0 0; 2000 bits 0 0; 3000 bits 2 0 => 0+1R 1000-1R 3000+1R";
    QTest::newRow("no longer watched") << "0 bits 2 0; 1000 watch 5 1,2,3,4; 2000 bits 2 0 => 0+1R 1000-1R";
}

// Read-backs at 1 s intervals unless a row says otherwise; no lamp lit at first.
void TestLampFailures::readBack_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("under 2 s: nothing; at 2 s: a failure, once; agrees: cleared, once")
        << "0 echo 2; 0 next; 1000 echo 2; 1999 settle; 2000 echo 2; 3000 echo 2; 3000 settle; 4000 echo; 5000 echo => "
           "next=2000 2000+2M 4000-2M";
    QTest::newRow("switched on, the contact follows")
        << "0 echo; 500 lit 2; 1000 echo; 2000 echo 2; 2500 settle; 3000 next => next=-";
    QTest::newRow("switched on, it never follows") << "0 echo; 500 lit 2; 1000 echo; 2000 echo; 2500 settle => 2500+2M";
    QTest::newRow("the lamp comes to agree") << "0 echo 2; 2000 echo 2; 2500 lit 2 => 2000+2M 2500-2M";
    QTest::newRow("a difference anew") << "0 echo 2; 1000 echo; 1500 echo 2; 3499 settle; 3500 settle => 3500+2M";
    QTest::newRow("no reading yet") << "0 lit 2; 3000 settle => ";
    QTest::newRow("not watched, or no longer") << "0 echo 4,9; 2000 echo 4,9; 2500 watch 1 1,2,3 => 2000+4M 2500-4M";
    QTest::newRow("a failure bit apart")
        << "0 echo 1; 0 bits 2 0; 2000 echo 1; 3000 bits 0 0; 4000 echo => 0+1R 2000+1M 3000-1R 4000-1M";
}

QTEST_APPLESS_MAIN(TestLampFailures)
#include "test_lamp_failures.moc"
