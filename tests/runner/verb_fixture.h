// The runner's verbs in-process, on virtual time: each test gets a folder of its own (the
// current folder while it runs) with the settings file s.Ini and the list list.csv, devices
// played by the simulator's dialogue on fake connections and its replies on a fake search
// network, a fixed clock, and the verb's output and error streams kept in memory.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "devlist/fields.h"
#include "devlist/line_store.h"
#include "dialogue.h"
#include "discovery/search_request.h"
#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_host_address.h"
#include "fake_tcp_socket.h"
#include "fake_udp_socket.h"
#include "file_bytes.h"
#include "options.h"
#include "runner/cli_options.h"
#include "runner/context.h"
#include "runner/verbs.h"
#include "search.h"
#include "text/cp932.h"

namespace verbtest {

namespace fs = std::filesystem;
using testsupport::readBytes;
using testsupport::writeBytes;

// The wait of a verb on virtual time: a millisecond at a time until its work is done, firing the
// operator's interrupts and the test's own events at their moments (ms after the wait began).
class FakeServing : public runner::Serving {
public:
    explicit FakeServing(testsupport::FakeEventLoop& loop) : m_loop(loop) {}
    void serve(const std::function<bool()>& done, std::function<void()> onInterrupt) override {
        const uint32_t start = m_loop.tickCount();
        // The list writes and transcripts run on threads of their own, in real time.
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (uint64_t step = 0; !done(); ++step) {
            if (std::chrono::steady_clock::now() > limit) {
                ADD_FAILURE() << "the verb never finished";
                return;
            }
            const uint32_t now = m_loop.tickCount() - start;
            for (auto& [at, event] : events) {
                if (at > now || !event) continue;
                auto fire = std::move(event);
                event = nullptr;
                fire();
            }
            for (uint32_t& at : interruptsAt) {
                if (at > now || !onInterrupt) continue;
                at = UINT32_MAX;
                onInterrupt();
            }
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

// A stream kept in memory.
class Captured {
public:
    Captured() : m_file(::open_memstream(&m_buffer, &m_size)) {}
    ~Captured() {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    std::FILE* file() { return m_file; }
    // Everything written since the last take.
    std::string take() {
        std::fflush(m_file);
        std::string out(m_buffer, m_size);
        std::rewind(m_file);
        return out;
    }

private:
    char* m_buffer = nullptr;
    size_t m_size = 0;
    std::FILE* m_file;
};

struct Result {
    int code = -1;
    std::string errors;  // the error stream, UTF-8
    std::string output;  // the output, UTF-8
};

// A simulated device: its variables shared by its connections, each connection a dialogue.
struct PlayedDevice {
    explicit PlayedDevice(devsim::DeviceConfig config) : state(std::move(config)) {}
    devsim::DeviceState state;
    std::vector<std::unique_ptr<devsim::Dialogue>> dialogues;
};

class VerbTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/qlx-verbs-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        m_oldCwd = fs::current_path();
        fs::current_path(m_dir);
        writeBytes("s.Ini", "[setting]\r\nwait1=0\r\n");
        m_network.onConnection = [this](testsupport::FakeConnection& c) { attach(c); };
        m_udp.onSend = [this](const testsupport::FakeUdpNetwork::Sent& s) { answerSearch(s); };
    }
    void TearDown() override {
        fs::current_path(m_oldCwd);
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(m_dir, ec);
    }

    // Devices as the simulator's command line gives them: "127.0.0.N,key=value,...".
    void devices(const std::vector<std::string>& specs) {
        for (const std::string& spec : specs) {
            auto parsed = devsim::parseDevice(spec, devsim::kDefaultTelnetPort);
            ASSERT_TRUE(parsed.value) << spec << ": " << parsed.error;
            const std::string address = spec.substr(0, spec.find(','));
            m_devices[address] = std::make_unique<PlayedDevice>(*parsed.value);
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

    // The verb of args on the fakes, with --list list.csv --ini s.Ini and --work work unless
    // args name another.
    Result runner(std::vector<std::string> args) {
        for (const char* a : {"--list", "list.csv", "--ini", "s.Ini"}) args.push_back(a);
        if (std::find(args.begin(), args.end(), "--work") == args.end())
            args.insert(args.end(), {"--work", "work"});
        const runner::CliOptions options = runner::ParseCli(args);
        EXPECT_EQ(options.error, "") << args[0];
        Captured out, err;
        runner::Terminal terminal(out.file(), err.file());
        runner::Context context{m_loop, m_network, m_udp, m_host, m_clock, terminal, m_serving};
        Result r;
        r.code = runner::RunVerb(options, context);
        r.output = out.take();
        r.errors = err.take();
        return r;
    }

    fs::path m_dir;
    fs::path m_oldCwd;
    testsupport::FakeEventLoop m_loop;
    testsupport::FakeNetwork m_network{m_loop};
    testsupport::FakeUdpNetwork m_udp{m_loop};
    testsupport::FakeHostAddress m_host;
    testsupport::FakeClock m_clock;
    FakeServing m_serving{m_loop};

private:
    // A connection to an address no device has is never answered.
    void attach(testsupport::FakeConnection& c) {
        c.onOpen = [this](testsupport::FakeConnection& conn) {
            auto device = m_devices.find(conn.host());
            if (device == m_devices.end()) return;
            PlayedDevice& d = *device->second;
            d.dialogues.push_back(std::make_unique<devsim::Dialogue>(d.state));
            devsim::Dialogue* dialogue = d.dialogues.back().get();
            auto due = std::make_shared<uint32_t>(0);
            play(conn, dialogue->start(), *due);
            conn.onSend = [this, dialogue, due](testsupport::FakeConnection& c2,
                                                std::string_view bytes) {
                play(c2, dialogue->receive(bytes), *due);
            };
        };
    }
    // The writes in order, each after the one before it, as the simulator's server times them.
    void play(testsupport::FakeConnection& c, std::vector<devsim::Write> writes, uint32_t& due) {
        for (auto& w : writes) {
            due = std::max(due, m_loop.tickCount()) + static_cast<uint32_t>(w.delayMs);
            if (!w.flood) c.deliverAt(due, std::move(w.bytes));
        }
    }
    // Every device answers a search request on the search port, to the port it came from.
    void answerSearch(const testsupport::FakeUdpNetwork::Sent& s) {
        if (s.port != devsim::kSearchPort || !devsim::isSearchRequest(s.bytes)) return;
        for (const auto& [address, device] : m_devices) {
            for (std::string& reply : devsim::searchReplies(device->state.config()))
                m_udp.deliver(s.fromPort, {std::move(reply), address, devsim::kSearchPort}, 5);
        }
    }

    std::map<std::string, std::unique_ptr<PlayedDevice>> m_devices;
};

}  // namespace verbtest
