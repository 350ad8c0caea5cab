#include "loopbackserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackServer::LoopbackServer(qint64 size, char fill)
    : m_size(size)
    , m_chunk(1 << 20, fill)
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(m_listener, 8);
    socklen_t length = sizeof address;
    getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

LoopbackServer::~LoopbackServer()
{
    m_stopping = true;
    shutdown(m_listener, SHUT_RDWR);
    close(m_listener);
    m_thread.join();
}

QString LoopbackServer::url(const QString& path) const
{
    return QString("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LoopbackServer::serve()
{
    while (!m_stopping) {
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            return;
        std::thread([this, client] { answer(client); }).detach();
    }
}

void LoopbackServer::answer(int client) const
{
    QByteArray request;
    char buffer[4096];
    while (!request.contains("\r\n\r\n")) {
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        request.append(buffer, int(got));
    }
    // Only the file: the view's icon request must not fetch it as well.
    if (!request.startsWith("GET /files/")) {
        static const char notFound[]
            = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        send(client, notFound, sizeof notFound - 1, MSG_NOSIGNAL);
        close(client);
        return;
    }
    const qint64 size = request.startsWith("GET /files/warmup") ? m_chunk.size() : m_size;
    const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                            "Content-Length: "
                            + QByteArray::number(size) + "\r\nConnection: close\r\n\r\n";
    bool ok = send(client, head.constData(), size_t(head.size()), MSG_NOSIGNAL) > 0;
    for (qint64 left = size; ok && left > 0;) {
        const size_t part = size_t(qMin<qint64>(left, m_chunk.size()));
        const ssize_t sent = send(client, m_chunk.constData(), part, MSG_NOSIGNAL);
        ok = sent > 0;
        left -= sent;
    }
    close(client);
}
