// Dialogs with answers queued in advance. Records every box shown, so a test asserts the exact
// text. A question with no queued answer is a test failure and is answered with Cancel / No.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace testsupport {

class ScriptedDialogs : public platform::Dialogs {
public:
    enum class Kind { Warning, Information, Error, Confirm, YesNo, Input, OpenFile, SaveFile };
    struct Shown {
        Kind kind;
        std::string text;  // code page 932 bytes as passed in; for choosers, the title
        platform::FileChoice choice;
    };

    // Answers, taken in order by the questions of any kind.
    void answer(bool okOrYes) { m_answers.push_back(okOrYes); }
    void answerText(std::optional<std::string> text) { m_texts.push_back(std::move(text)); }
    void answerFile(std::optional<std::string> path) { m_files.push_back(std::move(path)); }
    // Runs while the next question (OK / Cancel or Yes / No) is open, before it is answered: what
    // the event loop does meanwhile under a modal box.
    void whileNextQuestion(std::function<void()> events) { m_whileOpen = std::move(events); }

    const std::vector<Shown>& shown() const { return m_shown; }
    // The texts shown, decoded to UTF-8 for readable assertions.
    std::vector<std::string> shownUtf8() const;
    void clear() { m_shown.clear(); }
    bool allAnswersUsed() const { return m_answers.empty() && m_texts.empty() && m_files.empty(); }

    void warning(const std::string& text) override;
    void information(const std::string& text) override;
    void error(const std::string& text) override;
    bool confirm(const std::string& text) override;
    bool askYesNo(const std::string& text) override;
    std::optional<std::string> inputText(const std::string& caption, const std::string& prompt,
                                         const std::string& initial) override;
    std::optional<std::string> openFile(const platform::FileChoice& choice) override;
    std::optional<std::string> saveFile(const platform::FileChoice& choice) override;

private:
    bool nextAnswer();
    std::optional<std::string> nextFile(Kind kind, const platform::FileChoice& choice);
    std::vector<Shown> m_shown;
    std::deque<bool> m_answers;
    std::deque<std::optional<std::string>> m_texts;
    std::deque<std::optional<std::string>> m_files;
    std::function<void()> m_whileOpen;
};

}  // namespace testsupport
