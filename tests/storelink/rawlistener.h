#ifndef QUILLET_TESTS_RAWLISTENER_H
#define QUILLET_TESTS_RAWLISTENER_H

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A loopback listener that is not a dispatcher: it records the connection
// attempts this process makes to it and then misbehaves as asked.
class RawListener {
public:
    enum class Behaviour {
        Refuse,     // close each connection at once
        Silent,     // keep each connection open and never answer
        HugeReply,  // answer any request with an endless well-formed reply
    };
    struct Attempt {
        int port;
        std::chrono::steady_clock::time_point time;
    };

    // Listens on every port given (0: a free one, see port()). Ports that
    // cannot be bound are left out: boundAll() tells.
    RawListener(const std::vector<int>& ports, Behaviour behaviour);
    ~RawListener();

    bool boundAll() const { return m_boundAll; }
    int port(size_t index) const { return m_ports.at(index); }
    std::vector<Attempt> attempts() const;
    long long bytesSent() const { return m_bytesSent.load(); }

private:
    void run();
    void serveHuge(int fd);

    Behaviour m_behaviour;
    std::vector<int> m_listeners;
    std::vector<int> m_ports;
    std::vector<int> m_held;
    bool m_boundAll = true;
    std::atomic<bool> m_stop{false};
    std::atomic<long long> m_bytesSent{0};
    mutable std::mutex m_mutex;
    std::vector<Attempt> m_attempts;
    std::thread m_thread;
};

#endif
