// The floor of a fleet check on this machine: the runner's check dialogue (login answers, "ver",
// "?ifPhysAddress", "?sysName", "&save", "log 20", the date and time, CR, CR, "q") against
// qlx-devsim as fast as one thread can drive it, with P connections at once and nothing else:
// each command goes out as soon as the marker it waits for is in, no file is written, no
// result recorded. Only loopback addresses are accepted.
//
//   floor_client DEVICES_FILE PARALLEL      DEVICES_FILE: one "127.x.y.z:port" per line
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Step {
    const char* marker;  // waited for in what came since the last command
    std::string send;
};

std::vector<Step> dialogue() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    char date[32], time[32];
    std::strftime(date, sizeof date, "DATE %y/%m/%d\r", &tm);
    std::strftime(time, sizeof time, "TIME %H:%M:%S\r", &tm);
    return {{"ID:", "admin\r"},
            {"rd:", "plume\r"},
            {">", "ver\r"},
            {">", "?ifPhysAddress\r"},
            {">", "?sysName\r"},
            {">", "&save\r"},
            {"LOAD_END", "log 20\r"},
            {"----", std::string(date) + time + "\r"},
            {"> ", "\r"},
            {"> ", "q\r"},
            {".", ""}};
}

struct Connection {
    int fd = -1;
    size_t step = 0;
    std::string seen;
};

bool startConnection(Connection& c, const sockaddr_in& to) {
    c = {};
    c.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (c.fd < 0) return false;
    int one = 1;
    ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(c.fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0 &&
        errno != EINPROGRESS) {
        ::close(c.fd);
        c.fd = -1;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor_client DEVICES_FILE PARALLEL\n");
        return 2;
    }
    std::vector<sockaddr_in> devices;
    std::ifstream in(argv[1]);
    for (std::string line; std::getline(in, line);) {
        auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(std::stoi(line.substr(colon + 1))));
        if (::inet_pton(AF_INET, line.substr(0, colon).c_str(), &a.sin_addr) != 1) continue;
        if ((ntohl(a.sin_addr.s_addr) >> 24) != 127) {
            std::fprintf(stderr, "floor_client: %s is not a loopback address\n", line.c_str());
            return 2;
        }
        devices.push_back(a);
    }
    const size_t parallel = std::max(1, std::atoi(argv[2]));
    const std::vector<Step> steps = dialogue();

    const auto begin = std::chrono::steady_clock::now();
    std::vector<Connection> slots(std::min(parallel, devices.size()));
    size_t next = 0, done = 0, failed = 0;
    auto startNext = [&](Connection& c) {
        while (next < devices.size()) {
            if (startConnection(c, devices[next++])) return;
            ++failed;
        }
        c.fd = -1;
    };
    for (auto& c : slots) startNext(c);
    std::vector<pollfd> fds;
    char buf[65536];
    for (;;) {
        fds.clear();
        for (auto& c : slots)
            if (c.fd >= 0) fds.push_back({c.fd, POLLIN, 0});
        if (fds.empty()) break;
        if (::poll(fds.data(), fds.size(), 10000) <= 0) {
            std::fprintf(stderr, "floor_client: no answer for 10 s\n");
            return 1;
        }
        for (auto& c : slots) {
            if (c.fd < 0) continue;
            pollfd* p = nullptr;
            for (auto& f : fds)
                if (f.fd == c.fd) p = &f;
            if (!p || !(p->revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = ::read(c.fd, buf, sizeof buf);
            if (n <= 0) {
                if (n < 0 && errno == EAGAIN) continue;
                ::close(c.fd);
                ++failed;
                startNext(c);
                continue;
            }
            c.seen.append(buf, static_cast<size_t>(n));
            const Step& s = steps[c.step];
            if (c.seen.find(s.marker) == std::string::npos) continue;
            c.seen.clear();
            if (s.send.empty()) {  // the "." after "q": the dialogue is complete
                ::close(c.fd);
                ++done;
                startNext(c);
                continue;
            }
            if (::write(c.fd, s.send.data(), s.send.size()) != static_cast<ssize_t>(s.send.size()))
                ++failed;
            ++c.step;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("floor: %zu devices, parallel %zu, %.3f s, %.2f ms per device, %zu failed\n", done,
                parallel, seconds, seconds * 1000 / std::max<size_t>(done, 1), failed);
    return failed == 0 ? 0 : 1;
}
