// What the prompt pace keeps of the login pause it skips. The prescribed pace spends the 200 ms
// after the last login chunk in its pause, where a refusal or a prompt the device repeats is
// still taken as part of the login. The prompt pace goes on at once, so for those 200 ms it
// tests every chunk for a refusal, holds back what would change the device, and takes a value's
// reply only when it begins with its query: a prompt sent twice, or sent before the device
// answered the password, is never read as a value.
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

// Tells the reply to a value query from a prompt that came before it.
class ReplyHead {
public:
    // The query went out; its reply repeats it.
    void expect(std::string_view query);
    // Whether chunk is the reply the step reads: it holds a prompt and, while strict, what came
    // since the query went out begins with the query. A chunk that does not is a stray prompt:
    // it and what follows it up to its own ">" are passed over, strict or not.
    bool accepts(std::string_view chunk, bool strict);

private:
    std::string m_query;
    std::string m_head;  // the reply's first bytes, at most as many as the query has
    bool m_stray = false;
};

}  // namespace session
