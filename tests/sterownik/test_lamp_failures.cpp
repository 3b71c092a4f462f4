#include "lamp_failures.h"
#include "lamp_watch.h"

#include <QTest>

using namespace sterownik;

namespace {

std::set<int> Lamps(const QString& list) {
    std::set<int> lamps;
    for (const QString& item : list.split(',', Qt::SkipEmptyParts))
        for (int n = item.section('-', 0, 0).toInt(); n <= item.section('-', -1).toInt(); ++n) lamps.insert(n);
    return lamps;
}

// Runs a script of steps "MS WHAT [LAMPS] [LAMPS]" against failures watched
// as failure bits and read-backs of lamps 1-4; lamp 9 is in every reading,
// and watched by neither. WHAT: "bits"/"echo" a read of the lamps listed set,
// "lit" the lamps lit from then on, "settle", "next" the next deadline,
// "watch" reported and read-back lamps. Gives "MS:+3R MS:-2M next=2000 ...".
QString Run(const QString& script) {
    LampFailures failures;
    failures.watch(Lamps("1-4"), Lamps("1-4"));
    hall::LampsLit lit{};
    QStringList out;
    for (const QString& step : script.split(';', Qt::SkipEmptyParts)) {
        const QStringList w = step.split(' ', Qt::SkipEmptyParts);
        const TimePoint now = TimePoint{} + std::chrono::milliseconds(w[0].toInt());
        const std::set<int> listed = Lamps(w.value(2));
        std::vector<LampFailures::Change> changes;
        std::vector<LampSignal> readings;
        for (const int lamp : {1, 2, 3, 4, 9}) readings.push_back({lamp, w[1] == "echo", listed.contains(lamp)});
        if (w[1] == "bits" || w[1] == "echo") changes = failures.read(readings, lit, now);
        if (w[1] == "lit") {
            lit = {};
            for (const int lamp : listed) lit[lamp - 1] = true;
            changes = failures.lampsChanged(lit, now);
        }
        if (w[1] == "settle") changes = failures.settle(now);
        if (w[1] == "watch") changes = failures.watch(listed, Lamps(w.value(3)));
        if (w[1] == "next") {
            const std::optional<TimePoint> next = failures.nextDeadline();
            out << "next=" + (next ? QString::number((*next - TimePoint{}) / std::chrono::milliseconds(1)) : "-");
        }
        for (const LampFailures::Change& c : changes) {
            if (c.failed && !failures.failed(c.lamp)) out << "not kept";
            out << w[0] + ":" + (c.failed ? "+" : "-") + QString::number(c.lamp) +
                       (c.kind == FailureKind::Reported ? "R" : "M");
        }
    }
    return out.join(' ');
}

}  // namespace

class TestLampFailures : public QObject {
    Q_OBJECT

private slots:
    void watchSignals_data();
    void watchSignals();
    void failureBits_data();
    void failureBits();
    void readBack_data();
    void readBack();
};

// Lamps 5, 1 and 20-37, as read; the lamps whose bit or input is 1.
void TestLampFailures::watchSignals_data() {
    QTest::addColumn<bool>("readBack");
    QTest::addColumn<QList<int>>("read");
    QTest::addColumn<QString>("lamps");
    QTest::newRow("bit 0 is the first lamp listed") << false << QList<int>{0x0001, 0} << "5";
    QTest::newRow("bit 15 the sixteenth") << false << QList<int>{0x8002, 0} << "1,33";
    QTest::newRow("the seventeenth: bit 0 of the next register") << false << QList<int>{0, 0x0003} << "34,35";
    QTest::newRow("the last lamp") << false << QList<int>{0, 0x0008} << "37";
    QTest::newRow("bits past the lamps ignored") << false << QList<int>{0, 0xfff0, 0xffff} << "";
    QTest::newRow("a short read: lamps left out") << false << QList<int>{0xffff} << "5,1,20-33";
    QTest::newRow("read-back: one input a lamp") << true << QList<int>(19, 0) + QList<int>{1, 1} << "37";
}

void TestLampFailures::watchSignals() {
    QFETCH(bool, readBack);
    QFETCH(QList<int>, read);
    hall::ModbusLampWatch watch;
    watch.readBack = readBack;
    watch.lamps = {5, 1};
    for (int n = 20; n <= 37; ++n) watch.lamps.push_back(n);
    const std::vector<LampSignal> got = WatchSignals(watch, std::vector<std::uint16_t>(read.begin(), read.end()));
    std::set<int> set;
    for (std::size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].lamp, watch.lamps[i]);
        QCOMPARE(got[i].readBack, readBack);
        if (got[i].value) set.insert(got[i].lamp);
    }
    QCOMPARE(got.size(), std::min(watch.lamps.size(), std::size_t(read.size()) * (readBack ? 1 : 16)));
    QFETCH(QString, lamps);
    QCOMPARE(set, Lamps(lamps));
}

