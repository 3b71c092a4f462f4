#include "test_broker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <optional>

#include <signal.h>

namespace {

constexpr int kWaitMs = 5000;

// A mosquitto client, bounded in time; nothing when it fails, or ends with
// an error unless `anyExit` (-W ends mosquitto_sub's wait with a status of its own).
std::optional<QByteArray> Client(const QString& program, const QStringList& arguments, const QByteArray& input = {},
                                 bool anyExit = false) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(kWaitMs)) return {};
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(kWaitMs) || (process.exitCode() != 0 && !anyExit)) return {};
    return process.readAllStandardOutput();
}

}  // namespace

bool TestBroker::start() {
    if (port_ == 0) {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0)) return false;
        port_ = server.serverPort();
    }
    // As the package has a hall's broker set.
    QFile settings(QStringLiteral(HALL_BROKER_SETTINGS));
    QFile file(directory_.filePath(QStringLiteral("mosquitto.conf")));
    if (!settings.open(QIODevice::ReadOnly) || !file.open(QIODevice::WriteOnly)) return false;
    file.write("listener " + QByteArray::number(port_) +
               " 127.0.0.1\nallow_anonymous true\npersistence false\n"
               "log_dest none\n" +
               settings.readAll());
    file.close();
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), file.fileName()});
    if (!process_.waitForStarted(kWaitMs)) return false;
    // A port freed a moment ago may take a little while to bind again.
    for (QDeadlineTimer deadline(kWaitMs); !deadline.hasExpired(); QThread::msleep(20)) {
        if (process_.state() != QProcess::Running) return false;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port_);
        if (socket.waitForConnected(200)) return true;
    }
    return false;
}

void TestBroker::stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(kWaitMs)) process_.kill();
    process_.waitForFinished(kWaitMs);
}

void TestBroker::freeze(bool frozen) { ::kill(static_cast<pid_t>(process_.processId()), frozen ? SIGSTOP : SIGCONT); }

void TestBroker::crash() {
    process_.kill();
    process_.waitForFinished(kWaitMs);
}

bool TestBroker::publish(const QString& topic, const QByteArray& payload, bool retain) const {
    // An empty standard input is no message to mosquitto_pub: -n sends one.
    QStringList arguments = {"-p", QString::number(port_), "-q", "1", "-t", topic, payload.isEmpty() ? "-n" : "-s"};
    if (retain) arguments << "-r";
    return Client(QStringLiteral("mosquitto_pub"), arguments, payload).has_value();
}

QByteArray TestBroker::retained(const QString& topic) const {
    const QStringList arguments = {"-p", QString::number(port_), "-t", topic, "-C", "1", "-W",
                                   "1",  "--retained-only",      "-N"};
    return Client(QStringLiteral("mosquitto_sub"), arguments).value_or(QByteArray());
}

QList<QByteArray> TestBroker::retainedUnder(const QString& filter) const {
    const QStringList arguments = {"-p", QString::number(port_), "-t", filter, "-v", "-W", "1", "--retained-only"};
    QList<QByteArray> lines =
        Client(QStringLiteral("mosquitto_sub"), arguments, {}, true).value_or(QByteArray()).split('\n');
    lines.removeIf([](const QByteArray& line) { return line.isEmpty(); });
    return lines;
}
