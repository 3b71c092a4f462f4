#include "hall_fixture.h"
#include "lamp_state.h"
#include "ledger_file.h"
#include "report.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>

#include <signal.h>

using namespace sterownik::ledger;
using namespace std::chrono;

namespace {

constexpr int kWaitMs = 30000;

hall::LocalDay Day(int d) { return hall::LocalDay(2026y / December / d); }
hall::WallTime At(int hour) { return hall::WallTime(sys_days(2026y / December / 9) + hours(hour)); }

QByteArray Lit(const QList<int>& lamps) {
    hall::LampStates states = hall::AllOffStates();
    for (const int n : lamps) states[n - 1] = hall::kStateOn;
    return QByteArray::fromStdString(hall::ComposeStateLine(states)) + "\r\n";
}

// Every lamp lit for ten minutes at 58 W, on the 9th.
hall::LedgerBatch TenMinutesAt58W() {
    hall::LedgerBatch batch;
    hall::DayFigures& day = batch.days[Day(9)];
    day.lamps.fill({600'000, 1, 58'000 * 600'000LL});
    batch.last = {At(12), {}};
    return batch;
}

// A ledger's lamp figures summed: what may never go lower.
QList<qint64> Totals(const QString& file) {
    hall::Result<hall::LedgerFile> ledger = hall::LedgerFile::Open(file.toStdString(), hall::LedgerFile::Access::Read);
    if (!ledger) return {};
    const hall::Result<hall::LampTotals> totals = ledger->totals();
    if (!totals) return {};
    QList<qint64> list;
    for (const hall::LampFigures& lamp : *totals) list << lamp.litMs << lamp.switchOns << lamp.energyMicrojoules;
    return list;
}

bool NotLower(const QList<qint64>& now, const QList<qint64>& before) {
    // Killed before its first commit, a controller leaves no file to read.
    if (now.isEmpty()) return before.isEmpty();
    if (!before.isEmpty() && now.size() != before.size()) return false;
    for (qsizetype i = 0; i < before.size(); ++i)
        if (now[i] < before[i]) return false;
    return true;
}

QByteArray IntegrityCheck(const QString& file) {
    QProcess sqlite;
    sqlite.start("sqlite3", {"-readonly", file, "PRAGMA integrity_check"});
    sqlite.waitForFinished(kWaitMs);
    return sqlite.readAllStandardOutput().trimmed();
}

}  // namespace

class TestLedger : public QObject {
    Q_OBJECT

private slots:
    void reportArguments_data();
    void reportArguments();
    void tenMinutesReported();
    void countersStopAtTheirLargest();
    void damagedFileMovedAside();
    void survivesFaults_data();
    void survivesFaults();
};

// Each row: the arguments after "raport", and the options or the error's words.
void TestLedger::reportArguments_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("none: all of the ledger, a table") << QStringList{} << "- - 0 0 -";
    QTest::newRow("a range, per day, as CSV")
        << QStringList{"--od", "2026-12-01", "--do", "2026-12-09", "--dni", "--csv"} << "2026-12-01 2026-12-09 1 1 -";
    QTest::newRow("another ledger") << QStringList{"--dziennik", "/tmp/inny.sqlite"} << "- - 0 0 /tmp/inny.sqlite";
    QTest::newRow("one day") << QStringList{"--od", "2026-12-09", "--do", "2026-12-09"}
                             << "2026-12-09 2026-12-09 0 0 -";
    QTest::newRow("unknown") << QStringList{"--pdf"} << "nieznany argument: --pdf";
    QTest::newRow("no value") << QStringList{"--od"} << "brak wartości po --od";
    QTest::newRow("not a date") << QStringList{"--do", "9.12.2026"} << "zła data po --do";
    QTest::newRow("no such day") << QStringList{"--od", "2026-02-30"} << "zła data po --od";
    QTest::newRow("ends before it begins")
        << QStringList{"--od", "2026-12-09", "--do", "2026-12-01"} << "data --od późniejsza niż --do";
    QTest::newRow("empty ledger name") << QStringList{"--dziennik", ""} << "pusta nazwa pliku";
}

void TestLedger::reportArguments() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    std::vector<std::string> words;
    for (const QString& a : arguments) words.push_back(a.toStdString());
    const hall::Result<ReportOptions> options = ParseReportArguments({words.begin(), words.end()});
    if (!options) {
        QVERIFY2(QString::fromStdString(options.error()).startsWith(expected), options.error().c_str());
        return;
    }
    const auto day = [](const std::optional<hall::LocalDay>& d) { return d ? hall::DayText(*d) : std::string("-"); };
    const std::string got = day(options->range.from) + " " + day(options->range.to) + " " +
                            std::to_string(options->days) + " " + std::to_string(options->csv) + " " +
                            (options->ledger ? options->ledger->string() : "-");
    QCOMPARE(QString::fromStdString(got), expected);
}

