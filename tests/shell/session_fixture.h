// The window's sessions on virtual time: a started App on fake devices, the answers of a whole
// dialogue, and helpers to play them and let time run.
#pragma once

#include <functional>

#include "app_fixture.h"
#include "devlist/fields.h"
#include "fake_clock.h"
#include "fake_tcp_socket.h"
#include "fleet/list_writer.h"
#include "shell/session_controller.h"

namespace shelltest {

using shell::Control;
using Chunks = std::vector<std::string>;

// A device's answers to a whole dialogue; `lines` settings lines are streamed in send mode.
inline Chunks transcript(bool send, int lines = 0) {
    Chunks t = {"login ready.\r\nUser ID:",
                "Password:",
                "\r\nWelcome\r\nQLX> ",
                "ver V1.23\r\nQLX> ",
                "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ",
                "?sysName=\"ROOM-A\"\r\nQLX> "};
    if (send) {
        t.push_back("&save\r\n.a=1\r\nLOAD_END\r\nQLX> ");
        for (int i = 0; i <= lines; ++i) t.push_back("QLX> ");
    }
    for (const char* c :
         {"&save\r\n.a=7\r\nLOAD_END\r\nQLX> ", "log 20\r\n12/07 boot\r\n---------- end\r\nQLX> ",
          "QLX> ", "QLX> ", "bye.\r\n"})
        t.push_back(c);
    return t;
}
// A complete check whose device reports the given name.
inline Chunks named(const std::string& name) {
    Chunks t = transcript(false);
    t[5] = "?sysName=\"" + name + "\"\r\nQLX> ";
    return t;
}
inline const Chunks kRefused = {"login Incorrect\r\n"};

// Record `no` on 127.0.0.<no>, with or without its check mark.
inline std::string checked(int no, const std::string& name, bool on = true) {
    return rec(no, on ? "F0000001" : "F0000000", name, "127.0.0." + std::to_string(no));
}
inline std::string unchecked(int no, const std::string& name) {
    return checked(no, name, false);
}

// A runner's result, told apart from the window's by its model/version.
inline fleet::Outcome runnerResult(int result, const std::string& lastSend,
                                   const std::string& version = "RUNNER") {
    fleet::Outcome o;
    o.result = result;
    o.lastSend = lastSend;
    o.modelVersion = version;
    return o;
}

// A runner started on the list file as it is now: its results look for the records it read.
struct Runner {
    explicit Runner(const std::string& path) : writer(path) {
        auto loaded = fleet::LoadList(path);
        EXPECT_TRUE(loaded) << path;
        if (loaded) start = std::make_shared<const devlist::LineStore>(loaded->raw);
    }
    fleet::ListWriter::Status record(int line, const fleet::Outcome& o) {
        return writer.record(fleet::IdentityOf(start, line), o).status;
    }
    std::shared_ptr<const devlist::LineStore> start = std::make_shared<devlist::LineStore>();
    fleet::ListWriter writer;
};
constexpr auto kWritten = fleet::ListWriter::Status::Written;

class Sessions : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        m_devices = {&m_clock, &m_net, nullptr, nullptr, nullptr};
    }
    void startWith(const std::vector<std::string>& lines) {
        writeList(lines);
        start();
        m_base = m_net.connections().size();
    }
    shell::SessionController& ctl() { return *m_app->sessions(); }
    // Connections of the program started last, oldest first.
    size_t conns() const { return m_net.connections().size() - m_base; }
    testsupport::FakeConnection& conn(size_t i) { return *m_net.connections().at(m_base + i); }
    // Device i (0-based, in order of connection) sends its chunks, each handled in turn.
    void play(size_t i, const Chunks& chunks) {
        for (const auto& c : chunks) {
            conn(i).deliver(c);
            m_loop.runPending();
            // A device answers a login prompt only after the program did.
            auto* served = ctl().current();
            if (served && served->loginPauseActive()) m_loop.advance(session::kLoginPauseMs);
        }
    }
    // Virtual time runs on until cond holds (checked every millisecond). The list writes run
    // on their own thread in real time: each millisecond waits for the writes given meanwhile,
    // so each result lands at the virtual moment it was recorded.
    bool runUntil(const std::function<bool()>& cond, uint32_t limitMs = 30000) {
        for (uint32_t t = 0; t < limitMs && !cond(); ++t) {
            m_loop.advance(1);
            settle();
        }
        return cond();
    }
    void settle() {
        if (m_app && m_app->sessions()) m_loop.waitFor([&] { return ctl().writesPending() == 0; });
    }
    bool idle() { return !st().isEnabled(Control::Stop) && st().isEnabled(Control::BulkCheck); }
    std::string field(size_t line, int f) { return devlist::FieldGet(f, st().listStore[line]); }
    std::string listPath() const { return (m_dir / "list.csv").string(); }
    // The list file's lines as they are now.
    devlist::LineStore fileLines() const { return devlist::LineStore::fromFileBytes(listBytes()); }
    std::vector<std::string> infos() const {
        std::vector<std::string> out;
        for (const auto& s : m_dialogs.shown())
            if (s.kind == testsupport::ScriptedDialogs::Kind::Information) out.push_back(s.text);
        return out;
    }

    testsupport::FakeClock m_clock;
    testsupport::FakeNetwork m_net{m_loop};
    size_t m_base = 0;
};

}  // namespace shelltest
