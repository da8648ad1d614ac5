// The runner's verbs in-process, on virtual time: each test gets a folder of its own (the
// current folder while it runs) with the settings file s.Ini, devices played by the simulator's
// dialogue on fake connections and its replies on the fake search network, a fixed clock, and
// the verb's output and error streams in memory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "devlist/line_store.h"
#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_host_address.h"
#include "fake_tcp_socket.h"
#include "fake_udp_socket.h"
#include "file_bytes.h"
#include "played_device.h"
#include "runner/verbs.h"
#include "search.h"
#include "text/cp932.h"

namespace verbtest {

namespace fs = std::filesystem;
using testsupport::readBytes;
using testsupport::writeBytes;

// A verb's wait: a virtual millisecond at a time until its work is done, with the operator's
// interrupts and the test's events at their moments (ms after the wait began).
class FakeServing : public runner::Serving {
public:
    explicit FakeServing(testsupport::FakeEventLoop& loop) : m_loop(loop) {}
    void serve(const std::function<bool()>& done, std::function<void()> onInterrupt) override {
        const uint32_t start = m_loop.tickCount();
        // The list writes and transcripts take real time on threads of their own.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (uint64_t step = 0; !done(); ++step) {
            ASSERT_LT(std::chrono::steady_clock::now(), limit) << "the verb never finished";
            const uint32_t now = m_loop.tickCount() - start;
            for (auto& [at, event] : events)
                if (at <= now && event) std::exchange(event, nullptr)();
            for (uint32_t& at : interruptsAt)
                if (at <= now && onInterrupt) at = UINT32_MAX, onInterrupt();
            m_loop.advance(1);
            if (step % 64 == 0) std::this_thread::sleep_for(std::chrono::microseconds(50));
        }
    }
    void wake() override {}

    std::vector<uint32_t> interruptsAt;
    std::vector<std::pair<uint32_t, std::function<void()>>> events;

private:
    testsupport::FakeEventLoop& m_loop;
};

struct Result {
    int code = -1;
    std::string errors;  // the error stream, UTF-8
    std::string output;
};

class VerbTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-verbs-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);
        writeBytes("s.Ini", "[setting]\r\nwait1=0\r\n");
        m_network.onConnection = [this](testsupport::FakeConnection& c) {
            c.onOpen = [this](testsupport::FakeConnection& conn) { answer(conn); };
        };
        // Every device answers a search request, to the port it came from.
        m_udp.onSend = [this](const testsupport::FakeUdpNetwork::Sent& s) {
            if (s.port != devsim::kSearchPort || !devsim::isSearchRequest(s.bytes)) return;
            for (const auto& [address, device] : m_devices)
                for (std::string& reply : devsim::searchReplies(device->config()))
                    m_udp.deliver(s.fromPort, {std::move(reply), address, devsim::kSearchPort}, 5);
        };
    }
    void TearDown() override {
        fs::current_path(m_oldCwd);
        if (!HasFailure()) fs::remove_all(m_dir);
    }

    // Devices as the simulator's command line gives them: "127.0.0.N,key=value,...".
    void devices(const std::vector<std::string>& specs) {
        for (const std::string& line : specs) {
            auto parsed = devsim::parseDevice(line, devsim::kDefaultTelnetPort);
            ASSERT_TRUE(parsed.value) << line << ": " << parsed.error;
            m_devices[line.substr(0, line.find(','))] =
                std::make_unique<devsim::DeviceState>(*parsed.value);
        }
    }
    void writeList(const std::vector<std::string>& lines) {
        writeBytes("list.csv", devlist::LineStore(lines).toBytes());
    }
    devlist::LineStore list() const {
        return devlist::LineStore::fromFileBytes(readBytes("list.csv"));
    }
    std::string message(size_t line) const {
        return devlist::FieldGet(devlist::kMessage, list()[line]);
    }

    // The verb of args with "--list list.csv --ini s.Ini", and "--work work" unless args name one.
    Result runner(std::vector<std::string> args) {
        for (const char* a : {"--list", "list.csv", "--ini", "s.Ini"}) args.push_back(a);
        if (std::find(args.begin(), args.end(), "--work") == args.end())
            args.insert(args.end(), {"--work", "work"});
        const runner::CliOptions options = runner::ParseCli(args);
        EXPECT_EQ(options.error, "") << args[0];
        std::FILE* out = std::tmpfile();
        std::FILE* err = std::tmpfile();
        runner::Terminal terminal(out, err);
        runner::Context context{m_loop, m_network, m_udp, m_host, m_clock, terminal, m_serving};
        const Result r{runner::RunVerb(options, context), contents(err), contents(out)};
        std::fclose(out);
        std::fclose(err);
        return r;
    }

    fs::path m_dir;
    testsupport::FakeEventLoop m_loop;
    testsupport::FakeNetwork m_network{m_loop};
    testsupport::FakeUdpNetwork m_udp{m_loop};
    testsupport::FakeHostAddress m_host;
    testsupport::FakeClock m_clock;
    FakeServing m_serving{m_loop};

private:
    static std::string contents(std::FILE* f) {
        std::fflush(f);
        std::rewind(f);
        std::string s;
        char buf[4096];
        for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
        return s;
    }
    // A connection to an address no device has is never answered.
    void answer(testsupport::FakeConnection& conn) {
        auto device = m_devices.find(conn.host());
        if (device != m_devices.end()) testsupport::PlayDevice(m_loop, conn, *device->second);
    }

    fs::path m_oldCwd;
    std::map<std::string, std::unique_ptr<devsim::DeviceState>> m_devices;
};

}  // namespace verbtest
