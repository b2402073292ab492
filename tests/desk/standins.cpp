#include "standins.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace desk {

namespace {

sockaddr_in loopback(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Starts a non-blocking connect to the loopback port; the socket, or -1.
int startConnect(uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const sockaddr_in a = loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&a), sizeof a) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

QuietAcceptor::QuietAcceptor(int listener) : m_listener(listener)
{
    if (m_listener < 0 || ::pipe2(m_stop, O_CLOEXEC) != 0)
        return;
    m_thread = std::thread([this] { run(); });
}

QuietAcceptor::~QuietAcceptor()
{
    stop();
    for (int fd : m_peers)
        ::close(fd);
    for (int fd : m_stop)
        if (fd >= 0)
            ::close(fd);
}

void QuietAcceptor::stop()
{
    if (!m_thread.joinable())
        return;
    const char b = 0;
    (void)!::write(m_stop[1], &b, 1);
    m_thread.join();
}

void QuietAcceptor::run()
{
    for (;;) {
        std::vector<pollfd> fds{{m_stop[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (int peer : m_peers)
            fds.push_back({peer, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            return;
        if (fds[0].revents)
            return;
        if (fds[1].revents & POLLIN) {
            const int peer = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (peer >= 0) {
                m_peers.push_back(peer);
                ++m_accepted;
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            char buf[4096];
            const ssize_t n = ::recv(fds[i].fd, buf, sizeof buf, 0);
            if (n > 0) {
                m_received += n;
            } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                // The tool closed its end: this one is done.
                ::close(fds[i].fd);
                m_peers.erase(std::find(m_peers.begin(), m_peers.end(), fds[i].fd));
            }
        }
    }
}

SilentVendor::SilentVendor()
{
    if (m_listener.ok)
        m_acceptor = std::make_unique<QuietAcceptor>(m_listener.fd);
}

SilentVendor::~SilentVendor() = default;

VanishedVendor::VanishedVendor(When when)
{
    if (!m_listener.ok)
        return;
    if (when == When::Later)
        m_acceptor = std::make_unique<QuietAcceptor>(m_listener.fd);
    else
        vanish();
}

void VanishedVendor::vanish()
{
    if (!m_listener.fillers.empty() || !m_listener.ok)
        return;
    if (m_acceptor)
        m_acceptor->stop(); // what it had stays open and quiet
    // With a backlog of 0 the queue holds one connection; the further connects stay
    // waiting themselves, which keeps the queue full whatever the system's rounding.
    m_listener.fillQueue();
}

VanishedVendor::~VanishedVendor() = default;

bool VanishedVendor::connectsHang(int ms) const
{
    const int fd = startConnect(port());
    if (fd < 0)
        return false;
    pollfd p{fd, POLLOUT, 0};
    const bool waiting = ::poll(&p, 1, ms) == 0;
    ::close(fd);
    return waiting;
}

} // namespace desk
