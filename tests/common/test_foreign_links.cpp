// Links to hall files are followed only when they belong to the program's
// own user or to root: zero and harmonogram writing ../actual.txt, and the
// start-up read of a scene file, each through the same chains.
#include "hall_fixture.h"
#include "lamp_state.h"
#include "scene_files.h"

#include <QProcess>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uid_t kWriter = 4242;    // the program's user, where it is not root
constexpr uid_t kStranger = 4343;  // another operator, who planted a link

enum class Action { Zero, Harmonogram, SceneRead };

// A chain from the hall's name to the file outside it: the owner of each link
// in turn; the last link points at `outside/target`, or at a missing name.
struct Chain {
    QList<uid_t> linkOwners;
    bool dangling = false;
};

// Lays the chain out at `name`; the links and hops live in the hall's root.
bool layChain(const TestHall& hall, const QString& name, const Chain& chain) {
    QString next = chain.dangling ? hall.rootFile("outside/missing") : hall.rootFile("outside/target");
    for (int i = int(chain.linkOwners.size()) - 1; i >= 0; --i) {
        const QString link = i == 0 ? name : hall.rootFile("hop" + QString::number(i));
        if (::symlink(next.toLocal8Bit().constData(), link.toLocal8Bit().constData()) != 0) return false;
        if (::lchown(link.toLocal8Bit().constData(), chain.linkOwners[i], chain.linkOwners[i]) != 0) return false;
        next = link;
    }
    return true;
}

}  // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Chain)

class TestForeignLinks : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void linkRule_data();
    void linkRule();
};

void TestForeignLinks::initTestCase() {
    if (::geteuid() != 0) QSKIP("giving links to other users needs root");
}

void TestForeignLinks::linkRule_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<uid_t>("writer");
    QTest::addColumn<Chain>("chain");
    QTest::addColumn<bool>("followed");
    const struct {
        const char* name;
        uid_t writer;
        Chain chain;
        bool followed;
    } cases[] = {
        {"root's link", kWriter, {{0}}, true},
        {"the writer's link", kWriter, {{kWriter}}, true},
        {"another user's link", kWriter, {{kStranger}}, false},
        {"another user's link, root writing", 0, {{kStranger}}, false},
        {"chain with one foreign link", kWriter, {{0, kStranger, kWriter}}, false},
        {"chain of trusted links", kWriter, {{kWriter, 0}}, true},
        {"dangling foreign link", kWriter, {{kStranger}, true}, false},
    };
    const std::pair<const char*, Action> actions[] = {
        {"zero", Action::Zero}, {"harmonogram", Action::Harmonogram}, {"scene read", Action::SceneRead}};
    for (const auto& [actionName, action] : actions)
        for (const auto& c : cases)
            QTest::addRow("%s: %s", actionName, c.name) << action << c.writer << c.chain << c.followed;
}

void TestForeignLinks::linkRule() {
    QFETCH(Action, action);
    QFETCH(uid_t, writer);
    QFETCH(Chain, chain);
    QFETCH(bool, followed);
    TestHall hall;
    QVERIFY(hall.layDefaults());
    QVERIFY(QDir(hall.rootPath()).mkdir("outside"));
    QVERIFY(TestHall::write(hall.workFile("tydzien.txt"), "dni=1111111&godz1=6&min1=30&sceny1=10000000&\r\n"));
    // The writer may write everything here: only the link rule stands in its way.
    for (const QString& path : {hall.rootPath(), hall.workPath(), hall.rootFile("outside")})
        QVERIFY(::chmod(path.toLocal8Bit().constData(), 0777) == 0);
    const QString target = hall.rootFile("outside/target");
    const QByteArray before = action == Action::SceneRead ? "a1" + QByteArray(107, '0') + "\r\n" : "SECRET\r\n";
    QVERIFY(TestHall::write(target, before));
    QVERIFY(::chown(qPrintable(target), writer, writer) == 0 && ::chmod(qPrintable(target), 0600) == 0);
    const QString name = action == Action::SceneRead ? hall.workFile("vuzo1.txt") : hall.rootFile("actual.txt");
    QVERIFY(QFile::remove(name));
    QVERIFY(layChain(hall, name, chain));

    if (action == Action::SceneRead) {
        QVERIFY(::seteuid(writer) == 0);
        const hall::SceneRead read = hall::ReadSceneFile(hall::SceneFilePath(1));
        QVERIFY(::seteuid(0) == 0);
        QCOMPARE(read.complete, followed);
        QCOMPARE(read.boxes[0], followed ? 1 : 0);
        return;
    }
    // As the writer, dropping root through setpriv.
    const QString id = QString::number(writer);
    const QStringList tool = action == Action::Zero ? QStringList{QStringLiteral(ZERO_PATH)}
                                                    : QStringList{HARMONOGRAM_PATH, "--at", "2026-12-07 06:30"};
    const QStringList listing = hall.listing();
    QProcess process;
    process.setWorkingDirectory(hall.workPath());
    process.start(QStringLiteral("setpriv"), QStringList{"--reuid=" + id, "--regid=" + id, "--clear-groups"} + tool);
    QVERIFY(process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit);
    QVERIFY(QFileInfo(name).isSymLink());
    if (followed) {
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(TestHall::read(target),
                 QByteArray::fromStdString(hall::ComposeStateLine(hall::AllOffStates())) + "\r\n");
        return;
    }
    QCOMPARE(process.exitCode(), 1);
    QCOMPARE(process.readAllStandardError().count('\n'), 1);
    QCOMPARE(TestHall::read(target), before);
    QCOMPARE(hall.listing(), listing);  // nothing written, nothing left behind
}

QTEST_GUILESS_MAIN(TestForeignLinks)
#include "test_foreign_links.moc"
