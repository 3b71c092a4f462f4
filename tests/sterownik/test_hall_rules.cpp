#include "controller_config.h"
#include "hall_rules.h"

#include <QSet>
#include <QTest>

using namespace sterownik;

namespace {

// "1-5 20" → those lamps lit.
hall::LampsLit Lamps(const QString& text) {
    hall::LampsLit lamps{};
    for (const QString& word : text.split(' ', Qt::SkipEmptyParts)) {
        const QStringList range = word.split('-');
        for (int n = range.first().toInt(); n <= range.last().toInt(); ++n) lamps[n - 1] = true;
    }
    return lamps;
}

// Input 1 lights lamps 1-5, input 2 lamps 4-8 (they share 4 and 5), input 3
// has no file, input 4's cannot be read. Key A1 has scene 2 (lamps 20, 21,
// and 22 in the third state), A2 has "0". The delay is 0.05 minutes.
// `broken` names further inputs whose file cannot be read, 0 opoznienie.txt.
HallFiles Hall(const hall::LampsLit& lamps, const QSet<int>& broken) {
    HallFiles files;
    files.lamps = lamps;
    files.zones[0] = {ZoneFile::State::Read, Lamps("1-5")};
    files.zones[1] = {ZoneFile::State::Read, Lamps("4-8")};
    files.zones[3].state = ZoneFile::State::Unreadable;
    files.delay = DelayInForce({"0.05 minuty", hall::FileState::Read});
    files.keys.fields = {"2", "0"};
    files.scenes[1].complete = true;
    for (const int n : {20, 21}) files.scenes[1].boxes[n - 1] = 1;
    files.scenes[1].boxes[22 - 1] = 2;
    for (const int k : broken) {
        if (k == 0)
            files.delay = DelayInForce({"", hall::FileState::Unreadable});
        else
            files.zones[k - 1] = {ZoneFile::State::Unreadable, {}};
    }
    return files;
}

// "at:what": the event, arriving `at` milliseconds from the start.
Arrival EventOf(const QString& step) {
    const TimePoint at = TimePoint{} + std::chrono::milliseconds(step.section(':', 0, 0).toInt());
    const QString what = step.section(':', 1), arg = what.mid(1);
    switch (what[0].toLatin1()) {
        case 'K': return {KeyPress{hall::KeyIndex(arg.toStdString()).value()}, at, {}};
        case 'L': return {SetLamp{arg.chopped(1).toInt(), what.endsWith('+')}, at, {}};
        case 'C': return {SetScene{arg.toInt()}, at, {}};
        case 'W': return {AllOff{}, at, {}};
        case 'Z': return {Motion{arg.toInt(), true, true}, at, {}};
        case 'Y': return {Motion{arg.toInt(), false, true}, at, {}};
        default: return {Motion{arg.toInt(), what[0] == 'M'}, at, {}};
    }
}

}  // namespace

class TestHallRules : public QObject {
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
};

