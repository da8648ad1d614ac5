#include "session/login_chunks.h"

#include <utility>

#include "session/result_record.h"

namespace session {

LoginTests LoginTests::of(std::string_view chunk) {
    auto contains = [chunk](std::string_view marker) {
        return chunk.find(marker) != std::string_view::npos;
    };
    LoginTests t;
    t.ready = contains("ready.");
    t.userId = contains("ID:");
    t.password = contains("rd:");
    t.incorrect = contains("Incorrect");
    t.failure = contains("re:");
    t.exists = contains("exists.");
    t.prompt = contains(">");
    if (t.failure) {
        size_t at = chunk.find("failure:");
        t.failureText =
            std::string(chunk.substr(at == std::string_view::npos ? 0 : at, kFailureTextBytes));
    }
    return t;
}

void LoginChunks::add(LoginTests tests) {
    if (m_pending.size() < kMaxPendingLoginChunks) {
        m_pending.push_back(std::move(tests));
        return;
    }
    LoginTests& latest = m_pending.back();
    latest.ready |= tests.ready;
    latest.userId |= tests.userId;
    latest.password |= tests.password;
    latest.incorrect |= tests.incorrect;
    latest.exists |= tests.exists;
    latest.prompt |= tests.prompt;
    if (!latest.failure) latest.failureText = std::move(tests.failureText);
    latest.failure |= tests.failure;
}

std::vector<LoginTests> LoginChunks::takeLatestFirst() {
    std::vector<LoginTests> taken(m_pending.rbegin(), m_pending.rend());
    m_pending.clear();
    return taken;
}

}  // namespace session
