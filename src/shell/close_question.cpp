#include "shell/close_question.h"

#include "shell/list_files.h"
#include "text/cp932.h"

namespace shell {

bool CloseQuestion::confirm(const std::string& text) {
    if (m_showState) m_showState();
    return m_dialogs.confirm(text);
}

bool CloseQuestion::ask(const std::function<bool()>& saveSettings,
                        const std::string& settingsPath) {
    bool close = confirm(text::sj("終了してよろしいですか？"));
    if (saveSettings()) return close;
    m_dialogs.error(cannotWriteText(settingsPath));
    // A full disk or a read-only file may last: the operator can still end the program.
    return close && confirm(text::sj("設定を保存せずに終了しますか？"));
}

}  // namespace shell
