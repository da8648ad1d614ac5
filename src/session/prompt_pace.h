// What the prompt pace keeps of the login pause it skips. The prescribed pace spends the 200 ms
// after the last login chunk in its pause, where a refusal or a prompt the device repeats is
// still taken as part of the login. The prompt pace goes on at once, so for those 200 ms it
// tests every chunk that is not part of a reply for a refusal, holds back what would change the
// device, and takes a value's reply only when it begins with its query: a prompt sent twice, or
// sent before the device answered the password, is never read as a value.
#pragma once

#include <string>
#include <string_view>

namespace session {

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

}  // namespace session
