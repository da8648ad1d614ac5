// Start-up and close: the settings file read into the state and written back, the work folder
// made, and the PC's own address chosen for the LAN search.
#include "shell/program_start.h"

#include "fleet/lan_search_rule.h"
#include "shell/first_start.h"
#include "shell/lan_search.h"
#include "shell/list_editor.h"
#include "shell/settings.h"
#include "text/cp932.h"

namespace shell {

ProgramStart::ProgramStart(WindowState& state, platform::Dialogs& dialogs, ListEditor& listEditor,
                           LanSearch* search, const std::filesystem::path& programFile,
                           const fleet::UserEnvironment& environment, Hooks hooks)
    : m_state(state),
      m_listEditor(listEditor),
      m_lanSearch(search),
      m_hooks(std::move(hooks)),
      m_closeQuestion(dialogs, [this] { notify(); }) {
    fleet::ProgramFiles files = fleet::LocateProgramFiles(programFile, environment);
    m_settingsFile = std::move(files.settingsFile);
    m_workFolder = std::move(files.workFolder);
    m_folderAccess = files.perUser ? platform::Access::OwnerOnly : platform::Access::Shared;
}

void ProgramStart::notify() {
    if (m_hooks.showState) m_hooks.showState();
}

void ProgramStart::logMessage(const std::string& text) {
    if (m_hooks.logMessage) m_hooks.logMessage(text);
}

void ProgramStart::startUp() {
    WindowState& s = m_state;
    s.clientWidth = kNormalWidth;
    s.clientHeight = kNormalHeight;

    fleet::Profile profile;
    if (auto bytes = platform::readFileNative(m_settingsFile)) {
        profile = fleet::Profile::fromBytes(*bytes);
    }
    bool enlarged = false;
    readSettings(profile, s.settings, enlarged);
    if (enlarged) {
        s.enlargedLayout = true;
        s.clientWidth = kEnlargedWidth;
        s.clientHeight = kEnlargedHeight;
    }

    s.setEnabled(Control::Apply, false);
    s.terminalView.clear();
    m_listEditor.defaltData();
    m_hooks.listLoad();

    const std::filesystem::path& folder = m_workFolder;
    // A failure shows where a file is written later. An installed program's folders hold the
    // device files of every run: the user's alone.
    platform::createDirectoriesNative(folder, m_folderAccess);
    s.workFolderPath = folder;
    s.settings.workFolder = text::fromPath(folder);
    s.workFolder = s.settings.workFolder + "/";

    if (auto bytes = platform::readFileNative(platform::nativeIn(folder, kFilterHistoryFile))) {
        s.filterHistory = devlist::FilterHistory::fromFileBytes(*bytes);
    }
    if (m_lanSearch) m_lanSearch->setOwnAddress(ownAddressForSearch());
    std::error_code ec;
    if (auto note = FirstStartNote(s.listFilePath, std::filesystem::current_path(ec))) {
        logMessage(*note);
    }
    notify();
}

// A settings file's "ownip" that is no dotted IPv4 address is reported in the log once, at
// start-up; the search then asks the host at each pass, as it does without the key.
std::string ProgramStart::ownAddressForSearch() {
    const fleet::OwnAddress own =
        fleet::ChooseOwnAddress(m_ownAddress, m_state.settings.ownAddress, {});
    if (own.settingsIgnored) {
        logMessage(
            text::sj("設定ファイルの ownip はIPv4アドレス(A.B.C.D)ではないため、使用しません。"));
    }
    return own.address;
}

bool ProgramStart::iniSave() {
    fleet::Profile profile;
    if (platform::fileExistsNative(m_settingsFile)) {
        auto bytes = platform::readFileNative(m_settingsFile);
        if (!bytes) return false;  // rewriting it would lose what it holds
        profile = fleet::Profile::fromBytes(*bytes);
    }
    writeSettings(profile, m_state.settings);
    // An installed program's settings folder may not exist yet.
    platform::createDirectoriesNative(m_settingsFile.parent_path(), m_folderAccess);
    return platform::writeFileAtomicNative(m_settingsFile, profile.toBytes(),
                                           platform::Links::Follow, platform::Access::OwnerOnly);
}

bool ProgramStart::closeQuery() {
    return m_closeQuestion.ask([this] { return iniSave(); }, text::fromPath(m_settingsFile));
}

}  // namespace shell
