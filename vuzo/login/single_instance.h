#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// One configurator per hall: the first instance started for a user in a
// working directory listens on a local socket named after both; a later one
// finds it there, asks it to raise its window, and ends. The socket and its
// lock file lie in the user's private runtime directory, where no other user
// can put a name first.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The key of this user's configurator in the current working directory:
    // the socket's full path. Empty when the user has no private runtime
    // directory; then no check is made rather than one in a shared place.
    static QString currentKey();
    // `user` is the numeric user id: a name from the environment can be set to anything.
    static QString keyFor(const QString& user, const QString& workingDirectory);

    explicit SingleInstance(const QString& key, QObject* parent = nullptr);

    // True when this process is now the hall's configurator. False when
    // another one runs: it has been asked to raise its window. Never waits
    // more than a few seconds.
    bool claim();

signals:
    // A later start asked this instance to show its window.
    void raiseRequested();

private slots:
    void acceptConnection();

private:
    bool askRunningInstanceToRaise() const;
    void listen();

    QString key_;
    QLocalServer server_;
};
