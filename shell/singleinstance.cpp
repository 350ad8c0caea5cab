#include "singleinstance.h"

#include "platform/instancelock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace {
const QByteArray kActivate = QByteArrayLiteral("activate\n");
}

SingleInstance::SingleInstance(const QString& name, QObject* parent)
    : QObject(parent)
    , m_socketPath(name + QStringLiteral(".socket"))
    , m_lockPath(name + QStringLiteral(".lock"))
    , m_lock(std::make_unique<platform::InstanceLock>())
{
    switch (m_lock->acquire(QFile::encodeName(m_lockPath).toStdString())) {
    case platform::InstanceLock::Result::Acquired: break;
    case platform::InstanceLock::Result::HeldElsewhere: m_first = false; return;
    case platform::InstanceLock::Result::Failed:
        // No usable runtime folder: run, unguarded, rather than not at all.
        qWarning("Cannot create %s; a second start of the app is not detected",
                 qPrintable(m_lockPath));
        return;
    }
    QLocalServer::removeServer(m_socketPath);  // left behind by a crashed instance
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketPath)) {
        qWarning("Cannot listen on %s: %s", qPrintable(m_socketPath),
                 qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::readRequest);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();  // removes the socket file
}

// The first instance may still be starting (it takes the lock before it
// listens), so connecting is retried until the time is up.
bool SingleInstance::activateFirst(int milliseconds)
{
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_socketPath);
        if (socket.waitForConnected(qMax<qint64>(1, deadline.remainingTime()))) {
            socket.write(kActivate);
            const bool sent = socket.waitForBytesWritten(qMax<qint64>(1, deadline.remainingTime()));
            socket.disconnectFromServer();
            return sent;
        }
        QThread::msleep(50);
    }
    return false;
}

void SingleInstance::readRequest()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->readAll().contains(kActivate.trimmed()))
                emit activationRequested();
            socket->disconnectFromServer();
        });
    }
}
