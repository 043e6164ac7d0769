// Open-loop UDP flood for the overload tests: each sender thread sends valid DNS
// queries for www.example.test as fast as sendmmsg goes, for a fixed time, and never
// reads the answers.   udp_flood ADDRESS PORT SECONDS SIZE SENDERS
// SIZE pads each query with zero octets after its question (at least the bare query).
// Prints the number of datagrams sent.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

std::vector<std::uint8_t> query(std::size_t size) {
    std::vector<std::uint8_t> bytes = {0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0};
    for (const char* label : {"www", "example", "test"}) {
        bytes.push_back(static_cast<std::uint8_t>(std::char_traits<char>::length(label)));
        for (const char* c = label; *c; ++c) bytes.push_back(static_cast<std::uint8_t>(*c));
    }
    bytes.insert(bytes.end(), {0, 0, 1, 0, 1});
    if (bytes.size() < size) bytes.resize(size);
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: udp_flood ADDRESS PORT SECONDS SIZE SENDERS\n");
        return 2;
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(std::atoi(argv[2])));
    if (inet_pton(AF_INET, argv[1], &to.sin_addr) != 1) {
        std::fprintf(stderr, "udp_flood: not an IPv4 address: %s\n", argv[1]);
        return 2;
    }
    const auto length = std::chrono::duration<double>(std::atof(argv[3]));
    const std::size_t size = std::strtoul(argv[4], nullptr, 10);
    const int senders = std::atoi(argv[5]);
    const auto end = std::chrono::steady_clock::now() + length;
    std::atomic<unsigned long long> sent{0};
    std::vector<std::thread> threads;
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&, s] {
            const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
            if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
                std::perror("udp_flood");
                std::exit(1);
            }
            constexpr int batch = 64;
            std::vector<std::vector<std::uint8_t>> datagrams(batch, query(size));
            std::vector<iovec> parts(batch);
            std::vector<mmsghdr> messages(batch);
            std::uint16_t id = static_cast<std::uint16_t>(s << 12);
            unsigned long long mine = 0;
            while (std::chrono::steady_clock::now() < end) {
                for (int i = 0; i < batch; ++i) {
                    datagrams[i][0] = static_cast<std::uint8_t>(id >> 8);
                    datagrams[i][1] = static_cast<std::uint8_t>(id++);
                    parts[i] = {datagrams[i].data(), datagrams[i].size()};
                    messages[i] = {};
                    messages[i].msg_hdr.msg_iov = &parts[i];
                    messages[i].msg_hdr.msg_iovlen = 1;
                }
                const int count = ::sendmmsg(fd, messages.data(), batch, 0);
                if (count > 0) mine += static_cast<unsigned long long>(count);
            }
            sent += mine;
            ::close(fd);
        });
    }
    for (auto& thread : threads) thread.join();
    std::printf("%llu\n", sent.load());
    return 0;
}
