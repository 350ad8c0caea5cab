#ifndef QUILLET_TESTS_FAKELISTENER_H
#define QUILLET_TESTS_FAKELISTENER_H

#include <atomic>
#include <mutex>
#include <poll.h>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A loopback listener that is not a dispatcher: records the ports this
// process tried, with their times, and misbehaves as asked. Closed only holds
// the ports (bound, not listening: connections are refused); Refuse closes
// each connection at once; Silent accepts nothing (connections wait in its
// backlog); Flood sends floodHead and then 64 MiB with no length announced.
class FakeListener {
public:
    enum Behaviour { Closed, Refuse, Silent, Flood };

    // Port 0: a free one. boundAll() is false when a port is taken.
    FakeListener(const std::vector<int>& ports, Behaviour behaviour,
                 const std::string& floodHead = "");
    ~FakeListener();
    bool boundAll() const { return m_boundAll; }
    int port(size_t index) const { return m_ports.at(index); }
    // (port, monotonicNanoseconds()) of each connection from this process.
    std::vector<std::pair<int, long long>> attempts();
    long long bytesSent() const { return m_bytesSent; }

private:
    void run();
    void flood(int fd);

    Behaviour m_behaviour;
    std::string m_floodHead;
    std::vector<pollfd> m_fds;
    std::vector<int> m_ports;
    bool m_boundAll = true;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_bytesSent{0};
    std::mutex m_mutex;
    std::vector<std::pair<int, long long>> m_attempts;
    std::thread m_thread;
};

#endif
