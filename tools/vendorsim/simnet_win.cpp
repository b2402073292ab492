#include "vendorsim/simnet.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>

namespace vendorsim::net {

namespace {

bool winsockReady()
{
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

SOCKET newSocket(int family, int type, int protocol)
{
    if (!winsockReady())
        return INVALID_SOCKET;
    return ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

std::string lastError(const char *what)
{
    return std::string(what) + ": Winsock error " + std::to_string(::WSAGetLastError());
}

// Waits up to ms milliseconds (-1: without end) until `s` is readable or the wake is
// signalled: 1 `s` is readable, 0 the time passed, -1 woken or failed.
int waitReadable(SOCKET s, const Wake &wake, int ms)
{
    fd_set readable;
    FD_ZERO(&readable);
    if (s != INVALID_SOCKET)
        FD_SET(s, &readable);
    FD_SET(SOCKET(wake.watch), &readable);
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    const int r = ::select(0, &readable, nullptr, nullptr, ms < 0 ? nullptr : &tv);
    if (r == SOCKET_ERROR || (r > 0 && FD_ISSET(SOCKET(wake.watch), &readable)))
        return -1;
    return r == 0 ? 0 : 1;
}

} // namespace

bool isLoopback(const std::string &address)
{
    if (!winsockReady())
        return false;
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
    if (!winsockReady()) {
        why = "Winsock cannot start";
        return false;
    }
    sockaddr_storage ss{};
    int len = 0;
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
    const SOCKET s = newSocket(family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        why = lastError("socket");
        return false;
    }
    // Windows lets a second listener share a port with SO_REUSEADDR; the exclusive use
    // keeps a busy port an error, as it is on POSIX.
    BOOL one = TRUE;
    ::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char *>(&one), sizeof one);
    if (::bind(s, reinterpret_cast<sockaddr *>(&ss), len) != 0) {
        why = "cannot bind " + address + ":" + std::to_string(port) + ": Winsock error " +
            std::to_string(::WSAGetLastError());
        ::closesocket(s);
        return false;
    }
    if (::listen(s, 8) != 0) {
        why = lastError("listen");
        ::closesocket(s);
        return false;
    }
    sockaddr_storage bound{};
    int blen = sizeof bound;
    ::getsockname(s, reinterpret_cast<sockaddr *>(&bound), &blen);
    port = ntohs(family == AF_INET ? reinterpret_cast<sockaddr_in *>(&bound)->sin_port
                                   : reinterpret_cast<sockaddr_in6 *>(&bound)->sin6_port);
    listener = Handle(s);
    return true;
}

Handle acceptOne(Handle listener)
{
    const SOCKET s = ::accept(SOCKET(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return kNone;
    // An accepted socket takes the listener's attributes; it is never inherited either.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    BOOL one = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&one), sizeof one);
    return Handle(s);
}

bool makeWake(Wake &wake, std::string &why)
{
    // A datagram socket on loopback connected to itself: a byte sent to it, never read,
    // keeps it readable for every wait.
    const SOCKET s = newSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        why = lastError("socket");
        return false;
    }
    sockaddr_in self{};
    self.sin_family = AF_INET;
    self.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int len = sizeof self;
    if (::bind(s, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr *>(&self), &len) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr *>(&self), sizeof self) != 0) {
        why = lastError("wake-up socket");
        ::closesocket(s);
        return false;
    }
    wake.watch = wake.signal = Handle(s);
    return true;
}

void signalWake(const Wake &wake)
{
    (void)::send(SOCKET(wake.signal), "x", 1, 0);
}

void closeWake(Wake &wake)
{
    closeHandle(wake.watch);
    wake.watch = wake.signal = kNone;
}

bool waitForConnection(Handle listener, const Wake &wake)
{
    return waitReadable(SOCKET(listener), wake, -1) == 1;
}

bool sleepUnlessWoken(const Wake &wake, int ms)
{
    return waitReadable(INVALID_SOCKET, wake, std::max(ms, 0)) == 0;
}

long receiveSome(Handle s, uint8_t *buffer, size_t size)
{
    const int r = ::recv(SOCKET(s), reinterpret_cast<char *>(buffer), int(std::min<size_t>(size, 1 << 20)), 0);
    return r == SOCKET_ERROR ? -1 : long(r);
}

bool sendAll(Handle s, const uint8_t *p, size_t n)
{
    while (n) {
        const int r = ::send(SOCKET(s), reinterpret_cast<const char *>(p), int(std::min<size_t>(n, 1 << 20)), 0);
        if (r == SOCKET_ERROR)
            return false;
        p += r;
        n -= size_t(r);
    }
    return true;
}

void shutdownBoth(Handle s)
{
    if (s != kNone)
        ::shutdown(SOCKET(s), SD_BOTH);
}

void closeHandle(Handle s)
{
    if (s != kNone)
        ::closesocket(SOCKET(s));
}

} // namespace vendorsim::net
