// What the prompt pace keeps of the login pause it skips. The prescribed pace spends the 200 ms
// after the last login chunk in its pause, where a refusal or a prompt the device repeats is
// still taken as part of the login. The prompt pace goes on at once, so for those 200 ms it
// tests every chunk that is not part of a reply for a refusal, holds back what would change the
// device, and takes a value's reply only when it begins with its query: a prompt sent twice, or
// sent before the device answered the password, is never read as a value.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "devlist/device_record.h"
#include "platform/event_loop.h"
#include "session/login_chunks.h"
#include "session/session_state.h"

namespace session {

constexpr uint32_t kLoginPauseMs = 200;

// "DATE", "TIME", a variable (".ipAdEntAddr=", ".sysName=" ...), "WRITE" and "CPURESET" change a
// device; the queries, "&save", "log 20", a bare CR and "q" do not.
bool ChangesDevice(std::string_view command);

// A send that waits for the end of the 200 ms: its bytes, and the line the terminal shows for it
// once it has gone out (empty for none).
struct HeldSend {
    std::string bytes;
    std::string echo;
};

// Follows the device's answer to the last command: a reply repeats its command and ends at the
// next prompt (">"). What came before the repeat is not the reply.
class ReplyHead {
public:
    // The command went out (empty: a bare CR or a line, whose answer repeats nothing).
    void expect(std::string_view command);
    // The next chunk. While strict, a chunk with a prompt that does not begin with the command
    // is a stray prompt: it, and what follows it up to its own prompt, is not the reply.
    void take(std::string_view chunk, bool strict);
    // The chunk taken last is (part of) a reply that begins with its command: device text, not
    // a message of the device's own.
    bool inReply() const { return m_inReply; }
    // The chunk taken last holds a prompt that ends the reply, not a stray one.
    bool endsReply() const { return m_endsReply; }

private:
    std::string m_command;
    std::string m_head;    // what came since the command, at most as many bytes as it has
    bool m_open = false;   // the command's repeat is in; its prompt is not
    bool m_stray = false;  // a stray prompt's text is in; its prompt is not
    bool m_inReply = false;
    bool m_endsReply = false;
};

// A session's reckoning of the 200 ms after the last login chunk, on the loop's tick count: the
// login pause's one timer and the chunks whose tests wait for it, when the 200 ms end, what waits
// for them, the reply it follows meanwhile, and the values the record had at start, which a
// refusal in the window leaves as the prescribed pace, which never read any, does.
class LoginWindow {
public:
    LoginWindow(platform::EventLoop& loop, Pace pace)
        : m_loop(loop), m_pace(pace), m_pause(loop.createTimer()) {}

    // A new session on rec: no login chunk seen or waiting, nothing held, no reply followed.
    void reset(const devlist::DeviceRecord& rec);
    // Runs when the pause ends.
    void onPauseEnd(std::function<void()> callback) { m_pause->setCallback(std::move(callback)); }
    // The pause runs until the deadline of the latest waiting login chunk, which is the last to
    // pass; at the prompt pace, until the end of the 200 ms while sends wait.
    bool pauseActive() const { return m_pause->isActive(); }
    // A login chunk's tests wait for its pause, which starts again.
    void wait(LoginTests tests);
    // The pause has ended: the waiting chunks' tests, latest first.
    std::vector<LoginTests> endPause();
    // No login chunk is tested any more.
    void stopPause();
    size_t waitingChunks() const { return m_waiting.size(); }
    // A login chunk came: its pause ends kLoginPauseMs from now.
    void loginChunk();
    // The prompt pace's 200 ms after the last login chunk have not passed yet.
    bool open() const;
    // The latest login chunk's pause has ended.
    bool over() const { return static_cast<int32_t>(m_loop.tickCount() - m_deadline) >= 0; }
    uint32_t msLeft() const { return m_deadline - m_loop.tickCount(); }

    // A send must wait: something waits already (the device gets everything in order), or it
    // changes a device in send mode while the window is open.
    bool mustHold(bool changesDevice, bool sendMode) const {
        return !m_held.empty() || (changesDevice && sendMode && open());
    }
    // The send waits for the end of the 200 ms; the pause runs until then.
    void hold(std::string bytes, std::string echo);
    std::vector<HeldSend> takeHeld();
    void dropHeld() { m_held.clear(); }

    ReplyHead& reply() { return m_reply; }
    // Puts back the values rec had at start.
    void restoreStart(devlist::DeviceRecord& rec) const;

private:
    platform::EventLoop& m_loop;
    Pace m_pace;
    std::unique_ptr<platform::Timer> m_pause;
    LoginChunks m_waiting;
    uint32_t m_deadline = 0;       // tick count at which the latest chunk's pause ends
    bool m_seen = false;           // a login chunk came: m_deadline holds
    std::vector<HeldSend> m_held;  // in the order sent
    ReplyHead m_reply;
    std::string m_startVersion, m_startMac, m_startName;
};

}  // namespace session
