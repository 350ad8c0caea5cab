#ifndef QUILLET_WEBENGINE_ORIGINCONNECTION_H
#define QUILLET_WEBENGINE_ORIGINCONNECTION_H

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QPointer>

class QNetworkReply;
class QTcpSocket;

// One connection to the origin server: reads HTTP/1.1 requests one after
// the other and answers each from the bundle, streaming the body as the
// socket takes it. A malformed or oversized request, or one without the
// secret, is answered with an error and the connection closed.
class OriginConnection : public QObject {
    Q_OBJECT
public:
    OriginConnection(QTcpSocket* socket, QByteArray secret, QObject* parent);
    ~OriginConnection() override;

    // The longest request head accepted.
    static constexpr int kMaxHead = 64 * 1024;

private:
    using Headers = QList<QPair<QByteArray, QByteArray>>;

    void readRequests();
    bool takeRequest();
    void answer(const QByteArray& method, const QByteArray& target, const Headers& headers);
    void refuse(int status, const char* reason);
    void sendBody();

    QTcpSocket* m_socket;  // child object
    QByteArray m_secret;
    QByteArray m_buffer;
    qint64 m_bodyToSkip = 0;       // of a request that is answered without it
    QPointer<QNetworkReply> m_reply;  // the body being sent
    bool m_closing = false;
};

#endif
