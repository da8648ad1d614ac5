// One device session on fakes: virtual time, a scripted device connection, a temporary work
// folder and the record boxes and options the session reads.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "scratch_dir.h"
#include "scripted_dialogs.h"
#include "session/device_session.h"

namespace sessiontest {

namespace fs = std::filesystem;
using session::SessionMode;
using session::SessionStep;

// A device's whole answer sequence for a send-mode run with two settings lines.
inline std::vector<std::string> sendTranscript() {
    return {
        "login ready.\r\nUser ID:",
        "Password:",
        "\r\nWelcome\r\nQLX> ",
        "ver V1.23\r\nQLX> ",
        "?ifPhysAddress=00:11:22:33:44:55\r\nQLX> ",
        "?sysName=\"ROOM-A\"\r\nQLX> ",
        "&save\r\n.a=1\r\n.b=2\r\nLOAD_END\r\nQLX> ",
        "QLX> ",
        "QLX> ",
        "QLX> ",
        "&save\r\n.a=7\r\n.b=8\r\nLOAD_END\r\nQLX> ",
        "log 20\r\n12/07 boot\r\n---------- end\r\nQLX> ",
        "QLX> ",
        "QLX> ",
        "bye.\r\n",
    };
}

class Rig {
public:
    Rig() {
        auto& r = panel.rec;
        r.listName = "room";
        r.ipAddress = "127.0.0.5";
        r.macAddress = "00:ee:80:00:00:01";
        panel.saveName = "QLX00ee80000001";
    }

    // work: the work folder (default: dir); cap: what the session's texts keep.
    session::DeviceSession& make(const fs::path& work = {},
                                 size_t cap = session::BoundedText::kDefaultCapBytes) {
        session.reset();
        session::SessionContext ctx{loop,
                                    clock,
                                    dialogs,
                                    panel,
                                    {.setTime = setTime,
                                     .registerIp = registerIp,
                                     .disableDhcp = disableDhcp,
                                     .registerName = registerName,
                                     .write = write,
                                     .cpuReset = cpuReset},
                                    mode,
                                    work.empty() ? dir : work,
                                    [this](const std::string& t) { logs.push_back(t); },
                                    [this] {
                                        ++ended;
                                        endedAt = loop.tickCount();
                                    },
                                    {},
                                    cap};
        ctx.pace = pace;
        ctx.saver = saver;
        session = std::make_unique<session::DeviceSession>(std::move(ctx), net.createTcpSocket());
        return *session;
    }
    // A session started towards the record, with its connecting notice handled.
    session::DeviceSession& start(std::vector<std::string> lines = {}, bool reset = false) {
        make().start(panel.rec.ipAddress, 23, 7, devlist::LineStore(std::move(lines)), reset);
        loop.runPending();
        return *session;
    }
    testsupport::FakeConnection& conn() { return net.last(); }
    // The device sends one chunk, and it is handled (with any login pause) before this returns,
    // as a device that waits for the answer sees it.
    void feed(const std::string& chunk) {
        conn().deliver(chunk);
        loop.runPending();
        if (session && session->loginPauseActive()) loop.advance(session::kLoginPauseMs);
    }
    void feedAll(const std::vector<std::string>& chunks, size_t count = SIZE_MAX) {
        for (size_t i = 0; i < chunks.size() && i < count; ++i) feed(chunks[i]);
    }
    std::string takeSent() {
        std::string s = conn().sent();
        conn().clearSent();
        return s;
    }
    std::string file(const std::string& name) const {
        std::ifstream in(dir / name, std::ios::binary);
        if (!in) return "<missing>";
        std::ostringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    size_t fileCount() const {
        size_t n = 0;
        for (auto& e : fs::recursive_directory_iterator(dir)) n += e.is_regular_file();
        return n;
    }
    SessionStep step() const { return session->step(); }

    testsupport::FakeEventLoop loop;
    testsupport::FakeClock clock;
    testsupport::ScriptedDialogs dialogs;
    devlist::EditPanel panel;
    bool setTime = false, registerIp = false, disableDhcp = false, registerName = false,
         write = false, cpuReset = false;
    SessionMode mode = SessionMode::SingleSend;
    session::Pace pace = session::Pace::Prescribed;
    session::FileSaver* saver = nullptr;  // none: each file saved on the loop
    testsupport::FakeNetwork net{loop};
    // In memory where there is such a folder: every file write syncs, and the split test
    // writes thousands.
    testsupport::ScratchDir scratch{fs::is_directory("/dev/shm") ? "/dev/shm" : "/tmp"};
    fs::path dir = scratch.path();
    std::vector<std::string> logs;
    int ended = 0;
    uint32_t endedAt = 0;  // the tick of the last end
    std::unique_ptr<session::DeviceSession> session;
};

}  // namespace sessiontest
