#include "scripted_dialogs.h"

#include <utility>

#include <gtest/gtest.h>

#include "text/cp932.h"

namespace testsupport {

std::vector<std::string> ScriptedDialogs::shownUtf8() const {
    std::vector<std::string> out;
    for (const auto& s : m_shown) out.push_back(text::decode(s.text));
    return out;
}

bool ScriptedDialogs::nextAnswer() {
    if (m_whileOpen) std::exchange(m_whileOpen, {})();
    if (m_answers.empty()) {
        ADD_FAILURE() << "a question was asked with no answer queued: "
                      << (m_shown.empty() ? "" : text::decode(m_shown.back().text));
        return false;
    }
    bool a = m_answers.front();
    m_answers.pop_front();
    return a;
}

void ScriptedDialogs::warning(const std::string& t) {
    m_shown.push_back({Kind::Warning, t, {}});
}
void ScriptedDialogs::information(const std::string& t) {
    m_shown.push_back({Kind::Information, t, {}});
}
void ScriptedDialogs::error(const std::string& t) {
    m_shown.push_back({Kind::Error, t, {}});
}
bool ScriptedDialogs::confirm(const std::string& t) {
    m_shown.push_back({Kind::Confirm, t, {}});
    return nextAnswer();
}
bool ScriptedDialogs::askYesNo(const std::string& t) {
    m_shown.push_back({Kind::YesNo, t, {}});
    return nextAnswer();
}
std::optional<std::string> ScriptedDialogs::inputText(const std::string& caption,
                                                      const std::string& prompt,
                                                      const std::string&) {
    m_shown.push_back({Kind::Input, caption + "\n" + prompt, {}});
    if (m_texts.empty()) {
        ADD_FAILURE() << "an input box was shown with no answer queued";
        return std::nullopt;
    }
    auto a = m_texts.front();
    m_texts.pop_front();
    return a;
}
std::optional<std::string> ScriptedDialogs::nextFile(Kind kind, const platform::FileChoice& c) {
    m_shown.push_back({kind, c.title, c});
    if (m_files.empty()) {
        ADD_FAILURE() << "a file chooser was shown with no answer queued";
        return std::nullopt;
    }
    auto a = m_files.front();
    m_files.pop_front();
    return a;
}
std::optional<std::string> ScriptedDialogs::openFile(const platform::FileChoice& c) {
    return nextFile(Kind::OpenFile, c);
}
std::optional<std::string> ScriptedDialogs::saveFile(const platform::FileChoice& c) {
    return nextFile(Kind::SaveFile, c);
}

}  // namespace testsupport
