#include "controller_config.h"
#include "hall_rules.h"

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
HallFiles Hall(const hall::LampsLit& lamps) {
    HallFiles files;
    files.lamps = lamps;
    files.zones[0] = {ZoneFile::State::Read, Lamps("1-5")};
    files.zones[1] = {ZoneFile::State::Read, Lamps("4-8")};
    files.zones[3].state = ZoneFile::State::Unreadable;
    files.delay = DelayOf("0.05 minuty");
    files.keys.fields = {"2", "0"};
    files.scenes[1].complete = true;
    for (const int n : {20, 21}) files.scenes[1].boxes[n - 1] = 1;
    files.scenes[1].boxes[22 - 1] = 2;
    return files;
}

}  // namespace

class TestHallRules : public QObject {
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
};

// Steps "at:what", at in milliseconds: M<k> motion on input k, N<k> no
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

    QTest::newRow("motion lights its zone, keeps lit lamps") << "30"
                                                             << "0:M1"
                                                             << "1-5 30" << true << "1"
                                                             << "";
    QTest::newRow("two overlapping zones") << ""
                                           << "0:M1 10:M2"
                                           << "1-8" << true << "1 2"
                                           << "";
    QTest::newRow("release keeps what a held zone lights") << "30"
                                                           << "0:M1 1000:M2 3000:R"
                                                           << "4-8 30" << true << "2"
                                                           << "";
    QTest::newRow("both released at once") << ""
                                           << "0:M1 0:M2 3000:R"
                                           << "" << true << ""
                                           << "";
    QTest::newRow("not released before the delay") << ""
                                                   << "0:M1 2999:R"
                                                   << "1-5" << false << "1"
                                                   << "";
    QTest::newRow("no motion restarts the delay") << ""
                                                  << "0:M1 2000:N1 4999:R"
                                                  << "1-5" << false << "1"
                                                  << "";
    QTest::newRow("released three seconds after no motion") << ""
                                                            << "0:M1 2000:N1 5000:R"
                                                            << "" << true << ""
                                                            << "";
    QTest::newRow("a second no motion restarts nothing") << ""
                                                         << "0:M1 1000:N1 2000:N1 4000:R"
                                                         << "" << true << ""
                                                         << "";
    QTest::newRow("motion again restarts the delay") << ""
                                                     << "0:M1 2000:M1 4999:R"
                                                     << "1-5" << false << "1"
                                                     << "";
    QTest::newRow("already lit: writes nothing") << "1-5"
                                                 << "0:M1"
                                                 << "1-5" << false << "1"
                                                 << "";
    QTest::newRow("input without a file has no zone") << ""
                                                      << "0:M3"
                                                      << "" << false << ""
                                                      << "czujnik 3: brak strefy";
    QTest::newRow("unreadable zone file switches nothing") << ""
                                                           << "0:M4"
                                                           << "" << false << ""
                                                           << "nie można odczytać pliku ../sc4.txt";
    QTest::newRow("key: exactly its scene, zones stay held") << "1-5 50"
                                                             << "0:M1 10:KA1"
                                                             << "20 21" << true << "1"
                                                             << "";
    QTest::newRow("key with scene 0 does nothing") << "50"
                                                   << "0:KA2"
                                                   << "50" << false << ""
                                                   << "bez sceny";
    QTest::newRow("key without an assignment does nothing") << "50"
                                                            << "0:KA3"
                                                            << "50" << false << ""
                                                            << "brak sceny";
    QTest::newRow("restart holds every zone with a file") << "1-8 30"
                                                          << "0:S 2999:R"
                                                          << "1-8 30" << false << "1 2"
                                                          << "";
    QTest::newRow("restart releases them after the delay") << "1-8 30"
                                                           << "0:S 3000:R"
                                                           << "30" << true << ""
                                                           << "";
    QTest::newRow("command: one lamp on, zone stays held") << ""
                                                           << "0:M1 10:L108+"
                                                           << "1-5 108" << true << "1"
                                                           << "";
    QTest::newRow("command: lamp as it is, logged") << "30"
                                                    << "0:L30+"
                                                    << "30" << false << ""
                                                    << "30: bez zmian";
    QTest::newRow("command: scene as a key") << "1-5 50"
                                             << "0:M1 10:C2"
                                             << "20 21" << true << "1"
                                             << "";
    QTest::newRow("command: unreadable scene") << "50"
                                               << "0:C5"
                                               << "50" << false << ""
                                               << "scena 5: nie można";
    QTest::newRow("command: all off") << "1-5 50"
                                      << "0:M1 10:W"
                                      << "" << true << "1"
                                      << "";
}

void TestHallRules::rules() {
    QFETCH(QString, before);
    QFETCH(QString, steps);
    HallRules rules;
    hall::LampsLit lamps = Lamps(before);
    const TimePoint origin{};
    Outcome last;
    for (const QString& step : steps.split(' ')) {
        const QStringList parts = step.split(':');
        const TimePoint now = origin + std::chrono::milliseconds(parts[0].toInt());
        const QString what = parts[1], arg = what.mid(1);
        const HallFiles files = Hall(lamps);
        switch (what[0].toLatin1()) {
            case 'S': rules.start(files, now), last = {}; break;
            case 'R': last = rules.release(files, now); break;
            case 'K': last = rules.handle(KeyPress{hall::KeyIndex(arg.toStdString())}, files, now); break;
            case 'L': last = rules.handle(SetLamp{arg.chopped(1).toInt(), what.endsWith('+')}, files, now); break;
            case 'C': last = rules.handle(SetScene{arg.toInt()}, files, now); break;
            case 'W': last = rules.handle(AllOff{}, files, now); break;
            default: last = rules.handle(Motion{arg.toInt(), what[0] == 'M'}, files, now);
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
    const QString notes = QString::fromStdString(last.notes.empty() ? std::string() : last.notes.front());
    QVERIFY2(note.isEmpty() ? notes.isEmpty() : notes.contains(note), qPrintable(notes));
}

QTEST_APPLESS_MAIN(TestHallRules)
#include "test_hall_rules.moc"
