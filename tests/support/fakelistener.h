#ifndef QUILLET_TESTS_FAKELISTENER_H
#define QUILLET_TESTS_FAKELISTENER_H

#include <atomic>
#include <string>
#include <thread>
#include <vector>

// A loopback listener that is not a dispatcher and misbehaves as asked.
// Closed only holds the ports (bound, not listening: connections are
// refused); Silent accepts nothing (connections wait in its backlog); Flood
// sends floodHead and then 64 MiB with no length announced.
class FakeListener {
public:
    enum Behaviour { Closed, Silent, Flood };

    // Port 0: a free one. boundAll() is false when a port is taken.
    FakeListener(const std::vector<int>& ports, Behaviour behaviour,
                 const std::string& floodHead = "");
    ~FakeListener();
    bool boundAll() const { return m_boundAll; }
    int port(size_t index) const { return m_ports.at(index); }
    long long bytesSent() const { return m_bytesSent; }

private:
    void flood();

    std::vector<int> m_fds;
    std::vector<int> m_ports;
    std::string m_floodHead;
    bool m_boundAll = true;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_bytesSent{0};
    std::thread m_thread;
};

#endif
