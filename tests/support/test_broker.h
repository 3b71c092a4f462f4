#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A private mosquitto on 127.0.0.1 and a free port, without persistence,
// for tests that need the real protocol. Stopped when destroyed.
class TestBroker {
public:
    TestBroker() = default;
    ~TestBroker() { stop(); }
    TestBroker(const TestBroker&) = delete;
    TestBroker& operator=(const TestBroker&) = delete;

    // Picks a free port the first time; later starts reuse it. False when
    // the broker does not take connections within a few seconds.
    bool start();
    void stop();
    quint16 port() const { return port_; }

    // mosquitto_pub and mosquitto_sub, each bounded in time. The payload
    // goes through standard input, so that any bytes can be sent.
    bool publish(const QString& topic, const QByteArray& payload, bool retain = false) const;
    // The retained payload of `topic`; nothing (a null array) when there is none.
    QByteArray retained(const QString& topic) const;
    // Every retained message under `filter`, "topic payload" each.
    QList<QByteArray> retainedUnder(const QString& filter) const;

private:
    QTemporaryDir directory_;
    QProcess process_;
    quint16 port_ = 0;
};
