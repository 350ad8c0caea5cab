#include "rawlistener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <dirent.h>
#include <fstream>
#include <sstream>

namespace {

// Whether the loopback TCP socket with this local port belongs to this
// process: other test programs may try the same fixed ports meanwhile.
bool ownSocket(int localPort)
{
    std::ifstream table("/proc/self/net/tcp");
    std::string line, inode;
    std::getline(table, line);  // header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout, node;
        fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
            timeout >> node;
        if (std::stoi(local.substr(local.find(':') + 1), nullptr, 16) == localPort) {
            inode = node;
            break;
        }
    }
    if (inode.empty())
        return false;
    const std::string wanted = "socket:[" + inode + "]";
    DIR* fds = opendir("/proc/self/fd");
    bool found = false;
    while (dirent* entry = fds ? readdir(fds) : nullptr) {
        char target[64];
        const std::string link = std::string("/proc/self/fd/") + entry->d_name;
        const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
        if (n > 0 && std::string(target, static_cast<size_t>(n)) == wanted)
            found = true;
    }
    if (fds)
        closedir(fds);
    return found;
}

int peerPort(int fd)
{
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length);
    return ntohs(peer.sin_port);
}

}  // namespace

RawListener::RawListener(const std::vector<int>& ports, Behaviour behaviour)
    : m_behaviour(behaviour)
{
    for (int port : ports) {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(fd, 16) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            close(fd);
            m_boundAll = false;
            continue;
        }
        m_listeners.push_back(fd);
        m_ports.push_back(ntohs(address.sin_port));
    }
    m_thread = std::thread(&RawListener::run, this);
}

RawListener::~RawListener()
{
    m_stop = true;
    m_thread.join();
    for (int fd : m_listeners)
        close(fd);
    for (int fd : m_held)
        close(fd);
}

std::vector<RawListener::Attempt> RawListener::attempts() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_attempts;
}

void RawListener::run()
{
    std::vector<pollfd> fds;
    for (int fd : m_listeners)
        fds.push_back({fd, POLLIN, 0});
    while (!m_stop) {
        if (poll(fds.data(), fds.size(), 50) <= 0)
            continue;
        for (size_t i = 0; i < fds.size(); ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            const int client = accept(fds[i].fd, nullptr, nullptr);
            if (client < 0)
                continue;
            const auto now = std::chrono::steady_clock::now();
            if (ownSocket(peerPort(client))) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_attempts.push_back({m_ports[i], now});
            }
            if (m_behaviour == Behaviour::Refuse)
                close(client);
            else if (m_behaviour == Behaviour::Silent)
                m_held.push_back(client);
            else
                serveHuge(client);
        }
    }
}

// An HTTP reply whose SOAP body holds a token of 64 MiB, sent until the
// client stops reading. The closing tags never come.
void RawListener::serveHuge(int fd)
{
    const long long tokenBytes = 64LL * 1024 * 1024;
    const std::string head =
        "<?xml version=\"1.0\"?><SOAP-ENV:Envelope "
        "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "xmlns:ns1=\"urn:wharfline:dispatcher-proxy\" xmlns:ns3=\"urn:wharfline:service-contract\">"
        "<SOAP-ENV:Body><ns1:BeginSessionResponse><ns1:Response><ns3:Token>";
    // No length announced: the client finds the size only by reading.
    const std::string header = "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\n"
                               "Connection: close\r\n\r\n" + head;
    char request[4096];
    recv(fd, request, sizeof request, 0);
    timeval timeout{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    send(fd, header.data(), header.size(), MSG_NOSIGNAL);
    const std::string block(64 * 1024, 'x');
    for (long long sent = 0; sent < tokenBytes && !m_stop;) {
        const ssize_t n = send(fd, block.data(), block.size(), MSG_NOSIGNAL);
        if (n <= 0)
            break;
        sent += n;
        m_bytesSent += n;
    }
    close(fd);
}
