#include "recordinghttpserver.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

struct RecordingHttpServer::Connection {
    QByteArray buffer;
    bool answered = false, finished = false;
    Response response;
    qint64 size = 0, sent = 0;  // body bytes to send in all, and sent
};

RecordingHttpServer::RecordingHttpServer(QObject* parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &RecordingHttpServer::onNewConnection);
}

bool RecordingHttpServer::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 RecordingHttpServer::port() const
{
    return m_server->serverPort();
}

QList<RecordingHttpServer::Request> RecordingHttpServer::requestsTo(const QByteArray& path) const
{
    QList<Request> found;
    for (const Request& request : m_requests)
        if (request.path() == path)
            found.append(request);
    return found;
}

RecordingHttpServer::Handler RecordingHttpServer::filesOf(qint64 size)
{
    return [size](const Request& request) {
        Response response;
        response.status = request.path().startsWith("/files/") ? 200 : 404;
        response.headers.push_back({"Content-Type", "application/octet-stream"});
        if (response.status == 200)
            response.streamedSize = request.path().startsWith("/files/warmup") ? 1 << 20 : size;
        return response;
    };
}

QByteArray RecordingHttpServer::pattern(qint64 offset, qint64 length)
{
    // (x * 131 + x / 4096) mod 256 repeats every MiB: one cycle, made once.
    static const QByteArray cycle = [] {
        QByteArray bytes(1 << 20, Qt::Uninitialized);
        for (int x = 0; x < bytes.size(); ++x)
            bytes[x] = char((x * 131 + (x >> 12)) & 0xff);
        return bytes;
    }();
    QByteArray bytes;
    for (qint64 at = offset; bytes.size() < length; at = 0)  // later cycles from their start
        bytes += cycle.mid(int(at % cycle.size()), int(length - bytes.size()));
    return bytes;
}

void RecordingHttpServer::onNewConnection()
{
    // A connection's state lives as long as the socket's signal connections.
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        const auto connection = std::make_shared<Connection>();
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, connection] { onReadyRead(socket, *connection); });
        connect(socket, &QTcpSocket::bytesWritten, this,
                [this, socket, connection] { pump(socket, *connection); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void RecordingHttpServer::onReadyRead(QTcpSocket* socket, Connection& connection)
{
    if (connection.answered)
        return;
    connection.buffer += socket->readAll();
    const int end = connection.buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;

    Request request;
    const QList<QByteArray> lines = connection.buffer.left(end).split('\n');
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    int length = 0;
    for (const QByteArray& line : lines.mid(1))
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toInt();
    if (connection.buffer.size() < end + 4 + length)
        return;  // wait for the rest of the body
    request.body = connection.buffer.mid(end + 4, length);
    connection.answered = true;
    m_requests.append(request);
    const Response& response = connection.response = m_handler(request);
    connection.size = response.streamedSize >= 0 ? response.streamedSize : response.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
    for (const auto& header : response.headers)
        head += header.first + ": " + header.second + "\r\n";
    if (!response.omitContentLength)
        head += "Content-Length: " + QByteArray::number(connection.size) + "\r\n";
    socket->write(head + "Connection: close\r\n\r\n");
    pump(socket, connection);
}

// Sends the next chunk once the socket has drained, so memory stays flat.
void RecordingHttpServer::pump(QTcpSocket* socket, Connection& connection)
{
    if (!connection.answered || connection.finished || socket->bytesToWrite() > 256 * 1024)
        return;
    const Response& response = connection.response;
    qint64 end = qMin(connection.size, connection.sent + 128 * 1024);
    const bool drop = response.dropAfter >= 0 && end >= response.dropAfter;
    if (drop)
        end = response.dropAfter;
    const qint64 n = end - connection.sent;
    if (n > 0)
        socket->write(response.streamedSize >= 0 ? pattern(connection.sent, n)
                                                 : response.body.mid(int(connection.sent), int(n)));
    connection.sent = end;
    if (drop) {
        socket->flush();
        socket->abort();  // a reset, as from a server that dies mid-body
    } else if (connection.sent == connection.size) {
        connection.finished = true;
        socket->disconnectFromHost();
    }
}

HttpServerThread::HttpServerThread(RecordingHttpServer::Handler handler)
{
    auto* server = new RecordingHttpServer;
    server->setHandler(std::move(handler));
    server->listen();
    m_baseUrl = server->baseUrl();
    server->moveToThread(this);
    connect(this, &QThread::finished, server, &QObject::deleteLater);
    start();
}

HttpServerThread::~HttpServerThread()
{
    quit();
    wait();
}
