#ifndef QUILLET_TESTS_LOOPBACKSERVER_H
#define QUILLET_TESTS_LOOPBACKSERVER_H

#include <QByteArray>
#include <QString>

#include <atomic>
#include <thread>

// A blocking HTTP server on 127.0.0.1 in its own thread: every request for a
// path under /files/ gets `size` bytes of application/octet-stream (1 MiB for
// /files/warmup), written from one 1 MiB buffer of `fill`.
class LoopbackServer {
public:
    explicit LoopbackServer(qint64 size, char fill = 'q');
    ~LoopbackServer();

    QString url(const QString& path) const;

private:
    void serve();
    void answer(int client) const;

    qint64 m_size;
    QByteArray m_chunk;
    int m_listener = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

#endif
