#pragma once
// Vendors that do not answer, on loopback, for trying the tool against them.
#include "support/loopback.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace desk {

// Takes every connection to a listener and reads and drops whatever comes, never sending
// anything; the connections stay open until it goes (also once it has stopped taking new
// ones).
class QuietAcceptor {
public:
    explicit QuietAcceptor(int listener);
    ~QuietAcceptor();
    QuietAcceptor(const QuietAcceptor &) = delete;
    QuietAcceptor &operator=(const QuietAcceptor &) = delete;

    // Takes no more connections and reads no more from those it has (they stay open).
    void stop();
    int accepted() const { return m_accepted.load(); }
    long long received() const { return m_received.load(); }

private:
    void run();

    int m_listener = -1;
    int m_stop[2] = {-1, -1};
    std::vector<int> m_peers; // the thread's while it runs
    std::atomic<int> m_accepted{0};
    std::atomic<long long> m_received{0};
    std::thread m_thread;
};

// A vendor that takes the connection and never answers: the tool's connects and sends go
// through and its waits for a reply run out.
class SilentVendor {
public:
    SilentVendor();
    ~SilentVendor();
    SilentVendor(const SilentVendor &) = delete;
    SilentVendor &operator=(const SilentVendor &) = delete;

    uint16_t port() const { return m_listener.port; }
    // Connections accepted so far.
    int accepted() const { return m_acceptor ? m_acceptor->accepted() : 0; }
    // Bytes received so far, on all of them.
    long long received() const { return m_acceptor ? m_acceptor->received() : 0; }

private:
    testutil::Listener m_listener{16};
    std::unique_ptr<QuietAcceptor> m_acceptor; // after the listener: it goes first
};

// A vendor that has gone, as the network shows it: the connections it had go quiet (a
// machine that is switched off or unplugged sends nothing more, not even their end), and
// its address holds a listener that takes no one, with a backlog of 0 and its accept
// queue filled, so the system drops every further connection request and a connect waits
// until it gives up.
//
// Already: gone from the start. Later: there (as a silent vendor: connects are taken, no
// answer comes) until vanish().
class VanishedVendor {
public:
    enum class When { Already, Later };
    explicit VanishedVendor(When when = When::Already);
    ~VanishedVendor();
    VanishedVendor(const VanishedVendor &) = delete;
    VanishedVendor &operator=(const VanishedVendor &) = delete;

    uint16_t port() const { return m_listener.port; }
    // Connections taken before it vanished.
    int accepted() const { return m_acceptor ? m_acceptor->accepted() : 0; }
    // Goes, if it has not yet.
    void vanish();
    // A connect made now is still waiting after `ms` (the queue is full).
    bool connectsHang(int ms = 300) const;

private:
    testutil::Listener m_listener{0}; // its fillers, once it has vanished, fill the queue
    std::unique_ptr<QuietAcceptor> m_acceptor; // after the listener: it goes first
};

} // namespace desk
