// The small hand-offs to the desktop: the settings-file choosers, the viewers of a device's
// files, "C" beside the message box and "HTTP接続". They change only the boxes of the window
// state, never a store or a file; what could not be handed to the desktop is told in the
// communication log.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "shell/window_state.h"

namespace shell {

// The 0-based index in ListStore of the record a list-view row shows, or -1.
using RecordIndexOfRow = std::function<long long(const WindowState&, int row)>;

// The record number at the start of the row's display text, less one.
long long RecordIndexFromDisplayText(const WindowState& state, int row);

class DesktopActions {
public:
    // programFolder (code page 932, with its trailing separator) is where the choosers start;
    // the device files are looked for in the state's work folder at the time of the click.
    DesktopActions(WindowState& state, platform::Dialogs& dialogs, platform::Desktop& desktop,
                   std::string programFolder);

    // Told before a question is shown and after a box changed.
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }
    void setRecordIndexOfRow(RecordIndexOfRow lookup) { m_recordIndex = std::move(lookup); }
    // Takes a line for the communication log.
    void setLogger(std::function<void(const std::string&)> log) { m_log = std::move(log); }

    void chooseSendFile();        // beside "送信ファイル"
    void chooseCommonSendFile();  // beside "共通送信ファイル"

    void viewPreWriteVariables();   // "書込前変数"
    void viewPostWriteVariables();  // "書込後変数"
    void viewCommLog();             // "通信ログ"
    void viewDeviceLog20();         // "機器LOG 20"
    void viewSendFile();            // "送信ファイル"

    void clearMessage();       // "C"
    void openDeviceWebPage();  // "HTTP接続"

private:
    std::optional<std::string> ChooseFile();
    void viewDeviceFile(const char* suffix);
    std::optional<std::string> recordLine(long long index) const;
    // The web page of a record line, or nullopt (logged) when its port is no number.
    std::optional<std::string> webPageUrl(long long index, const std::string& line);
    void openFile(const std::filesystem::path& file);
    void log(const std::string& text);
    void notify();

    WindowState& m_state;
    platform::Dialogs& m_dialogs;
    platform::Desktop& m_desktop;
    std::string m_programFolder;
    std::function<void()> m_observer;
    std::function<void(const std::string&)> m_log;
    RecordIndexOfRow m_recordIndex = RecordIndexFromDisplayText;
};

}  // namespace shell
