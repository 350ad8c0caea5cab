#include "fakelistener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

FakeListener::FakeListener(const std::vector<int>& ports, Behaviour behaviour,
                           const std::string& floodHead)
    : m_floodHead(floodHead)
{
    for (int port : ports) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), on = 1;
        // Reuse: a connection of an earlier test may linger in TIME_WAIT.
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{AF_INET, htons(uint16_t(port)), {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t length = sizeof address;
        m_boundAll = m_boundAll && !bind(fd, (sockaddr*)&address, length)
                     && (behaviour == Closed || !listen(fd, 16))
                     && !getsockname(fd, (sockaddr*)&address, &length);
        m_fds.push_back(fd);
        m_ports.push_back(ntohs(address.sin_port));
    }
    if (behaviour == Flood)
        m_thread = std::thread(&FakeListener::flood, this);
}

FakeListener::~FakeListener()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (int fd : m_fds)
        close(fd);
}

// Answers each connection to the first port, once its request is read, with floodHead
// and then blocks of 64 KiB, until the client stops reading or 64 MiB went out.
void FakeListener::flood()
{
    const std::string block(64 * 1024, 'x');
    while (!m_stop) {
        pollfd listening{m_fds.at(0), POLLIN, 0};
        if (poll(&listening, 1, 50) <= 0)
            continue;
        const int client = accept(listening.fd, nullptr, nullptr);
        if (client < 0)
            continue;
        char request[4096];
        recv(client, request, sizeof request, 0);
        const timeval timeout{2, 0};
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        send(client, m_floodHead.data(), m_floodHead.size(), MSG_NOSIGNAL);
        for (ssize_t n = 1; n > 0 && m_bytesSent < (64 << 20) && !m_stop; m_bytesSent += n)
            n = send(client, block.data(), block.size(), MSG_NOSIGNAL);
        close(client);
    }
}
