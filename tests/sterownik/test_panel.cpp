#include "account_file.h"
#include "login_check.h"
#include "panel_access.h"
#include "panel_messages.h"
#include "panel_sessions.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

using namespace sterownik;
using namespace sterownik::panel;
using namespace std::chrono_literals;

namespace {

const WallTime kMorning{std::chrono::milliseconds(1'765'270'800'000)};
const std::string kToken = "0123456789abcdef0123456789abcdef";

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

}  // namespace

class TestPanel : public QObject {
    Q_OBJECT

private slots:
    // Steps in minutes after a login: "seen M" asks for the session at M,
    // "close"; the row gives what each step answers and whether a save is due.
    void sessionsEndWhenIdle_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("answers");
        QTest::newRow("seen within 12 h") << "seen 719"
                                          << "jan";
        QTest::newRow("idle 12 h and a minute") << "seen 721"
                                                << "-";
        QTest::newRow("each request restarts the 12 h") << "seen 700;seen 1400;seen 2100"
                                                        << "jan jan jan";
        QTest::newRow("closed") << "close;seen 1"
                                << "-";
    }
    void sessionsEndWhenIdle() {
        QFETCH(QString, steps);
        QFETCH(QString, answers);
        Sessions sessions;
        sessions.open(kToken, "jan", kMorning);
        QStringList out;
        for (const QString& step : steps.split(';')) {
            if (step == "close") {
                sessions.close(kToken);
                continue;
            }
            const auto user = sessions.user(kToken, kMorning + std::chrono::minutes(step.section(' ', 1).toInt()));
            out << QString::fromStdString(user.value_or("-"));
        }
        QCOMPARE(out.join(' '), answers);
    }

    // The file is rewritten at a login and a logout, and for a request only
    // once the last saved time is 10 minutes old; what it holds comes back.
    void sessionsSavedSparingly() {
        QTemporaryDir dir;
        const std::filesystem::path file = dir.filePath("sterownik.sesje").toStdString();
        Sessions sessions;
        sessions.open(kToken, "Łucja Nowak", kMorning);
        QVERIFY(sessions.saveDue());
        QVERIFY(hall::WritePanelSessions(sessions.toSave(kMorning), file));
        QVERIFY(sessions.user(kToken, kMorning + 9min));
        QVERIFY(!sessions.saveDue());
        QVERIFY(sessions.user(kToken, kMorning + 10min));
        QVERIFY(sessions.saveDue());
        QVERIFY(hall::WritePanelSessions(sessions.toSave(kMorning + 10min), file));
        QCOMPARE(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        Sessions restarted(*hall::ReadPanelSessions(file));
        QCOMPARE(restarted.user(kToken, kMorning + 12h + 9min).value_or("-"), std::string("Łucja Nowak"));
    }

    void damagedSessionLinesSkipped() {
        QTemporaryDir dir;
        const std::filesystem::path file = dir.filePath("sterownik.sesje").toStdString();
        WriteBytes(file, kToken + " 1765270800000 jan\n" + "xyz 1 ewa\n" + kToken.substr(1) + "0 12x jan\n" +
                             "ABCDEF6789abcdef0123456789abcdef 1 ola\n" + kToken + " 1765270800000\n\n");
        const auto sessions = hall::ReadPanelSessions(file);
        QVERIFY(sessions);
        QCOMPARE(sessions->size(), std::size_t(1));
        QCOMPARE((*sessions)[0].user, std::string("jan"));
        QVERIFY(hall::ReadPanelSessions(dir.filePath("none").toStdString())->empty());
    }

    void wrongPasswordsMakeAnAddressWait() {
        LoginThrottle throttle;
        const TimePoint t0{};
        for (int i = 1; i < LoginThrottle::kFailureLimit; ++i) QVERIFY(!throttle.failed("10.0.0.5", t0));
        QVERIFY(!throttle.waiting("10.0.0.5", t0));
        QVERIFY(throttle.failed("10.0.0.5", t0 + 1s));
        QCOMPARE(throttle.waiting("10.0.0.5", t0 + 11s), std::optional<Duration>(20s));
        QVERIFY(!throttle.waiting("10.0.0.6", t0 + 11s));
        QVERIFY(!throttle.waiting("10.0.0.5", t0 + 31s));
        // A right password forgets the wrong ones before it.
        for (int i = 1; i < LoginThrottle::kFailureLimit; ++i) QVERIFY(!throttle.failed("10.0.0.7", t0));
        throttle.succeeded("10.0.0.7");
        QVERIFY(!throttle.failed("10.0.0.7", t0));
    }

    void ownOrigin_data() {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<bool>("https");
        QTest::addColumn<bool>("own");
        QTest::newRow("same") << "http://hala.local:8080" << false << true;
        QTest::newRow("same, https") << "https://hala.local:8080" << true << true;
        QTest::newRow("other scheme") << "http://hala.local:8080" << true << false;
        QTest::newRow("other port") << "http://hala.local:8081" << false << false;
        QTest::newRow("other host") << "http://evil.example" << false << false;
        QTest::newRow("host as a prefix") << "http://hala.local:8080.evil.example" << false << false;
        QTest::newRow("none") << "" << false << false;
        QTest::newRow("null") << "null" << false << false;
    }
    void ownOrigin() {
        QFETCH(QString, origin);
        QFETCH(bool, https);
        QFETCH(bool, own);
        QCOMPARE(IsOwnOrigin(origin.toStdString(), "hala.local:8080", https), own);
        QVERIFY(!IsOwnOrigin("http://", "", false));
    }

    // The bad-input catalogue of a command's body.
    void commands_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("read");
        QTest::newRow("scene") << R"({"polecenie":"scena","scena":3})"
                               << "scena 3";
        QTest::newRow("all off") << R"({"polecenie":"wylacz"})"
                                 << "wylacz";
        QTest::newRow("lamp on") << R"({"polecenie":"lampa","lampa":108,"wl":true})"
                                 << "lampa 108 1";
        QTest::newRow("lamp off") << R"({"polecenie":"lampa","lampa":1,"wl":false})"
                                  << "lampa 1 0";
        QTest::newRow("scene 0") << R"({"polecenie":"scena","scena":0})"
                                 << "zły numer sceny";
        QTest::newRow("scene 9") << R"({"polecenie":"scena","scena":9})"
                                 << "zły numer sceny";
        QTest::newRow("scene as text") << R"({"polecenie":"scena","scena":"3"})"
                                       << "zły numer sceny";
        QTest::newRow("scene 3.5") << R"({"polecenie":"scena","scena":3.5})"
                                   << "zły numer sceny";
        QTest::newRow("huge number") << R"({"polecenie":"scena","scena":4294967299})"
                                     << "zły numer sceny";
        QTest::newRow("lamp 109") << R"({"polecenie":"lampa","lampa":109,"wl":true})"
                                  << "zły numer lampy";
        QTest::newRow("lamp without state") << R"({"polecenie":"lampa","lampa":5})"
                                            << "brak stanu lampy";
        QTest::newRow("state as text") << R"({"polecenie":"lampa","lampa":5,"wl":"tak"})"
                                       << "brak stanu lampy";
        QTest::newRow("unknown") << R"({"polecenie":"formatuj"})"
                                 << "nieznane polecenie";
        QTest::newRow("not an object") << R"(["wylacz"])"
                                       << "nieznane polecenie";
        QTest::newRow("not JSON") << "polecenie=wylacz"
                                  << "nieznane polecenie";
        QTest::newRow("cut short") << "{\"polecenie\":\"wyl"
                                   << "nieznane polecenie";
        QTest::newRow("empty") << ""
                               << "nieznane polecenie";
    }
    void commands() {
        QFETCH(QString, body);
        QFETCH(QString, read);
        const hall::Result<Event> event = ReadCommand(body.toStdString());
        QString got = event ? QString() : QString::fromStdString(event.error());
        if (event)
            std::visit(ForEachKind{[&](const SetScene& s) { got = QString("scena %1").arg(s.scene); },
                                   [&](const AllOff&) { got = "wylacz"; },
                                   [&](const SetLamp& l) { got = QString("lampa %1 %2").arg(l.lamp).arg(l.lit); },
                                   [&](const auto&) { got = "?"; }},
                       *event);
        QCOMPARE(got, read);
    }

    // The configurator's accounts, checked as it checks them, for text typed
    // in a browser. Accounts: jan "abc", ewa "zażółć", ola 70 characters.
    void logins_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("verdict");
        const int ok = int(LoginVerdict::Accepted), unknown = int(LoginVerdict::UnknownUser),
                  wrong = int(LoginVerdict::WrongPassword);
        const QString seventy = QString(70, 'x');
        QTest::newRow("right") << "jan"
                               << "abc" << ok;
        QTest::newRow("wrong") << "jan"
                               << "abd" << wrong;
        QTest::newRow("case counts") << "jan"
                                     << "ABC" << wrong;
        QTest::newRow("Polish letters in Windows-1250") << "ewa"
                                                        << "zażółć" << ok;
        QTest::newRow("past 64 characters ignored") << "ola" << seventy.left(64) + "yyy" << ok;
        QTest::newRow("first 63 only") << "ola" << seventy.left(63) << wrong;
        QTest::newRow("no Windows-1250 code") << "jan"
                                              << "ab漢" << unknown;
        QTest::newRow("no such account") << "adam"
                                         << "abc" << unknown;
        QTest::newRow("empty name") << ""
                                    << "" << unknown;
        QTest::newRow("a path") << "../konfigurator/jan"
                                << "abc" << unknown;
        QTest::newRow("the controller's own file") << "sterownik.conf"
                                                   << "x" << unknown;
        QTest::newRow("a control character") << "jan\n"
                                             << "abc" << unknown;
    }
    void logins() {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, verdict);
        QTemporaryDir dir;
        QDir::setCurrent(dir.path());
        WriteBytes("jan", "beh\r\n");
        WriteBytes("ewa", *hall::ScramblePassword("za\xbf\xf3\xb3\xe6") + "\r\n");  // zażółć in Windows-1250
        WriteBytes("ola", *hall::ScramblePassword(std::string(64, 'x')) + "\r\n");
        WriteBytes("sterownik.conf", "\r\n");
        QCOMPARE(int(CheckLogin(user.toStdString(), password.toStdString())), verdict);
    }
};

QTEST_GUILESS_MAIN(TestPanel)
#include "test_panel.moc"