// Failure bits of lamps 1-4; a reading gives every lamp's bit.
void TestLampFailures::failureBits_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("changes");
    QTest::newRow("set: appears once") << "0 bits 3; 1000 bits 3; 2000 bits 3"
                                       << "0:+3R";
    QTest::newRow("cleared: clears once") << "0 bits 3,4; 1000 bits 4; 2000 bits 4"
                                          << "0:+3R 0:+4R 1000:-3R";
    QTest::newRow("set again after clearing") << "0 bits 1; 1000 bits; 2000 bits 1"
                                              << "0:+1R 1000:-1R 2000:+1R";
    QTest::newRow("a lamp not watched ignored") << "0 bits 9; 1000 bits"
                                                << "";
    QTest::newRow("no longer watched: clears, then ignored") << "0 bits 2; 1000 watch 1 1-4; 2000 bits; 3000 bits 2"
                                                             << "0:+2R 1000:-2R";
    QTest::newRow("not a read-back: the lamps' state counts not") << "0 lit 1-4; 0 bits 1; 5000 settle"
                                                                  << "0:+1R";
}

void TestLampFailures::failureBits() {
    QFETCH(QString, script);
    QFETCH(QString, changes);
    QCOMPARE(Run(script), changes);
}

// Read-backs of lamps 1-4, at 1 s intervals unless a row says otherwise; no lamp lit at first.
void TestLampFailures::readBack_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("changes");
    QTest::newRow("agrees: nothing") << "0 echo; 1000 echo; 0 lit 2; 2000 echo 2; 5000 settle"
                                     << "";
    QTest::newRow("differs under 2 s: nothing") << "0 echo 2; 1000 echo 2; 1999 settle"
                                                << "";
    QTest::newRow("differs 2 s: a failure, once") << "0 echo 2; 1000 echo 2; 2000 echo 2; 3000 echo 2; 3000 settle"
                                                  << "2000:+2M";
    QTest::newRow("the deadline between reads") << "0 echo 2; 0 next; 1000 echo 2; 1999 settle; 2000 settle; 2000 next"
                                                << "next=2000 2000:+2M next=-";
    QTest::newRow("agrees again: clears once") << "0 echo 2; 2000 echo 2; 3000 echo; 4000 echo"
                                               << "2000:+2M 3000:-2M";
    QTest::newRow("switched on, the contact follows within 2 s")
        << "0 echo; 500 lit 2; 1000 echo; 2000 echo 2; 2500 settle; 3000 echo 2; 3000 next"
        << "next=-";
    QTest::newRow("switched on, the contact never follows")
        << "0 echo; 500 lit 2; 500 next; 1000 echo; 2000 echo; 2500 settle; 3000 echo"
        << "next=2500 2500:+2M";
    QTest::newRow("switched off, the contact stuck") << "0 lit 3; 0 echo 3; 1000 lit; 2000 echo 3; 3000 echo 3"
                                                     << "3000:+3M";
    QTest::newRow("the lamp state comes to agree: clears") << "0 echo 2; 2000 echo 2; 2500 lit 2"
                                                           << "2000:+2M 2500:-2M";
    QTest::newRow("a difference that stopped counts anew")
        << "0 echo 2; 1000 echo; 1500 echo 2; 2500 echo 2; 3499 settle; 3500 settle"
        << "3500:+2M";
    QTest::newRow("no reading yet: a lamp change starts nothing") << "0 lit 2; 3000 settle; 3000 next"
                                                                  << "next=-";
    QTest::newRow("a lamp not watched ignored") << "0 echo 9; 1000 echo 9; 2000 echo 9; 3000 settle"
                                                << "";
    QTest::newRow("no longer watched: clears") << "0 echo 4; 2000 echo 4; 2500 watch 1-4 1-3; 5000 echo 4"
                                               << "2000:+4M 2500:-4M";
    QTest::newRow("a failure bit and a read-back apart") << "0 echo 1; 0 bits 1; 2000 echo 1; 3000 bits; 4000 echo"
                                                         << "0:+1R 2000:+1M 3000:-1R 4000:-1M";
}

void TestLampFailures::readBack() {
    QFETCH(QString, script);
    QFETCH(QString, changes);
    QCOMPARE(Run(script), changes);
}

QTEST_APPLESS_MAIN(TestLampFailures)
#include "test_lamp_failures.moc"
