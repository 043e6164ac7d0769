#pragma once
// A listening TCP socket on an ephemeral loopback port, for the tests' HTTP servers.

#include <netinet/in.h>
#include <sys/socket.h>

inline int listenOnLoopback(int backlog, int& port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t length = sizeof address;
    ::bind(listener, reinterpret_cast<sockaddr*>(&address), length);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    ::listen(listener, backlog);
    return listener;
}
