#include "test_broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr int kWaitMs = 5000;

quint16 FreePort() {
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) return 0;
    return server.serverPort();
}

bool TakesConnections(quint16 port) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

}  // namespace

bool TestBroker::start() {
    if (port_ == 0) port_ = FreePort();
    const QString config = directory_.filePath(QStringLiteral("mosquitto.conf"));
    QFile file(config);
    if (port_ == 0 || !file.open(QIODevice::WriteOnly)) return false;
    file.write("listener " + QByteArray::number(port_) + " 127.0.0.1\nallow_anonymous true\npersistence false\nlog_dest none\n");
    file.close();
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), config});
    if (!process_.waitForStarted(kWaitMs)) return false;
    // A port freed a moment ago may take a little while to bind again.
    for (QDeadlineTimer deadline(kWaitMs); !deadline.hasExpired(); QThread::msleep(20)) {
        if (process_.state() != QProcess::Running) return false;
        if (TakesConnections(port_)) return true;
    }
    return false;
}

void TestBroker::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(kWaitMs)) process_.kill();
    process_.waitForFinished(kWaitMs);
}

bool TestBroker::publish(const QString& topic, const QByteArray& payload, bool retain) const {
    // An empty standard input is no message to mosquitto_pub: -n sends one.
    QStringList arguments = {"-p", QString::number(port_), "-q", "1", "-t", topic, payload.isEmpty() ? "-n" : "-s"};
    if (retain) arguments << "-r";
    QProcess process;
    process.start(QStringLiteral("mosquitto_pub"), arguments);
    if (!process.waitForStarted(kWaitMs)) return false;
    process.write(payload);
    process.closeWriteChannel();
    return process.waitForFinished(kWaitMs) && process.exitCode() == 0;
}

QByteArray TestBroker::retained(const QString& topic) const {
    QProcess process;
    // A retained message comes at once; -W bounds the wait for none.
    process.start(QStringLiteral("mosquitto_sub"),
                  {"-p", QString::number(port_), "-t", topic, "-C", "1", "-W", "1", "--retained-only", "-N"});
    if (!process.waitForFinished(kWaitMs) || process.exitCode() != 0) return {};
    return process.readAllStandardOutput();
}

QList<QByteArray> TestBroker::retainedUnder(const QString& filter) const {
    QProcess process;
    // Retained messages come at once; -W ends the wait for more, with its own exit status.
    process.start(QStringLiteral("mosquitto_sub"),
                  {"-p", QString::number(port_), "-t", filter, "-v", "-W", "1", "--retained-only"});
    if (!process.waitForFinished(kWaitMs)) return {};
    QList<QByteArray> lines = process.readAllStandardOutput().split('\n');
    lines.removeIf([](const QByteArray& line) { return line.isEmpty(); });
    return lines;
}
