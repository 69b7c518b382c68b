#include "HostileServers.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace breezel::faults {

namespace {

sockaddr_in Loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A listening socket on a free loopback port; -1 on failure.
int Listen(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace

SilentListener::SilentListener() {
    listener_ = Listen(port_);
    thread_ = std::thread([this] {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;  // shut down
            }
            held_.push_back(client);
        }
    });
}

SilentListener::~SilentListener() {
    ::shutdown(listener_, SHUT_RDWR);  // wakes the accept
    thread_.join();
    ::close(listener_);
    for (const int fd : held_) {
        ::close(fd);
    }
}

ResetProxy::ResetProxy(int targetPort, std::uint64_t resetAfter)
    : targetPort_(targetPort), resetAfter_(resetAfter) {
    listener_ = Listen(port_);
    thread_ = std::thread([this] {
        while (!stop_) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (client < 0) {
                return;
            }
            serve(client);
        }
    });
}

ResetProxy::~ResetProxy() {
    stop_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

void ResetProxy::serve(int client) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(targetPort_);
    if (server < 0 ||
        ::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) != 0) {
        ::close(client);
        if (server >= 0) {
            ::close(server);
        }
        return;
    }
    std::uint64_t fromServer = 0;
    char buffer[16384];
    bool open = true;
    while (open && !stop_) {
        pollfd fds[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
        if (::poll(fds, 2, 100) < 0) {
            break;
        }
        if (fds[0].revents != 0) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            open = got > 0 && SendAll(server, buffer, static_cast<std::size_t>(got));
        }
        if (open && fds[1].revents != 0) {
            ssize_t got = ::recv(server, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            if (!reset_) {
                got = static_cast<ssize_t>(std::min<std::uint64_t>(static_cast<std::uint64_t>(got),
                                                                   resetAfter_ - fromServer));
                SendAll(client, buffer, static_cast<std::size_t>(got));
                fromServer += static_cast<std::uint64_t>(got);
                if (fromServer >= resetAfter_) {
                    // Closing with a zero linger time sends RST instead of FIN.
                    const linger abort{1, 0};
                    ::setsockopt(client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
                    reset_ = true;
                    break;
                }
            } else {
                open = SendAll(client, buffer, static_cast<std::size_t>(got));
            }
        }
    }
    ::close(client);
    ::close(server);
}

}  // namespace breezel::faults
