#include "lamp_counts.h"

#include <QTest>

using namespace sterownik::ledger;
using namespace std::chrono;

namespace {

// The hall an hour ahead of UTC: its days begin at 23:00 UTC.
class OneHourAhead : public Calendar {
public:
    LocalDay dayOf(WallTime at) const override { return LocalDay(floor<days>(at + 1h).time_since_epoch()); }
    WallTime nextDay(WallTime at) const override { return floor<days>(at + 1h) + days(1) - 1h; }
};

hall::LampsLit Lamps(const QString& list) {
    hall::LampsLit lamps{};
    if (list != "-")
        for (const QString& n : list.split(',')) lamps[n.toInt() - 1] = true;
    return lamps;
}

}  // namespace

class TestLampCounts : public QObject {
    Q_OBJECT

private slots:
    void counting_data();
    void counting();
    void saturation();
};

// "S@t:L" starts a new ledger, "R@t:L" restarts after what it last saw, "O@t:L"
// reads the lamps, "P@t:W" gives every lamp W watts; t in seconds from
// 2026-12-09 00:00 UTC, L the lamps lit. What lamp 1 gained, day by day.
void TestLampCounts::counting_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("litPerDay");
    QTest::addColumn<int>("switchOns");
    QTest::addColumn<qint64>("microjoules");
    QTest::addColumn<qint64>("gapMs");
    QTest::newRow("ten minutes at 58 W") << "P@0:58 S@0:- O@0:1 O@600:-"
                                         << "600000" << 1 << 34'800'000'000LL << 0LL;
    QTest::newRow("lit at a new ledger's start: no switch-on") << "S@0:1 O@10:-"
                                                               << "10000" << 0 << 0LL << 0LL;
    QTest::newRow("two switch-ons") << "S@0:- O@10:1 O@20:- O@30:1 O@40:-"
                                    << "20000" << 2 << 0LL << 0LL;
    QTest::newRow("across local midnight") << "S@82200:1 O@83400:-"
                                           << "600000 600000" << 0 << 0LL << 0LL;
    QTest::newRow("a gap is neither lit nor dark") << "S@0:1 O@100:1 R@1000:1 O@1100:-"
                                                   << "200000" << 0 << 0LL << 900'000LL;
    QTest::newRow("dark before a gap, lit after") << "S@0:- R@1000:1 O@1100:-"
                                                  << "100000" << 1 << 0LL << 1'000'000LL;
    QTest::newRow("clock set back counts nothing") << "S@1000:1 O@500:1 O@600:-"
                                                   << "100000" << 0 << 0LL << 0LL;
    QTest::newRow("power changed by a reload") << "P@0:58 S@0:1 P@300:100 O@600:-"
                                               << "600000" << 0 << 47'400'000'000LL << 0LL;
    QTest::newRow("no rated power: hours, no energy") << "S@0:1 P@0:0 O@60:-"
                                                      << "60000" << 0 << 0LL << 0LL;
}

void TestLampCounts::counting() {
    QFETCH(QString, script);
    const OneHourAhead calendar;
    LampCounts counts(calendar);
    const WallTime base = sys_days(2026y / December / 9);
    for (const QString& step : script.split(' ')) {
        const WallTime at = base + seconds(step.section('@', 1).section(':', 0, 0).toInt());
        const QString what = step.section(':', 1);
        if (step[0] == 'P') {
            Powers watts;
            watts.fill(what.toDouble());
            counts.setPowers(watts, at);
        }
        if (step[0] == 'S') counts.start(Lamps(what), at, std::nullopt);
        if (step[0] == 'R') counts.start(Lamps(what), at, counts.last());
        if (step[0] == 'O') counts.observe(Lamps(what), at);
    }
    QStringList litPerDay;
    LampFigures total;
    qint64 gap = 0;
    for (const auto& [day, figures] : counts.take()) {
        if (figures.lamps[0].litMs > 0) litPerDay << QString::number(figures.lamps[0].litMs);
        total.add(figures.lamps[0]);
        gap += figures.gapMs;
    }
    QTEST(litPerDay.join(' '), "litPerDay");
    QTEST(int(total.switchOns), "switchOns");
    QTEST(qint64(total.energyMicrojoules), "microjoules");
    QTEST(gap, "gapMs");
}

// A counter at its largest value stays there, as DALI-2 gear's counters do.
void TestLampCounts::saturation() {
    LampFigures figures{kCounterLimit - 5, kCounterLimit, 0};
    figures.add({10, 1, kCounterLimit});
    figures.add({1, 1, 1});
    QCOMPARE(figures, (LampFigures{kCounterLimit, kCounterLimit, kCounterLimit}));
}

QTEST_APPLESS_MAIN(TestLampCounts)
#include "test_lamp_counts.moc"
