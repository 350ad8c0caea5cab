#ifndef QUILLET_TESTS_RECORDINGHTTPSERVER_H
#define QUILLET_TESTS_RECORDINGHTTPSERVER_H

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QThread>
#include <functional>

class QTcpServer;
class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 for tests and benchmarks. It records
// every request and answers through a handler. One request per connection
// ("Connection: close"). Streamed bodies keep memory flat at any size. Pages
// of any origin may read its answers (CORS); it answers preflights itself.
class RecordingHttpServer : public QObject {
    Q_OBJECT
public:
    struct Request {
        QByteArray method;
        QByteArray target;                     // path with query, as sent
        QMap<QByteArray, QByteArray> headers;  // names in lower case
        QByteArray body;
        QByteArray path() const;  // target without the query
    };

    struct Response {
        int status = 200;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // When >= 0, the body is streamed: this many bytes of pattern() in
        // chunks, as fast as the client reads (body is ignored).
        qint64 streamedSize = -1;
        bool omitContentLength = false;
        // When >= 0, the connection is dropped after this many body bytes.
        qint64 dropAfter = -1;
    };
    using Handler = std::function<Response(const Request&)>;

    explicit RecordingHttpServer(QObject* parent = nullptr);
    ~RecordingHttpServer() override;

    bool listen();  // on 127.0.0.1, a free port
    quint16 port() const;
    QByteArray baseUrl() const;  // "http://127.0.0.1:<port>"

    // Default: 200 with an empty text/plain body.
    void setHandler(Handler handler);
    // For benchmarks: each path under /files/ streams `size` bytes (1 MiB for
    // /files/warmup*), any other is 404, so a view's icon request fetches nothing.
    static Handler filesOf(qint64 size);

    QList<Request> requests() const { return m_requests; }
    QList<Request> requestsTo(const QByteArray& path) const;

    // The streamed body's bytes: a pattern that repeats every MiB, so content
    // can be checked.
    static QByteArray pattern(qint64 offset, qint64 length);

private:
    struct Connection;
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void pump(QTcpSocket* socket);

    QTcpServer* m_server;
    Handler m_handler;
    QList<Request> m_requests;
    QMap<QTcpSocket*, Connection*> m_connections;
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
