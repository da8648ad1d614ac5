// A simulator serving on its own thread for the length of a test.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <thread>

#include "server.h"

namespace devsim::testing {

class RunningServer {
public:
    explicit RunningServer(const std::vector<std::string>& args) {
        auto config = parseCommandLine(args);
        if (!config.value) throw std::runtime_error(config.error);
        m_server = std::make_unique<Server>(*config.value, nullptr);
        if (auto error = m_server->open(); !error.empty()) throw std::runtime_error(error);
        if (pipe(m_stop) != 0) throw std::runtime_error("pipe");
        m_loop = std::thread([this] { m_server->run(m_stop[0]); });
    }
    ~RunningServer() {
        if (write(m_stop[1], "x", 1) != 1) std::terminate();
        m_loop.join();
        close(m_stop[0]);
        close(m_stop[1]);
    }
    Server& server() { return *m_server; }

private:
    std::unique_ptr<Server> m_server;
    int m_stop[2] = {-1, -1};
    std::thread m_loop;
};

}  // namespace devsim::testing
