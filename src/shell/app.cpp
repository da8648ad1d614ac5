// The window's wiring and the operations that stay its own: the list view and filter, the screens
// and masks, the list file. Each one changes the state, asks its questions through the dialogs
// port and tells the window to show the result; nothing here knows about widgets.
#include "shell/app.h"

#include "devlist/list_view.h"
#include "platform/files.h"
#include "shell/comm_log.h"
#include "shell/desktop_actions.h"
#include "shell/lan_search.h"
#include "shell/list_watch.h"
#include "shell/session_controller.h"
#include "text/cp932.h"

namespace shell {

App::App(platform::EventLoop& loop, platform::Dialogs& dialogs, std::filesystem::path programFile,
         Devices devices)
    : m_loop(loop),
      m_dialogs(dialogs),
      m_clock(devices.clock ? *devices.clock : m_systemClock),
      m_programFolder(programFile.parent_path()),
      m_listEditor(
          m_state, m_dialogs, m_listFiles,
          ListEditor::Hooks{
              [this] { notify(); },
              [this](const std::string& word, ListSource source) { setListData(word, source); },
              [this] { maskListView(); }, [this](int mode) { btnMask(mode); },
              [this](int row) { return recordIndexOfRow(row); },
              [this](int row) { selectRow(row); }}) {
    m_listFiles.setLogger([this](const std::string& line) { logMessage(line); });
    if (devices.network) {
        m_sessions = std::make_unique<SessionController>(
            m_state, m_listFiles, m_listEditor, loop, dialogs, m_clock, *devices.network,
            SessionController::Hooks{
                [this] { notify(); }, [this](const std::string& line) { logMessage(line); },
                [this](int mode) { btnMask(mode); },
                [this](const std::string& word, ListSource source) { setListData(word, source); },
                [this](int row) { selectRow(row); },
                [this](int row) { return recordIndexOfRow(row); },
                [this](int record) { return rowOfRecord(record); }});
    }
    if (devices.udp && devices.host) {
        m_lanSearch = std::make_unique<LanSearch>(
            m_state, loop, dialogs, *devices.udp, *devices.host,
            LanSearch::Hooks{[this](const std::string& line) { logMessage(line); },
                             [this] { notify(); },
                             [this] { setListData("", ListSource::ViewStore); }});
    }
    if (devices.desktop) {
        m_desktop = std::make_unique<DesktopActions>(m_state, dialogs, *devices.desktop,
                                                     programFolderText());
        m_desktop->setObserver([this] { notify(); });
        m_desktop->setLogger([this](const std::string& line) { logMessage(line); });
        m_desktop->setRecordIndexOfRow(
            [this](const WindowState&, int row) { return recordIndexOfRow(row); });
    }
    m_listWatch = std::make_unique<ListWatch>(
        m_state, m_listFiles, loop,
        ListWatch::Hooks{[this](const std::string& line) { logMessage(line); },
                         [this] { listReloaded(); }});
    m_start = std::make_unique<ProgramStart>(
        m_state, dialogs, m_listEditor, m_lanSearch.get(), programFile,
        devices.environment ? *devices.environment : fleet::UserEnvironment{},
        ProgramStart::Hooks{[this] { notify(); },
                            [this](const std::string& line) { logMessage(line); },
                            [this] { listLoad(); }});
}

// The run in hand refers to the state, the list files and the editor, which are members
// declared after it and so would go first.
App::~App() {
    m_sessions.reset();
}

std::string App::programFolderText() const {
    auto folder = text::encode(m_programFolder.native());
    return folder ? *folder + "/" : std::string();
}

void App::logMessage(const std::string& text) {
    LogMessage(m_state.commLogView, m_clock.now(), text);
    notify();
}

int App::rowOfRecord(int record) const {
    if (record < 0) return -1;
    for (size_t row = 0; row < m_state.listView.size(); ++row) {
        if (m_state.listView[row].line == record) return static_cast<int>(row);
    }
    return -1;
}

void App::notify() {
    if (m_observer) m_observer();
}

bool App::confirm(const std::string& text) {
    notify();
    return m_dialogs.confirm(text);
}

// ---------------------------------------------------------------------------------------------
// The list file

void App::listLoad() {
    m_listFiles.load();
    setListData("", ListSource::ListStore);
}

// The view is drawn anew with the filter it had, and the selected record stays selected.
void App::listReloaded() {
    const int record = recordIndexOfRow(m_state.selectedRow);
    setListData(m_state.listFilter, m_state.listViewSource);
    selectRow(rowOfRecord(record));
    notify();
}

bool App::listSave() {
    return m_listFiles.save();
}

void App::listImport() {
    platform::FileChoice choice;
    choice.title = text::sj("Listファイルを指定してください。");
    choice.filter = "*.csv";
    // A folder name code page 932 cannot hold is not passed on: the chooser starts elsewhere.
    choice.directory = text::encode(m_programFolder.native()).value_or("");
    notify();
    auto path = m_dialogs.openFile(choice);
    if (!path || !m_listFiles.import(*path)) return;
    // The working copy now holds another file's records at the committed list's indexes.
    m_state.workingReordered = true;
    setListData("", ListSource::ViewStore);
    m_state.setEnabled(Control::Apply, true);
    notify();
}

void App::listExport() {
    WindowState& s = m_state;
    platform::FileChoice choice;
    choice.directory = platform::folderPart(s.settings.listFile);
    choice.fileName = platform::namePart(s.settings.listFile);
    notify();
    auto path = m_dialogs.saveFile(choice);
    if (!path || !m_listFiles.exportTo(*path)) return;
    s.settings.listFile = *path;
    s.setEnabled(Control::Apply, true);
    notify();
}

void App::listFileEdited(const std::string& text) {
    m_state.settings.listFile = text;
    m_state.setEnabled(Control::Apply, true);
    notify();
}

// ---------------------------------------------------------------------------------------------
// List view and filter

void App::setListData(const std::string& filterWord, ListSource source) {
    WindowState& s = m_state;
    s.statusText = text::sj(" リスト表示 更新中");
    devlist::ListRender r = devlist::RenderList(
        filterWord, source == ListSource::ViewStore ? s.viewStore : s.listStore);
    s.listView = std::move(r.entries);
    s.listViewSource = source;
    s.listFilter = filterWord;
    s.groupStore = std::move(r.groupStore);
    s.selectedRow = -1;
    s.countLabel = devlist::CountLabel(s.groupStore.size(), s.listStore.size());
    ++s.listRevision;
    s.statusText.clear();
}

// "▲", "▼", "削除" and "手動入力" work only on an unfiltered view.
void App::setListOrderButtons(bool on) {
    for (Control c : {Control::MoveUp, Control::MoveDown, Control::Delete, Control::AddRecord}) {
        m_state.setEnabled(c, on);
    }
}

void App::saveFilterHistory() {
    auto path = platform::nativeIn(m_state.workFolderPath, kFilterHistoryFile);
    if (!platform::writeFileAtomicNative(path, m_state.filterHistory.toFileBytes())) {
        m_dialogs.error(cannotWriteText(text::fromPath(path)));
    }
}

void App::maskListView() {
    WindowState& s = m_state;
    setListData(s.filterText, ListSource::ListStore);
    bool unfiltered = s.filterText.empty();
    setListOrderButtons(unfiltered);
    s.filterHistory.remember(s.filterText);
}

void App::applyFilter() {
    maskListView();
    saveFilterHistory();
    notify();
}

void App::showAll() {
    setListOrderButtons(true);
    setListData("", ListSource::ListStore);
    notify();
}

void App::clearFilterHistory() {
    if (!confirm(text::sj("フィルター履歴をクリアしますか？"))) return;
    m_state.filterHistory.clear();
    saveFilterHistory();
    notify();
}

void App::selectRow(int row) {
    int n = static_cast<int>(m_state.listView.size());
    m_state.selectedRow = (row >= 0 && row < n) ? row : -1;
}

int App::recordIndexOfRow(int row) const {
    const WindowState& s = m_state;
    if (row < 0 || static_cast<size_t>(row) >= s.listView.size()) return -1;
    int line = s.listView[static_cast<size_t>(row)].line;
    const devlist::LineStore& store =
        s.listViewSource == ListSource::ViewStore ? s.viewStore : s.listStore;
    return line >= 0 && static_cast<size_t>(line) < store.size() ? line : -1;
}

// ---------------------------------------------------------------------------------------------
// Screens and masks

void App::btnMask(int mode) {
    if (mode != kBusyMask && mode != kIdleMask) return;
    bool busy = mode == kBusyMask;
    for (int i = 0; i < kMaskedControls; ++i) {
        m_state.enabled[static_cast<size_t>(i)] = !busy;
    }
    m_state.setEnabled(Control::Stop, busy);
    notify();
}

void App::openSettings() {
    m_state.settingsShown = true;
    notify();
}

void App::leaveSettings() {
    m_state.settingsShown = false;
    listSave();  // before the rows are shown: it may bring in another writer's records
    setListData("", ListSource::ListStore);
    notify();
}

void App::leaveRecordEdit() {
    m_state.editShown = false;
    btnMask(kIdleMask);
}

void App::clearTerminal() {
    m_state.terminalView.clear();
    if (m_sessions) m_sessions->clearTerminal();
    notify();
}

void App::clearCommLog() {
    m_state.commLogView.clear();
    notify();
}

}  // namespace shell
