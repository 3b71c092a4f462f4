#include "lamp_state.h"

#include "hall_fixture.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace hall;

namespace {

constexpr int kReads = 20000;

QByteArray layout(const QList<int>& lit) {
    LampStates states = AllOffStates();
    for (int lamp : lit) states[lamp - 1] = kStateOn;
    return QByteArray::fromStdString(ComposeStateLine(states)) + "\r\n";
}

// A writer running beside the test until the test ends it.
std::unique_ptr<QProcess> startWriter(const TestHall& hall, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setWorkingDirectory(hall.workPath());
    process->start(QStringLiteral(STATE_WRITER_PATH), arguments);
    return process;
}

bool isReady(QProcess& process) {
    return process.waitForReadyRead(30000) && process.readAllStandardOutput().startsWith("ready");
}

}  // namespace

class TestConcurrentFiles : public QObject {
    Q_OBJECT

private slots:
    void readerSeesOnlyWholeLayouts();
};

// Two other processes replace the shared lamp state file as fast as they can
// while this one reads it: every read must be one whole layout or the other.
void TestConcurrentFiles::readerSeesOnlyWholeLayouts() {
    TestHall hall;
    const QByteArray allOff = layout({});
    const QByteArray scene = layout({1, 41, 100, 108});
    const auto zeroLoop = startWriter(hall, {"zero", QStringLiteral(ZERO_PATH)});
    const auto sceneLoop = startWriter(hall, {"scenes"});
    QVERIFY(isReady(*zeroLoop));
    QVERIFY(isReady(*sceneLoop));

    int offReads = 0, sceneReads = 0, partial = 0;
    QFile file(hall.rootFile("actual.txt"));
    for (int i = 0; i < kReads; ++i) {
        QByteArray bytes;
        if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
        file.close();
        if (bytes == allOff)
            ++offReads;
        else if (bytes == scene)
            ++sceneReads;
        else
            ++partial;
    }
    for (const auto& writer : {zeroLoop.get(), sceneLoop.get()}) {
        QCOMPARE(writer->state(), QProcess::Running);  // no writer failed on the way
        writer->kill();
        writer->waitForFinished();
    }
    qInfo("%d reads: %d all off, %d scene, %d partial", kReads, offReads, sceneReads, partial);
    QCOMPARE(partial, 0);
    QVERIFY(offReads > 0 && sceneReads > 0);
}

QTEST_GUILESS_MAIN(TestConcurrentFiles)
#include "test_concurrent_files.moc"
