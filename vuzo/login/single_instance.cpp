#include "single_instance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// No step of the check may hang a start.
constexpr int kWaitMilliseconds = 2000;

const QByteArray kRaiseRequest = QByteArrayLiteral("raise");

// The only platform differences of the configurator live here.
QString userId() {
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

// Two spellings of one directory must give one key.
QString comparablePath(const QString& path) {
#ifdef Q_OS_WIN
    return path.toLower();
#else
    return path;
#endif
}

// Qt creates it with mode 0700 and refuses one that another user owns.
QString privateDirectory() { return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation); }

}  // namespace

QString SingleInstance::currentKey() { return keyFor(userId(), QDir::current().canonicalPath()); }

QString SingleInstance::keyFor(const QString& user, const QString& workingDirectory) {
    const QString directory = privateDirectory();
    if (directory.isEmpty()) return QString();
    // Socket paths have tight length limits; a hash of any path fits.
    const QByteArray identity = (user + QChar(0) + comparablePath(workingDirectory)).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(identity, QCryptographicHash::Sha256).toHex().left(32);
    return directory + QStringLiteral("/vuzo-") + QString::fromLatin1(hash);
}

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent), key_(key) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnection);
}

bool SingleInstance::claim() {
    if (key_.isEmpty()) return true;
    // Looking for a running instance and starting to listen happen under one
    // lock: two starts at the same instant cannot both find nobody. A lock
    // that does not come in time does not stop the start.
    QLockFile lock(key_ + QStringLiteral(".lock"));
    lock.tryLock(kWaitMilliseconds);
    if (askRunningInstanceToRaise()) return false;
    listen();
    return true;
}

bool SingleInstance::askRunningInstanceToRaise() const {
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (!socket.waitForConnected(kWaitMilliseconds)) return false;
    socket.write(kRaiseRequest + '\n');
    socket.waitForBytesWritten(kWaitMilliseconds);
    socket.disconnectFromServer();
    return true;
}

void SingleInstance::listen() {
    // Nobody answered under the name, so whatever is left there belongs to an
    // instance that crashed.
    QLocalServer::removeServer(key_);
    // Should listening fail, this instance still runs; it just cannot be raised.
    server_.listen(key_);
}

void SingleInstance::acceptConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        const auto readRequests = [this, socket] {
            while (socket->canReadLine())
                if (socket->readLine().trimmed() == kRaiseRequest) emit raiseRequested();
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequests);
        connect(socket, &QLocalSocket::disconnected, this, [socket, readRequests] {
            readRequests();
            socket->deleteLater();
        });
        readRequests();
    }
}
