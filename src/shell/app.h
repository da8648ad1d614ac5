// The window's operations on its state: start-up, the settings file and close, the screens and
// the masks, the list view and filter, list editing, check marks and groups. Every operation
// runs on the one event thread; questions go through the dialogs port, and nothing waits
// inside a handler: runs and the LAN search go on by their timers.
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
#include "shell/close_question.h"
#include "shell/list_files.h"
#include "shell/record_delete.h"
#include "shell/window_state.h"

namespace shell {

class DesktopActions;
class LanSearch;
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
    // The address the LAN search takes as the PC's own, from the command line: it wins over
    // the settings file's "ownip". Empty: the settings file's, or else the host's.
    void setOwnAddress(std::string address) { m_ownAddress = std::move(address); }
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

    const std::filesystem::path& settingsFilePath() const { return m_settingsFile; }

    // Start-up and close
    void startUp();
    bool closeQuery();  // true: the window may close
    bool iniSave();     // false when the settings file could not be written

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

    // List editing
    void editData(int row);      // loads the record of row; its number label is index + 1
    void editSaveNo(int index);  // index: recordIndexOfRow of the row the record was loaded from
    void defaltData();
    void editSelected();    // "選択編集" and a double click
    void saveRecord();      // "設定保存"
    void recordDefaults();  // "初期値"
    void enterListEdit();
    void applyListEdit();
    void leaveListEdit();
    void addRecord();
    void moveUp();
    void moveDown();
    void deleteRecord();
    void renumber();
    void sortList();
    void listImport();
    void listExport();
    void listFileEdited(const std::string& text);  // typing in the "List ファイル" box
    bool listEditActive() const { return m_state.listEditShown; }

    // Check marks and groups
    void checkStatusSave(int row);
    void rowClicked(int row, bool checked);  // a click that left the row's box so
    void checkAll();
    void clearAll();
    void groupCheck(int g);
    void assignGroups();
    void deleteChecked();

    // The list file
    void listLoad();
    bool listSave();
    ListFiles& listFiles() { return m_listFiles; }

private:
    void notify();
    bool confirm(const std::string& text);
    void setCheckAll(bool on);
    void setListOrderButtons(bool on);
    void saveFilterHistory();
    bool everyWorkingLineShown() const;
    std::string ownAddressForSearch();

    platform::EventLoop& m_loop;
    platform::Dialogs& m_dialogs;
    platform::SystemClock m_systemClock;
    platform::Clock& m_clock;
    std::filesystem::path m_settingsFile;
    std::filesystem::path m_programFolder;
    std::filesystem::path m_workFolder;
    platform::Access m_folderAccess = platform::Access::Shared;  // folders start-up makes
    std::unique_ptr<SessionController> m_sessions;
    std::unique_ptr<LanSearch> m_lanSearch;
    std::unique_ptr<DesktopActions> m_desktop;
    std::string m_ownAddress;
    WindowState m_state;
    std::function<void()> m_observer;
    ListFiles m_listFiles{m_state, m_dialogs};
    CloseQuestion m_closeQuestion{m_dialogs, [this] { notify(); }};
    RecordDelete m_recordDelete{
        m_state,
        m_dialogs,
        {[this] { notify(); }, [this] { setListData("", ListSource::ViewStore); }}};
};

}  // namespace shell