// Steps "at:what", at in milliseconds; steps joined by "," arrive together,
// as one group: M<k> motion on input k, N<k> no
// motion, K<key> a press, R the release check, S a start; commands: L<n>+
// and L<n>- lamp n on and off, C<s> scene s, W all off. Lamps carry over
// from step to step; the columns describe the last step.
void TestHallRules::rules_data() {
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("after");
    QTest::addColumn<bool>("writes");
    QTest::addColumn<QString>("held");
    QTest::addColumn<QString>("note");
    // clang-format off

    QTest::newRow("motion lights its zone, keeps lit lamps") << "30" << "0:M1" << "1-5 30" << true << "1" << "";
    QTest::newRow("two overlapping zones") << "" << "0:M1 10:M2" << "1-8" << true << "1 2" << "";
    QTest::newRow("release keeps what a held zone lights")
        << "30" << "0:M1 1000:M2 3000:R" << "4-8 30" << true << "2" << "";
    QTest::newRow("both released at once") << "" << "0:M1 0:M2 3000:R" << "" << true << "" << "";
    QTest::newRow("not released before the delay") << "" << "0:M1 2999:R" << "1-5" << false << "1" << "";
    QTest::newRow("no motion restarts the delay") << "" << "0:M1 2000:N1 4999:R" << "1-5" << false << "1" << "";
    QTest::newRow("released three seconds after no motion") << "" << "0:M1 2000:N1 5000:R" << "" << true << ""
                                                            << "";
    QTest::newRow("a second no motion restarts nothing")
        << "" << "0:M1 1000:N1 2000:N1 4000:R" << "" << true << "" << "";
    QTest::newRow("motion again restarts the delay") << "" << "0:M1 2000:M1 4999:R" << "1-5" << false << "1" << "";
    QTest::newRow("already lit: writes nothing") << "1-5" << "0:M1" << "1-5" << false << "1" << "";
    QTest::newRow("input without a file has no zone")
        << "" << "0:M3" << "" << false << "" << "czujnik 3: brak strefy";
    QTest::newRow("unreadable zone file switches nothing")
        << "" << "0:M4" << "" << false << "" << "nie można odczytać pliku ../sc4.txt";
    QTest::newRow("key: exactly its scene, zones stay held")
        << "1-5 50" << "0:M1 10:KA1" << "20 21" << true << "1" << "";
    QTest::newRow("key with scene 0 does nothing") << "50" << "0:KA2" << "50" << false << "" << "bez sceny";
    QTest::newRow("key without an assignment does nothing")
        << "50" << "0:KA3" << "50" << false << "" << "brak sceny";
    QTest::newRow("restart holds every zone with a file")
        << "1-8 30" << "0:S 2999:R" << "1-8 30" << false << "1 2" << "";
    QTest::newRow("restart releases them after the delay") << "1-8 30" << "0:S 3000:R" << "30" << true << "" << "";
    QTest::newRow("command: one lamp on, zone stays held") << "" << "0:M1 10:L108+" << "1-5 108" << true << "1" << "";
    QTest::newRow("command: lamp as it is, logged") << "30" << "0:L30+" << "30" << false << "" << "30: bez zmian";
    QTest::newRow("command: scene as a key") << "1-5 50" << "0:M1 10:C2" << "20 21" << true << "1" << "";
    QTest::newRow("command: unreadable scene") << "50" << "0:C5" << "50" << false << "" << "scena 5: nie można";
    QTest::newRow("command: all off") << "1-5 50" << "0:M1 10:W" << "" << true << "1" << "";
    // Faults: U<k> makes input k's file unreadable from then on, F<k> readable again; U0 opoznienie.txt.
    QTest::newRow("release waits while a zone file is unreadable")
        << "" << "0:M1 10:U1 3010:R" << "1-5" << false << "1" << "ponawiam";
    QTest::newRow("the waiting release retried every second")
        << "" << "0:M1 10:U1 3010:R 3500:F1 4009:R" << "1-5" << false << "1" << "";
    QTest::newRow("and carried out once the file is readable")
        << "" << "0:M1 10:U1 3010:R 3500:F1 4010:R" << "" << true << "" << "";
    QTest::newRow("unreadable delay: the default 15 minutes")
        << "" << "0:U0 10:M1 900009:R" << "1-5" << false << "1" << "";
    QTest::newRow("unreadable delay: released after 15 minutes") << "" << "0:U0 10:M1 900010:R" << "" << true << ""
        << "";
    // Groups: events joined by "," arrive together, and are read and carried out together.
    QTest::newRow("group: motion and its zone's release") << "" << "0:M1 3000:M2,3001:N2" << "4-8" << true << "2"
        << "";
    QTest::newRow("group: a key after motion") << "" << "0:M1,5:KA1" << "20 21" << true << "1" << "";
    QTest::newRow("group: two zones") << "30" << "0:M1,1:M2" << "1-8 30" << true << "1 2" << "";
    QTest::newRow("group: a release due before motion on its zone")
        << "" << "0:M1 3500:M1,3600:N1" << "1-5" << false << "1" << "";
    QTest::newRow("group: ends where it began, writes nothing") << "" << "0:M1,5:W" << "" << false << "1" << "";
    // Z<k> and Y<k>: a wired sensor's input k goes to 1 and to 0.
    QTest::newRow("wired sensor: held while its input is 1") << "" << "0:Z1 900000:R" << "1-5" << false << "1" << "";
    QTest::newRow("wired sensor: released the delay after 0") << "" << "0:Z1 5000:Y1 8000:R" << "" << true << "" << "";
    // clang-format on
}

void TestHallRules::rules() {
    QFETCH(QString, before);
    QFETCH(QString, steps);
    HallRules rules;
    hall::LampsLit lamps = Lamps(before);
    QSet<int> broken;
    Outcome last;
    for (const QString& step : steps.split(' ')) {
        const QChar what = step.section(':', 1)[0];
        const int arg = step.section(':', 1).mid(1).toInt();
        const TimePoint now = TimePoint{} + std::chrono::milliseconds(step.section(':', 0, 0).toInt());
        const HallFiles files = Hall(lamps, broken);
        if (what == 'S') {
            rules.start(files, now), last = {};
        } else if (what == 'U') {
            broken.insert(arg);
        } else if (what == 'F') {
            broken.remove(arg);
        } else if (what == 'R') {
            last = rules.apply({}, files, now);
        } else {
            std::vector<Arrival> group;
            for (const QString& event : step.split(',')) group.push_back(EventOf(event));
            last = rules.apply(group, files, group.back().at);
        }
        if (last.lamps) lamps = *last.lamps;
    }
    QFETCH(QString, after);
    QVERIFY2(lamps == Lamps(after), "lamps differ");
    QFETCH(bool, writes);
    QCOMPARE(last.lamps.has_value(), writes);
    QFETCH(QString, held);
    QString heldNow;
    for (int k = 1; k <= hall::kSensorCount; ++k)
        if (rules.held(k)) heldNow += (heldNow.isEmpty() ? "" : " ") + QString::number(k);
    QCOMPARE(heldNow, held);
    QFETCH(QString, note);
    QString notes;
    for (const LogLine& line : last.lines)
        if (!line.lit) notes += QString::fromStdString(line.text);
    QVERIFY2(note.isEmpty() ? notes.isEmpty() : notes.contains(note), qPrintable(notes));
}

QTEST_APPLESS_MAIN(TestHallRules)
#include "test_hall_rules.moc"
