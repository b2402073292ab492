#include "vendorsim/simnet.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace vendorsim::net {

bool isLoopback(const std::string &address)
{
    in_addr v4{};
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, address.c_str(), &v6) == 1)
        return IN6_IS_ADDR_LOOPBACK(&v6);
    return false;
}

bool listenOn(const std::string &address, uint16_t &port, Handle &listener, std::string &why)
{
    sockaddr_storage ss{};
    socklen_t len = 0;
    int family = AF_INET;
    in_addr v4{};
    if (::inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        auto *sa = reinterpret_cast<sockaddr_in *>(&ss);
        sa->sin_family = AF_INET;
        sa->sin_port = htons(port);
        sa->sin_addr = v4;
        len = sizeof *sa;
    } else {
        family = AF_INET6;
        auto *sa = reinterpret_cast<sockaddr_in6 *>(&ss);
        sa->sin6_family = AF_INET6;
        sa->sin6_port = htons(port);
        ::inet_pton(AF_INET6, address.c_str(), &sa->sin6_addr);
        len = sizeof *sa;
    }
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&ss), len) != 0) {
        why = "cannot bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (::listen(fd, 8) != 0) {
        why = std::string("listen: ") + std::strerror(errno);
        ::close(fd);
        return false;
    }
    sockaddr_storage bound{};
    socklen_t blen = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&bound), &blen);
    port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in *>(&bound)->sin_port
                                   : reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port);
    listener = fd;
    return true;
}

Handle acceptOne(Handle listener)
{
    const int fd = ::accept4(int(listener), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
        return kNone;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

bool makeWake(Wake &wake, std::string &why)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        why = std::string("pipe: ") + std::strerror(errno);
        return false;
    }
    wake.watch = fds[0];
    wake.signal = fds[1];
    return true;
}

void signalWake(const Wake &wake)
{
    // One byte in the pipe, never read, wakes every waiting thread for good.
    [[maybe_unused]] ssize_t w = ::write(int(wake.signal), "x", 1);
}

void closeWake(Wake &wake)
{
    closeHandle(wake.watch);
    closeHandle(wake.signal);
    wake.watch = wake.signal = kNone;
}

bool waitForConnection(Handle listener, const Wake &wake)
{
    for (;;) {
        pollfd p[2] = {{int(listener), POLLIN, 0}, {int(wake.watch), POLLIN, 0}};
        if (::poll(p, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        return !p[1].revents;
    }
}

bool sleepUnlessWoken(const Wake &wake, int ms)
{
    pollfd p{int(wake.watch), POLLIN, 0};
    return ::poll(&p, 1, ms) == 0;
}

long receiveSome(Handle s, uint8_t *buffer, size_t size)
{
    for (;;) {
        const ssize_t r = ::recv(int(s), buffer, size, 0);
        if (r < 0 && errno == EINTR)
            continue;
        return r < 0 ? -1 : long(r);
    }
}

bool sendAll(Handle s, const uint8_t *p, size_t n)
{
    while (n) {
        const ssize_t r = ::send(int(s), p, n, MSG_NOSIGNAL);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += r;
        n -= size_t(r);
    }
    return true;
}

void shutdownBoth(Handle s)
{
    if (s != kNone)
        ::shutdown(int(s), SHUT_RDWR);
}

void closeHandle(Handle s)
{
    if (s != kNone)
        ::close(int(s));
}

} // namespace vendorsim::net
