// The simulator's sockets: one TCP listener per device on its own 127.0.0.N, the connections'
// dialogues with their timed writes, and the search socket. One thread, one epoll loop: its cost
// follows what happens, not how many devices listen.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "dialogue.h"
#include "options.h"

namespace devsim {

class Server {
public:
    // log: where the dialogue is printed, or nullptr.
    Server(SimConfig config, std::FILE* log);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Binds every listener and the search socket; an error text, empty when all are open.
    std::string open();
    // The TCP port each device listens on, in the order given (the port chosen by the system
    // where 0 was asked for).
    std::vector<uint16_t> ports() const;
    uint16_t searchPort() const;
    // Serves until stopFd becomes readable or fails.
    void run(int stopFd);

private:
    struct Device;
    struct Connection;
    using Clock = std::chrono::steady_clock;

    void accept(Device& device);
    void read(Connection& c, Clock::time_point now);
    void enqueue(Connection& c, std::vector<Write> writes, Clock::time_point now);
    void pump(Connection& c, Clock::time_point now);
    void fillFlood(Connection& c, Clock::time_point now);
    void finish(Connection& c);
    void answerSearch();
    void sendDatagram(int fd, const std::string& bytes, uint32_t address, uint16_t port);
    void logBytes(const Connection& c, const char* direction, const std::string& bytes);
    int timeoutMs(Clock::time_point now) const;

    SimConfig m_config;
    std::FILE* m_log;
    std::vector<std::unique_ptr<Device>> m_devices;
    std::vector<std::unique_ptr<Connection>> m_connections;
    int m_searchFd = -1;
    uint16_t m_searchPort = 0;
};

}  // namespace devsim
