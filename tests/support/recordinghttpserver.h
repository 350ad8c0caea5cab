#ifndef QUILLET_TESTS_RECORDINGHTTPSERVER_H
#define QUILLET_TESTS_RECORDINGHTTPSERVER_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QThread>
#include <functional>

class QTcpServer;
class QTcpSocket;

// An HTTP/1.1 server on 127.0.0.1 that records every request and answers
// through a handler, one request per connection, streamed bodies in flat memory.
class RecordingHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;  // path with query, as sent
        QByteArray body;
        QByteArray path() const { return target.split('?').first(); }  // without the query
    };

    struct Response {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        qint64 streamedSize = -1;  // >= 0: instead of body, this many bytes of pattern()
        bool omitContentLength = false;
        qint64 dropAfter = -1;  // >= 0: the connection drops after this many body bytes
    };
    using Handler = std::function<Response(const Request&)>;

    explicit RecordingHttpServer(QObject* parent = nullptr);

    bool listen();  // on 127.0.0.1, a free port
    quint16 port() const;
    QByteArray baseUrl() const { return "http://127.0.0.1:" + QByteArray::number(port()); }

    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // For benchmarks: each path under /files/ streams `size` bytes (1 MiB for
    // /files/warmup*), any other is 404, so a view's icon request fetches nothing.
    static Handler filesOf(qint64 size);

    QList<Request> requests() const { return m_requests; }
    QList<Request> requestsTo(const QByteArray& path) const;

    // The streamed body's bytes: a pattern that repeats every MiB.
    static QByteArray pattern(qint64 offset, qint64 length);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket, Connection& connection);
    void pump(QTcpSocket* socket, Connection& connection);

    QTcpServer* m_server;
    Handler m_handler = [](const Request&) {  // 200 with an empty text/plain body
        return Response{200, {{"Content-Type", "text/plain"}}, {}};
    };
    QList<Request> m_requests;
};

// A server that answers on a thread of its own, so that it serves while this
// thread blocks (a benchmark's curl run); stopped and deleted with this.
class HttpServerThread : public QThread {
public:
    explicit HttpServerThread(RecordingHttpServer::Handler handler);
    ~HttpServerThread() override;
    QString url(const QString& path) const { return m_baseUrl + path; }

private:
    QString m_baseUrl;
};

#endif
