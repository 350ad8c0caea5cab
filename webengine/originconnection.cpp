#include "originconnection.h"

#include "originserver.h"
#include "webcore/bundlereply.h"
#include "webcore/webapp.h"

#include <QNetworkReply>
#include <QTcpSocket>
#include <QUrl>

namespace {

// Bytes of a body kept waiting in the socket at most: a large file goes out
// as the peer reads it, not into memory.
constexpr qint64 kSendWindow = 256 * 1024;

QNetworkAccessManager::Operation operationOf(const QByteArray& method)
{
    if (method == "GET")
        return QNetworkAccessManager::GetOperation;
    if (method == "HEAD")
        return QNetworkAccessManager::HeadOperation;
    if (method == "POST")
        return QNetworkAccessManager::PostOperation;
    if (method == "PUT")
        return QNetworkAccessManager::PutOperation;
    if (method == "DELETE")
        return QNetworkAccessManager::DeleteOperation;
    return QNetworkAccessManager::CustomOperation;
}

}  // namespace

OriginConnection::OriginConnection(QTcpSocket* socket, QByteArray secret, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_secret(std::move(secret))
{
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &OriginConnection::readRequests);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &OriginConnection::sendBody);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
}

OriginConnection::~OriginConnection() = default;

// Requests are answered in order; the next is read once the body of the
// last has gone out.
void OriginConnection::readRequests()
{
    m_buffer += m_socket->readAll();
    while (!m_reply && !m_closing) {
        if (m_bodyToSkip > 0) {
            const qint64 skipped = qMin<qint64>(m_bodyToSkip, m_buffer.size());
            m_buffer.remove(0, int(skipped));
            m_bodyToSkip -= skipped;
            if (m_bodyToSkip > 0)
                return;
        }
        if (!takeRequest())
            return;
    }
}

// Takes one whole request head from the buffer and answers it; false when
// the head is not complete yet.
bool OriginConnection::takeRequest()
{
    const int end = m_buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (m_buffer.size() > kMaxHead)
            refuse(431, "Request Header Fields Too Large");
        return false;
    }
    if (end > kMaxHead) {
        refuse(431, "Request Header Fields Too Large");
        return false;
    }
    const QList<QByteArray> lines = m_buffer.left(end).split('\n');
    m_buffer.remove(0, end + 4);
    const QList<QByteArray> request = lines.first().trimmed().split(' ');
    if (request.size() != 3 || !request[1].startsWith('/') || !request[2].startsWith("HTTP/1.")) {
        refuse(400, "Bad Request");
        return false;
    }
    Headers headers;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon <= 0) {
            refuse(400, "Bad Request");
            return false;
        }
        headers.append({lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed()});
    }
    answer(request[0], request[1], headers);
    return true;
}

void OriginConnection::answer(const QByteArray& method, const QByteArray& target,
                              const Headers& headers)
{
    QByteArray host, secret;
    bool chunked = false;
    for (const auto& [name, value] : headers) {
        if (name == "host")
            host = value.toLower();
        else if (name == QByteArray(OriginServer::kSecretHeader).toLower())
            secret = value;
        else if (name == "content-length")
            m_bodyToSkip = value.toLongLong();
        else if (name == "transfer-encoding")
            chunked = true;
        else if (name == "connection")
            m_closing = value.toLower() == "close";
    }
    if (m_secret.isEmpty() || secret != m_secret) {
        refuse(403, "Forbidden");
        return;
    }
    if (host != APPLICATION_HOST.toLower().toUtf8() || chunked || m_bodyToSkip < 0) {
        refuse(400, "Bad Request");
        return;
    }
    const QUrl url = QUrl::fromEncoded("http://" + host + target, QUrl::StrictMode);
    const QNetworkAccessManager::Operation op = operationOf(method);
    const QUrl bundled = BundleReply::bundleUrlFor(op, url);
    if (!url.isValid() || bundled.isEmpty()) {
        refuse(400, "Bad Request");
        return;
    }
    auto* reply = new BundleReply(op, bundled, url, this);
    QByteArray head = "HTTP/1.1 "
                      + reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toByteArray()
                      + ' '
                      + reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toByteArray()
                      + "\r\n";
    for (const auto& [name, value] : reply->rawHeaderPairs())
        head += name + ": " + value + "\r\n";
    // An app run unpacked changes under the engine: it asks again every time.
    head += "Cache-Control: no-cache\r\n\r\n";
    m_socket->write(head);
    m_reply = reply;
    sendBody();
}

void OriginConnection::sendBody()
{
    if (!m_reply)
        return;
    while (m_socket->bytesToWrite() < kSendWindow) {
        const QByteArray chunk = m_reply->read(64 * 1024);
        if (chunk.isEmpty()) {
            delete m_reply.data();
            if (m_closing) {
                m_socket->disconnectFromHost();
                return;
            }
            // The next request may already wait in the buffer.
            QMetaObject::invokeMethod(this, &OriginConnection::readRequests, Qt::QueuedConnection);
            return;
        }
        m_socket->write(chunk);
    }
}

void OriginConnection::refuse(int status, const char* reason)
{
    const QByteArray body = QByteArray::number(status) + ' ' + reason + '\n';
    m_socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reason
                    + "\r\nContent-Type: text/plain\r\nContent-Length: "
                    + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body);
    m_closing = true;
    m_buffer.clear();
    m_socket->disconnectFromHost();
}
