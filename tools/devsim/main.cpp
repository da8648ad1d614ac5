// qlx-devsim: simulated QLX devices on loopback for tests, demos and operators.
#include <signal.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "options.h"
#include "server.h"
#include "text/cp932.h"

namespace {

// A name as the terminal can show it: UTF-8, with control bytes spelled out.
std::string shown(const std::string& cp932) {
    std::string out;
    char hex[8];
    for (unsigned char b : text::decode(cp932)) {
        if (b < 0x20 || b == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02X", b);
            out += hex;
        } else {
            out += static_cast<char>(b);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("qlx-devsim " QLX_VERSION "\n", stdout);
            return 0;
        }
    }
    auto parsed = devsim::parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.value) {
        std::fprintf(stderr, "qlx-devsim: %s\nTry qlx-devsim --help\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.value->help) {
        std::fputs(devsim::usage().c_str(), stdout);
        return 0;
    }
    // The signals arrive as readable data on a descriptor the loop polls, so stopping needs no
    // global flag and never interrupts a write half way.
    // A shell starts background jobs with SIGINT ignored; an ignored signal is never queued.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTERM);
    sigaddset(&stop, SIGINT);
    sigprocmask(SIG_BLOCK, &stop, nullptr);
    int stopFd = signalfd(-1, &stop, SFD_CLOEXEC);
    if (stopFd < 0) {
        std::perror("qlx-devsim: signalfd");
        return 1;
    }
    // One listener per device and a connection each: a thousand devices need more descriptors
    // than the usual soft limit of 1024.
    if (rlimit limit{}; getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    const devsim::SimConfig config = *parsed.value;
    devsim::Server server(config, config.log ? stderr : nullptr);
    if (auto error = server.open(); !error.empty()) {
        std::fprintf(stderr, "qlx-devsim: %s\n", error.c_str());
        return 1;
    }
    auto ports = server.ports();
    for (size_t k = 0; k < config.devices.size(); ++k) {
        const auto& d = config.devices[k];
        std::printf("listening %s:%u %s\n", devsim::ipText(d.address).c_str(), ports[k],
                    shown(d.name).c_str());
    }
    if (config.search) std::printf("search 0.0.0.0:%u\n", server.searchPort());
    std::fflush(stdout);
    server.run(stopFd);
    close(stopFd);
    return 0;
}
