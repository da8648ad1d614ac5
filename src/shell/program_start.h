// Start-up and close of the window: where the settings file and the work folder lie and who
// may read what start-up makes, reading the settings into the state, the list and the filter
// history, the address the LAN search takes as the PC's own, and writing the settings back.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "fleet/program_paths.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "shell/close_question.h"
#include "shell/window_state.h"

namespace shell {

class LanSearch;
class ListEditor;

// The filter history's file in the work folder: start-up reads it, the filter writes it.
inline constexpr std::string_view kFilterHistoryFile = "filterword.txt";

class ProgramStart {
public:
    struct Hooks {
        std::function<void()> showState;                     // the window should show the state now
        std::function<void(const std::string&)> logMessage;  // a communication-log line
        std::function<void()> listLoad;  // read the list file and show it unfiltered
    };

    // programFile: the program file by its native name. The settings file and the work folder
    // lie beside it and keep native names, whatever code page 932 can hold; an installed
    // program keeps them in the user's folders instead. search: null without a LAN search.
    ProgramStart(WindowState& state, platform::Dialogs& dialogs, ListEditor& listEditor,
                 LanSearch* search, const std::filesystem::path& programFile,
                 const fleet::UserEnvironment& environment, Hooks hooks);

    // The address the LAN search takes as the PC's own, from the command line: it wins over
    // the settings file's "ownip". Empty: the settings file's, or else the host's.
    void setOwnAddress(std::string address) { m_ownAddress = std::move(address); }

    const std::filesystem::path& settingsFilePath() const { return m_settingsFile; }

    void startUp();
    bool closeQuery();  // true: the window may close
    bool iniSave();     // false when the settings file could not be written

private:
    void notify();
    void logMessage(const std::string& text);
    std::string ownAddressForSearch();

    WindowState& m_state;
    ListEditor& m_listEditor;
    LanSearch* m_lanSearch;
    Hooks m_hooks;
    std::filesystem::path m_settingsFile;
    std::filesystem::path m_workFolder;
    platform::Access m_folderAccess = platform::Access::Shared;  // folders start-up makes
    std::string m_ownAddress;
    CloseQuestion m_closeQuestion;
};

}  // namespace shell
