// The login chunks whose tests wait for their 200 ms pause. A chunk that comes during a pause
// gets a pause of its own inside it, so the latest chunk is tested first and then, before
// anything else, each earlier one, as waits nested one in another would unwind. Only what a
// chunk asks for is kept, never the chunk itself.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace session {

// How many login chunks may wait for their pause at once. A device that sends a chunk every
// millisecond would otherwise pile up five thousand before its time-out; past this many, a
// chunk's tests join those of the latest chunk that waits.
constexpr size_t kMaxPendingLoginChunks = 32;

// What one login chunk asks for, taken when it arrives.
struct LoginTests {
    bool ready = false;      // "ready."
    bool userId = false;     // "ID:"
    bool password = false;   // "rd:"
    bool incorrect = false;  // "Incorrect"
    bool failure = false;    // "re:"
    bool exists = false;     // "exists."
    bool prompt = false;     // ">"
    std::string failureText;

    static LoginTests of(std::string_view chunk);
};

class LoginChunks {
public:
    void add(LoginTests tests);
    // The waiting chunks' tests in the order they run: the latest first. None wait afterwards.
    std::vector<LoginTests> takeLatestFirst();
    void clear() { m_pending.clear(); }
    size_t size() const { return m_pending.size(); }
    bool empty() const { return m_pending.empty(); }

private:
    std::vector<LoginTests> m_pending;  // oldest first
};

}  // namespace session