// 108 lamps at 58 W for ten minutes: 1.044 kWh, and 0.1667 h and 0.0097 kWh a lamp.
void TestLedger::tenMinutesReported() {
    TestHall hall;
    const QString file = hall.workFile("dziennik.sqlite");
    {
        hall::Result<hall::LedgerFile> ledger =
            hall::LedgerFile::Open(file.toStdString(), hall::LedgerFile::Access::Write);
        QVERIFY(ledger);
        QVERIFY(ledger->commit(TenMinutesAt58W()));
        hall::LedgerBatch failure{{}, {At(13), {}}, {}, {{7, "zgłoszona przez moduł", At(12), std::nullopt}}};
        QVERIFY(ledger->commit(failure));
    }
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"), "broker brak\nzywotnosc 1 1-10\n"));
    std::ostringstream out, errors;
    QCOMPARE(RunReport({"--csv", "--od", "2026-12-09"}, out, errors), 0);
    const QStringList rows = QString::fromStdString(out.str()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 109);
    QCOMPARE(rows[0], "lampa,godziny,wlaczenia,kwh,zywotnosc_proc,awarie");
    QCOMPARE(rows[1], "1,0.1667,1,0.0097,17,0");
    QCOMPARE(rows[7], "7,0.1667,1,0.0097,17,1");
    QCOMPARE(rows[108], "108,0.1667,1,0.0097,,0");
    std::ostringstream days;
    QCOMPARE(RunReport({"--csv", "--dni"}, days, errors), 0);
    QCOMPARE(QString::fromStdString(days.str()), "data,kwh,godziny,luka_min\n2026-12-09,1.0440,18.0000,0\n");
    std::ostringstream none;
    QCOMPARE(RunReport({"--csv", "--do", "2026-12-08"}, none, errors), 0);
    QVERIFY(QString::fromStdString(none.str()).contains("\n1,0.0000,0,0.0000,17,0\n"));
    QCOMPARE(RunReport({"--dziennik", "brak.sqlite"}, none, errors), 2);
    QVERIFY(errors.str().starts_with("sterownik raport: nie można odczytać dziennika brak.sqlite"));
}

void TestLedger::countersStopAtTheirLargest() {
    TestHall hall;
    hall::Result<hall::LedgerFile> ledger =
        hall::LedgerFile::Open(hall.workFile("dziennik.sqlite").toStdString(), hall::LedgerFile::Access::Write);
    QVERIFY(ledger);
    hall::LedgerBatch huge;
    huge.days[Day(9)].lamps[0] = {hall::kCounterLimit - 5, 1, 0};
    QVERIFY(ledger->commit(huge));
    QVERIFY(ledger->commit(huge));
    QCOMPARE(ledger->totals()->at(0), (hall::LampFigures{hall::kCounterLimit, 2, 0}));
    QCOMPARE(ledger->lampFigures({})->at(0).litMs, hall::kCounterLimit);
}

// Not a database: moved aside whole, and a new ledger begun in its place.
void TestLedger::damagedFileMovedAside() {
    TestHall hall;
    const QString file = hall.workFile("dziennik.sqlite");
    QVERIFY(TestHall::write(file, QByteArray(8192, 'x')));
    const std::string path = file.toStdString();
    QVERIFY(!hall::LedgerFile::Open(path, hall::LedgerFile::Access::Read));
    std::filesystem::path aside;
    QVERIFY(hall::LedgerFile::Open(path, hall::LedgerFile::Access::Write, &aside));
    QVERIFY2(aside.filename().string().starts_with("dziennik.sqlite.uszkodzony-"), aside.c_str());
    QCOMPARE(TestHall::read(QString::fromStdString(aside.string())), QByteArray(8192, 'x'));
    QCOMPARE(IntegrityCheck(file), "ok");
}

