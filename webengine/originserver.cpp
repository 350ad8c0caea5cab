#include "originserver.h"

#include "originconnection.h"

#include <QRandomGenerator>
#include <QTcpSocket>

OriginServer::OriginServer(QObject* parent)
    : QTcpServer(parent)
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    m_secret = QByteArray(reinterpret_cast<const char*>(words), sizeof words).toHex();
}

OriginServer::~OriginServer() = default;

bool OriginServer::start()
{
    return listen(QHostAddress::LocalHost, 0);
}

void OriginServer::incomingConnection(qintptr socketDescriptor)
{
    auto* socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(socketDescriptor)) {
        delete socket;
        return;
    }
    new OriginConnection(socket, m_secret, this);
}
