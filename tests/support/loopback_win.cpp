#include "support/loopback.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <thread>

namespace testutil {

namespace {

SOCKET tcpSocket()
{
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
}

sockaddr_in loopbackAt(uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

} // namespace

bool recvExactly(SocketHandle fd, uint8_t *buffer, size_t n)
{
    size_t got = 0;
    while (got < n) {
        const int r = ::recv(SOCKET(fd), reinterpret_cast<char *>(buffer + got), int(n - got), 0);
        if (r <= 0)
            return false;
        got += size_t(r);
    }
    return true;
}

uint16_t portWithNothingListening()
{
    const SOCKET s = tcpSocket();
    sockaddr_in a = loopbackAt(0);
    int len = sizeof a;
    // Should the bind fail, the port read back is 0, which nobody listens on either.
    (void)::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len);
    ::closesocket(s);
    return ntohs(a.sin_port);
}

Listener::Listener(int backlog)
{
    const SOCKET s = tcpSocket();
    fd = SocketHandle(s);
    sockaddr_in a = loopbackAt(0);
    int len = sizeof a;
    ok = s != INVALID_SOCKET && ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::listen(s, backlog) == 0 && ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0;
    port = ntohs(a.sin_port);
}

Listener::~Listener()
{
    for (SocketHandle f : fillers)
        ::closesocket(SOCKET(f));
    ::closesocket(SOCKET(fd));
}

void Listener::fillQueue()
{
    for (int i = 0; i < 3; ++i) {
        const SOCKET f = tcpSocket();
        u_long on = 1;
        ::ioctlsocket(f, FIONBIO, &on);
        const sockaddr_in a = loopbackAt(port);
        (void)::connect(f, reinterpret_cast<const sockaddr *>(&a), sizeof a); // non-blocking: under way
        fillers.push_back(SocketHandle(f));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

SocketHandle Listener::accept(int waitMs) const
{
    if (waitMs >= 0) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(SOCKET(fd), &readable);
        timeval tv{waitMs / 1000, (waitMs % 1000) * 1000};
        if (::select(0, &readable, nullptr, nullptr, &tv) <= 0)
            return kNoSocket;
    }
    const SOCKET s = ::accept(SOCKET(fd), nullptr, nullptr);
    return s == INVALID_SOCKET ? kNoSocket : SocketHandle(s);
}

long peerReceive(SocketHandle s, uint8_t *buffer, size_t size)
{
    const int r = ::recv(SOCKET(s), reinterpret_cast<char *>(buffer), int(size), 0);
    return r == SOCKET_ERROR ? -1 : long(r);
}

bool peerSend(SocketHandle s, const uint8_t *bytes, size_t length)
{
    return ::send(SOCKET(s), reinterpret_cast<const char *>(bytes), int(length), 0) == int(length);
}

void peerClose(SocketHandle s)
{
    if (s != kNoSocket)
        ::closesocket(SOCKET(s));
}

} // namespace testutil