// The controller killed at any moment while the hall switches: after every
// start its totals are never lower, and the file is sound. A damaged ledger
// and a full disk as rows.
void TestLedger::survivesFaults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("logged");
    QTest::newRow("killed 20 times") << "" << QByteArray();
    QTest::newRow("damaged file") << "damaged" << QByteArray("dziennik.sqlite uszkodzony: odsunięty jako ");
    QTest::newRow("full disk") << "full" << QByteArray("database or disk is full; ponawiam");
}

void TestLedger::survivesFaults() {
    QFETCH(QString, fault);
    QFETCH(QByteArray, logged);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    const QString disk = hall.workFile("dysk");
    QVERIFY(QDir().mkpath(disk));
    const QString file = fault == "full" ? disk + "/dziennik.sqlite" : hall.workFile("dziennik.sqlite");
    QVERIFY(TestHall::write(hall.workFile("sterownik.conf"),
                            "broker brak\nmoc 1-108 58\ndziennik " + file.toUtf8() + "\n"));
    if (fault == "damaged") QVERIFY(TestHall::write(file, QByteArray(4096, 'x')));
    QList<qint64> before;
    const int runs = fault.isEmpty() ? 20 : 3;
    for (int run = 0; run < runs; ++run) {
        QProcess controller;
        controller.setWorkingDirectory(hall.workPath());
        controller.setProcessChannelMode(QProcess::MergedChannels);
        // A small disk of its own, filled to the last byte, in a mount namespace of the controller's.
        if (fault == "full" && run == 0)
            controller.start("unshare", {"--mount", "--propagation", "private", "sh", "-c",
                                         "mount -t tmpfs -o size=128k tmpfs \"$0\" && "
                                         "{ cat /dev/zero > \"$0/zapchaj\" 2>/dev/null; exec \"$1\"; }",
                                         disk, STEROWNIK_PATH});
        else
            controller.start(STEROWNIK_PATH, {});
        QVERIFY(controller.waitForStarted(kWaitMs));
        QByteArray log;
        const auto saw = [&](const QByteArray& text) { return (log += controller.readAll()).contains(text); };
        QTRY_VERIFY2_WITH_TIMEOUT(saw("sterownik hali"), log.constData(), kWaitMs);
        if (run == 0 && !logged.isEmpty()) QTRY_VERIFY2_WITH_TIMEOUT(saw(logged), log.constData(), kWaitMs);
        if (fault == "full" && run == 0) {
            QVERIFY(QFile::remove(QString("/proc/%1/root%2/zapchaj").arg(controller.processId()).arg(disk)));
            QTRY_VERIFY2_WITH_TIMEOUT(saw("zapisany ponownie"), log.constData(), kWaitMs);
        }
        for (int s = 0; s < 3; ++s) {
            QVERIFY(
                TestHall::write(hall.rootFile("actual.txt"), Lit(s % 2 ? QList<int>{} : QList<int>{1, 2, 3, run + 4})));
            QTest::qWait(QRandomGenerator::global()->bounded(200));
        }
        // A clean stop now and then commits the lit time; a SIGKILL anywhere, at a commit too.
        if (run % 4 == 3) {
            controller.terminate();
        } else {
            QTest::qWait(QRandomGenerator::global()->bounded(300));
            controller.kill();
        }
        QVERIFY(controller.waitForFinished(kWaitMs));
        if (fault == "full") continue;  // the file went with the controller's disk
        const QList<qint64> now = Totals(file);
        QVERIFY2(NotLower(now, before), qPrintable(QString("start %1").arg(run + 1)));
        QCOMPARE(IntegrityCheck(file), "ok");
        before = now;
    }
    if (fault.isEmpty()) QVERIFY2(before.size() == 3 * 108 && before[0] > 0, "the clean stops committed lit time");
}

QTEST_GUILESS_MAIN(TestLedger)
#include "test_ledger.moc"
