#pragma once
// A UDP server on 127.0.0.1 for tests: answers every datagram `copies` times, each
// copy turned into a DNS response (QR bit, copy number in the low flag bits), after
// an optional delay. Port 0 picks a free port; port 53 needs a network namespace.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class UdpAnswerServer {
public:
    using Datagram = std::vector<std::uint8_t>;

    explicit UdpAnswerServer(std::uint16_t port, int copies = 1, std::chrono::milliseconds delay = {})
        : copies_(copies), delay_(delay) {
        fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        timeval timeout{0, 50000};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        thread_ = std::thread([this] { serve(); });
    }
    ~UdpAnswerServer() {
        stopping_ = true;
        thread_.join();
        ::close(fd_);
    }

    bool bound() const { return bound_; }
    std::uint16_t port() const { return port_; }
    std::vector<Datagram> queries() const {
        std::lock_guard lock(mutex_);
        return queries_;
    }
    // The source port of each query, in the same order.
    std::vector<std::uint16_t> sourcePorts() const {
        std::lock_guard lock(mutex_);
        return sourcePorts_;
    }
    static Datagram answerTo(Datagram query, int copy) {
        if (query.size() > 3) {
            query[2] |= 0x80;
            query[3] = static_cast<std::uint8_t>(0x80 | copy);
        }
        return query;
    }

private:
    void serve() {
        while (!stopping_) {
            Datagram buffer(4096);
            sockaddr_in client{};
            socklen_t length = sizeof client;
            ssize_t size = ::recvfrom(fd_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&client), &length);
            if (size < 0) continue;
            buffer.resize(static_cast<std::size_t>(size));
            {
                std::lock_guard lock(mutex_);
                queries_.push_back(buffer);
                sourcePorts_.push_back(ntohs(client.sin_port));
            }
            std::this_thread::sleep_for(delay_);
            for (int copy = 0; copy < copies_; ++copy) {
                auto answer = answerTo(buffer, copy);
                ::sendto(fd_, answer.data(), answer.size(), 0, reinterpret_cast<sockaddr*>(&client), length);
            }
        }
    }

    int copies_;
    std::chrono::milliseconds delay_;
    int fd_ = -1;
    bool bound_ = false;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::vector<Datagram> queries_;
    std::vector<std::uint16_t> sourcePorts_;
    std::thread thread_;
};
