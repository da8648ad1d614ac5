// The window's state and the wiring of its parts: start-up with the settings file, list editing
// with check marks, the device sessions, the LAN search and the desktop hand-offs; the list
// view and filter, the screens and masks and the list file stay here. Every operation runs on
// the one event thread; questions go through the dialogs port, and nothing waits inside a
// handler: runs and the LAN search go on by their timers.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "fleet/program_paths.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/files.h"
#include "platform/host_address.h"
#include "platform/tcp_socket.h"
#include "platform/udp_socket.h"
#include "shell/list_editor.h"
#include "shell/list_files.h"
#include "shell/program_start.h"
#include "shell/window_state.h"

namespace shell {

class DesktopActions;
class LanSearch;
class ListWatch;
class SessionController;

// The outside services beyond the loop and the dialogs. Each operation that needs one exists
// only when it is given: the list editor alone needs none of them.
struct Devices {
    platform::Clock* clock = nullptr;  // none: the desktop's clock
    platform::Network* network = nullptr;
    platform::UdpFactory* udp = nullptr;
    platform::HostAddress* host = nullptr;
    platform::Desktop* desktop = nullptr;
    // The user's folders: an installed program keeps its settings and work folder there.
    // None: always beside the program.
    const fleet::UserEnvironment* environment = nullptr;
};

class App {
public:
    // programFile: the program file by its native name. The settings file and the work folder
    // lie beside it and keep native names, whatever code page 932 can hold; an installed
    // program keeps them in the user's folders instead (see devices.environment).
    App(platform::EventLoop& loop, platform::Dialogs& dialogs, std::filesystem::path programFile,
        Devices devices = {});
    ~App();

    // The device sessions (needs a network), the LAN search (UDP and the host's address) and
    // the desktop hand-offs (a desktop); null when their services were not given.
    SessionController* sessions() { return m_sessions.get(); }
    LanSearch* lanSearch() { return m_lanSearch.get(); }
    DesktopActions* desktop() { return m_desktop.get(); }
    // Start-up, the settings file and close; the command line's own address for the search.
    ProgramStart& start() { return *m_start; }
    // The record editor, list-edit mode, the check marks and groups.
    ListEditor& listEditor() { return m_listEditor; }
    // The program's folder as code page 932 text with its trailing "/", where the choosers
    // start; empty when code page 932 cannot hold it.
    std::string programFolderText() const;
    // A time-stamped line in the communication log.
    void logMessage(const std::string& text);
    // Tells the window to show the state now (before a question, inside a wait).
    void refreshWindow() { notify(); }
    // The row that shows the record line `record` of the committed list, or -1.
    int rowOfRecord(int record) const;

    WindowState& state() { return m_state; }
    const WindowState& state() const { return m_state; }
    // Called whenever the state changed and the window should show it: at the end of an
    // operation, before a question is asked, and inside waits.
    void setObserver(std::function<void()> observer) { m_observer = std::move(observer); }

    // Screens and masks
    void btnMask(int mode);
    void openSettings();
    void leaveSettings();
    void leaveRecordEdit();
    void clearTerminal();
    void clearCommLog();

    // List view and filter
    void setListData(const std::string& filterWord, ListSource source);
    void maskListView();
    void applyFilter();
    void showAll();
    void clearFilterHistory();
    void selectRow(int row);  // -1: none
    // The index of the record line shown in row `row`, in the store the view was drawn from
    // (listStore on the basic panel, viewStore in list-edit mode); -1 when none. Every
    // operation that goes from a shown row to its record goes through it.
    int recordIndexOfRow(int row) const;

    // The list file and its name
    void listImport();
    void listExport();
    void listFileEdited(const std::string& text);  // typing in the "List ファイル" box
    void listLoad();
    bool listSave();
    // Another writer changed the list file and the list was taken in.
    void listReloaded();
    ListFiles& listFiles() { return m_listFiles; }

private:
    void notify();
    bool confirm(const std::string& text);
    void setListOrderButtons(bool on);
    void saveFilterHistory();

    platform::EventLoop& m_loop;
    platform::Dialogs& m_dialogs;
    platform::SystemClock m_systemClock;
    platform::Clock& m_clock;
    std::filesystem::path m_programFolder;
    std::unique_ptr<SessionController> m_sessions;
    std::unique_ptr<LanSearch> m_lanSearch;
    std::unique_ptr<DesktopActions> m_desktop;
    std::unique_ptr<ProgramStart> m_start;  // made after the search: it hands it the address
    WindowState m_state;
    std::function<void()> m_observer;
    ListFiles m_listFiles{m_state, m_dialogs};
    ListEditor m_listEditor;
    std::unique_ptr<ListWatch> m_listWatch;  // made last: it reads the list files
};

}  // namespace shell
