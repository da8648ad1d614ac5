// Any device text, in any chunking and timing, fed to one session on fakes: it must neither
// crash nor end twice, its texts stay bounded, and it always ends by the time-out at the latest.
//
// Input: the first byte chooses the six options and the reset from the settings file, the second
// the mode and the save name's length (the name is taken from the front); then records of
// [control][length][bytes], where control's low bits advance virtual time and its top bit queues
// the chunk without dispatching it, so that the next one arrives inside the login pause.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "fake_clock.h"
#include "fake_event_loop.h"
#include "fake_tcp_socket.h"
#include "scratch_dir.h"
#include "session/device_session.h"
#include "session/file_names.h"
#include "silent_dialogs.h"

namespace {

// One work folder per fuzzing process, removed with everything in it when the process exits.
const std::filesystem::path& workFolder() {
    static const testsupport::ScratchDir folder;
    return folder.path();
}

constexpr size_t kCap = 1 << 16;
const session::SessionMode kModes[] = {
    session::SessionMode::SingleCheck, session::SessionMode::SingleSend,
    session::SessionMode::BulkCheck, session::SessionMode::BulkSend, session::SessionMode::Stopped};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    if (in.size() < 2) return 0;
    const auto setup = static_cast<uint8_t>(in[0]);
    const size_t nameLength = std::min<size_t>(static_cast<uint8_t>(in[1]) % 16, in.size() - 2);
    in.remove_prefix(2);

    testsupport::FakeEventLoop loop;
    testsupport::FakeClock clock;
    testsupport::FakeNetwork net(loop);
    testsupport::SilentDialogs dialogs;
    devlist::EditPanel panel;
    panel.saveName = std::string(in.substr(0, nameLength));
    in.remove_prefix(nameLength);
    std::string safe = session::SafeFileName(panel.saveName);
    if (safe.find('/') != std::string::npos || safe.find("..") != std::string::npos) std::abort();

    bool opt[6];
    for (int i = 0; i < 6; ++i) opt[i] = (setup >> i) & 1;
    session::SessionMode mode = kModes[(static_cast<uint8_t>(data[1]) >> 4) % 5];
    int ended = 0;
    session::SessionContext ctx{loop,
                                clock,
                                dialogs,
                                panel,
                                {.setTime = opt[0],
                                 .registerIp = opt[1],
                                 .disableDhcp = opt[2],
                                 .registerName = opt[3],
                                 .write = opt[4],
                                 .cpuReset = opt[5]},
                                mode,
                                workFolder(),
                                [](const std::string&) {},
                                [&] { ++ended; },
                                {},
                                kCap};
    session::DeviceSession s(ctx, net.createTcpSocket());
    s.start("127.0.0.5", 23, 1, devlist::LineStore({".a=1", ".b=2"}), setup & 0x40);
    loop.runPending();
    auto& conn = net.last();

    while (in.size() >= 2) {
        const auto control = static_cast<uint8_t>(in[0]);
        size_t length = std::min<size_t>(static_cast<uint8_t>(in[1]), in.size() - 2);
        conn.deliver(std::string(in.substr(2, length)));
        in.remove_prefix(2 + length);
        if (control & 0x80) continue;
        loop.advance((control & 0x7f) * 37u);
        if (ended > 1) std::abort();
        if (s.terminal().size() > kCap || s.deviceLog().size() > kCap) std::abort();
        if (mode == session::SessionMode::Stopped && s.step() > session::SessionStep::ReadName &&
            s.step() != session::SessionStep::Idle)
            std::abort();  // no dump step without a mode that asks for one
    }
    loop.advance(2 * session::kTimeoutDialogueMs);
    if (ended != 1) std::abort();
    return 0;
}
