#include "support/loopback.h"

#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace testutil {

bool recvExactly(SocketHandle fd, uint8_t *buffer, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const ssize_t r = ::recv(int(fd), buffer + got, n - got, 0);
        if (r <= 0)
            return false;
        got += size_t(r);
    }
    return true;
}

uint16_t portWithNothingListening()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    // Should the bind fail, the port read back is 0, which nobody listens on either.
    (void)::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

Listener::Listener(int backlog)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    fd = s;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ok = ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(s, backlog) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0;
    port = ntohs(a.sin_port);
}

Listener::~Listener()
{
    for (SocketHandle f : fillers)
        ::close(int(f));
    ::close(int(fd));
}

void Listener::fillQueue()
{
    for (int i = 0; i < 3; ++i) {
        const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        (void)::connect(f, reinterpret_cast<sockaddr *>(&a), sizeof a); // non-blocking: under way
        fillers.push_back(f);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

SocketHandle Listener::accept(int waitMs) const
{
    pollfd p{int(fd), POLLIN, 0};
    if (waitMs >= 0 && ::poll(&p, 1, waitMs) <= 0)
        return kNoSocket;
    const int s = ::accept(int(fd), nullptr, nullptr);
    return s < 0 ? kNoSocket : s;
}

long peerReceive(SocketHandle s, uint8_t *buffer, size_t size)
{
    return long(::recv(int(s), buffer, size, 0));
}

bool peerSend(SocketHandle s, const uint8_t *bytes, size_t length)
{
    return ::send(int(s), bytes, length, MSG_NOSIGNAL) == ssize_t(length);
}

void peerClose(SocketHandle s)
{
    if (s != kNoSocket)
        ::close(int(s));
}

} // namespace testutil
