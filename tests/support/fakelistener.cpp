#include "fakelistener.h"

#include "childprocess.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Whether the client end of a loopback connection (by its port) is a socket
// of this process: other test programs may try the fixed ports meanwhile.
bool ownSocket(int clientPort)
{
    for (int fd = 3; fd < 1024; ++fd) {
        sockaddr_in local{};
        socklen_t length = sizeof local;
        if (getsockname(fd, (sockaddr*)&local, &length) == 0 && local.sin_family == AF_INET
            && ntohs(local.sin_port) == clientPort)
            return true;
    }
    return false;
}

}  // namespace

FakeListener::FakeListener(const std::vector<int>& ports, Behaviour behaviour,
                           const std::string& floodHead)
    : m_behaviour(behaviour)
    , m_floodHead(floodHead)
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
        m_fds.push_back({fd, POLLIN, 0});
        m_ports.push_back(ntohs(address.sin_port));
    }
    if (behaviour != Closed && behaviour != Silent)
        m_thread = std::thread(&FakeListener::run, this);
}

FakeListener::~FakeListener()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    for (pollfd& p : m_fds)
        close(p.fd);
}

std::vector<std::pair<int, long long>> FakeListener::attempts()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attempts;
}

void FakeListener::run()
{
    while (!m_stop) {
        poll(m_fds.data(), m_fds.size(), 50);
        for (size_t i = 0; i < m_fds.size(); ++i) {
            sockaddr_in peer{};
            socklen_t length = sizeof peer;
            const int client
                = m_fds[i].revents & POLLIN ? accept(m_fds[i].fd, (sockaddr*)&peer, &length) : -1;
            if (client < 0)
                continue;
            if (ownSocket(ntohs(peer.sin_port))) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_attempts.push_back({m_ports[i], monotonicNanoseconds()});
            }
            if (m_behaviour == Flood)
                flood(client);
            close(client);
        }
    }
}

void FakeListener::flood(int fd)
{
    char request[4096];
    recv(fd, request, sizeof request, 0);
    const timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    send(fd, m_floodHead.data(), m_floodHead.size(), MSG_NOSIGNAL);
    const std::string block(64 * 1024, 'x');
    for (ssize_t n = 1; n > 0 && m_bytesSent < (64 << 20) && !m_stop; m_bytesSent += n)
        n = send(fd, block.data(), block.size(), MSG_NOSIGNAL);
}
