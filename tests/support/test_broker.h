#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private mosquitto on 127.0.0.1 and a free port, without persistence, set as
// the package sets a hall's broker (packaging/mosquitto/hala.conf).
class TestBroker {
public:
    ~TestBroker() { stop(); }
    // The port is picked the first time and kept. False when the broker takes no connections soon.
    bool start();
    void stop();
    // SIGSTOP or SIGCONT: a broker that holds its connections and answers nothing.
    void freeze(bool frozen);
    // SIGKILL: gone without a word, and nothing it held is kept.
    void crash();
    quint16 port() const { return port_; }

    // Through mosquitto_pub's standard input, so that any bytes can be sent.
    bool publish(const QString& topic, const QByteArray& payload, bool retain = false) const;
    // A null array when there is none.
    QByteArray retained(const QString& topic) const;
    // "topic payload" each.
    QList<QByteArray> retainedUnder(const QString& filter) const;

private:
    QTemporaryDir directory_;
    QProcess process_;
    quint16 port_ = 0;
};
