// The close request: the operator confirms, the settings file is written, and a settings file
// that cannot be written never keeps the program from ending: after the error box the
// operator may close without writing it.
#pragma once

#include <functional>
#include <string>

#include "platform/dialogs.h"

namespace shell {

class CloseQuestion {
public:
    // showState: tells the window to show the state before a question is asked.
    CloseQuestion(platform::Dialogs& dialogs, std::function<void()> showState)
        : m_dialogs(dialogs), m_showState(std::move(showState)) {}

    // True when the window may close. saveSettings writes the settings file (false when it
    // could not); it runs whatever the answer, as a refused close also keeps the settings.
    // settingsPath names the file in the error box.
    bool ask(const std::function<bool()>& saveSettings, const std::string& settingsPath);

private:
    bool confirm(const std::string& text);

    platform::Dialogs& m_dialogs;
    std::function<void()> m_showState;
};

}  // namespace shell
