// The choosers, viewers and the browser hand-off. Paths are held as code page 932 bytes and
// become native names only when the file system or the desktop is asked.
#include "shell/desktop_actions.h"

#include <filesystem>
#include <system_error>

#include "devlist/fields.h"
#include "platform/files.h"
#include "session/file_names.h"
#include "text/cp932.h"

namespace shell {
namespace fs = std::filesystem;
namespace {

constexpr const char* kSendFilePattern = "*.txt";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s) {
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Without it no file or page reaches the desktop at all.
std::string noOpener(const std::string& what) {
    return text::sj("xdg-open が見つからないため、") + what + text::sj(" を開けませんでした。");
}

unsigned char lowerAscii(unsigned char b) {
    return (b >= 'A' && b <= 'Z') ? static_cast<unsigned char>(b - 'A' + 'a') : b;
}

// Equal but for the letter case of single-byte letters. The trail byte of a two-byte character
// may look like a letter and is compared exactly.
bool sameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto x = static_cast<unsigned char>(a[i]);
        auto y = static_cast<unsigned char>(b[i]);
        if (text::isLeadByte(x)) {
            if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (lowerAscii(x) != lowerAscii(y)) {
            return false;
        }
    }
    return true;
}

// The file `name` in folder, or else the one there whose name differs only in letter case: the
// session writes "R1.txt" where the viewer asks for "r1.txt", and the folder is case-sensitive
// here. Of several such files the first in name order is taken, so a click always opens the
// same one.
std::optional<fs::path> findIgnoringCase(const fs::path& folder, const std::string& name) {
    if (name.empty()) return std::nullopt;
    fs::path exact = platform::nativeIn(folder, name);
    if (platform::fileExistsNative(exact)) return exact;
    std::optional<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        fs::path candidate = it->path().filename();
        if (!sameNameIgnoringCase(text::fromPath(candidate), name)) continue;
        if (!found || candidate < *found) found = candidate;
    }
    if (!found) return std::nullopt;
    return folder / *found;
}

}  // namespace

long long RecordIndexFromDisplayText(const WindowState& state, int row) {
    if (row < 0 || static_cast<size_t>(row) >= state.listView.size()) return -1;
    return devlist::LeadingNumber(state.listView[static_cast<size_t>(row)].text, 0) - 1;
}

DesktopActions::DesktopActions(WindowState& state, platform::Dialogs& dialogs,
                               platform::Desktop& desktop, std::string programFolder)
    : m_state(state),
      m_dialogs(dialogs),
      m_desktop(desktop),
      m_programFolder(std::move(programFolder)) {}

void DesktopActions::notify() {
    if (m_observer) m_observer();
}

void DesktopActions::log(const std::string& text) {
    if (m_log) m_log(text);
}

void DesktopActions::openFile(const fs::path& file) {
    if (!m_desktop.OpenInDefaultApp(file)) log(noOpener(text::fromPath(file.filename())));
}

std::optional<std::string> DesktopActions::ChooseFile() {
    platform::FileChoice choice;
    choice.title = text::sj("設定TXTファイルを指定してください。");
    choice.filter = kSendFilePattern;
    choice.directory = m_programFolder;
    notify();
    return m_dialogs.openFile(choice);
}

void DesktopActions::chooseSendFile() {
    if (auto path = ChooseFile()) m_state.edit.rec.sendFile = *path;
    notify();
}

void DesktopActions::chooseCommonSendFile() {
    if (!m_state.isEnabled(Control::CommonSendFileChooser)) return;
    if (auto path = ChooseFile()) m_state.settings.commonSendFile = *path;
    notify();
}

void DesktopActions::viewDeviceFile(const char* suffix) {
    // The name the session wrote: a save name that could lead out of the work folder was made
    // safe there, and is here too. A record that names no files by itself and whose device
    // reported no MAC address wrote them under its unique name, never under the bare names.
    std::string saveName = m_state.edit.saveName;
    if (saveName.empty()) {
        const long long number = devlist::LeadingNumber(m_state.edit.numberLabel, 0);
        if (number <= 0 || number > devlist::kMaxRecords) return;
        saveName = session::SaveNames(m_state.listStore).unique(static_cast<int>(number));
    }
    std::string name = session::SafeFileName(saveName + suffix);
    if (auto file = findIgnoringCase(m_state.workFolderPath, name)) openFile(*file);
}

void DesktopActions::viewPreWriteVariables() {
    viewDeviceFile("q1.txt");
}
void DesktopActions::viewPostWriteVariables() {
    viewDeviceFile("q2.txt");
}
void DesktopActions::viewCommLog() {
    viewDeviceFile("r1.txt");
}
void DesktopActions::viewDeviceLog20() {
    viewDeviceFile("l20.txt");
}

void DesktopActions::viewSendFile() {
    // The operator's own path, as typed: a relative one stays relative.
    const std::string& path = m_state.edit.rec.sendFile;
    if (platform::fileExists(path)) openFile(text::toPath(path));
}

void DesktopActions::clearMessage() {
    m_state.edit.rec.message.clear();
    notify();
}

std::optional<std::string> DesktopActions::recordLine(long long index) const {
    const devlist::LineStore& list = m_state.listStore;
    if (index < 0 || static_cast<unsigned long long>(index) >= list.size()) return std::nullopt;
    return list[static_cast<size_t>(index)];
}

// Blanks around the port are dropped. A port of anything but digits ("80@other.host")
// would send the browser to another host than the question names: such a record opens nothing.
std::optional<std::string> DesktopActions::webPageUrl(long long index, const std::string& line) {
    const std::string portField = devlist::FieldGet(devlist::kHttpPort, line);
    std::string_view port = trimBlanks(portField);
    if (!allDigits(port)) {
        log("No." + devlist::ZeroPad(index + 1, 3) + text::sj(" の HTTP ポート \"") +
            std::string(port) + text::sj("\" が数字ではないため、接続しません。"));
        return std::nullopt;
    }
    return "http://" + devlist::FieldGet(devlist::kIpAddress, line) + ":" + std::string(port);
}

void DesktopActions::openDeviceWebPage() {
    if (!m_state.isEnabled(Control::SingleHttp) || m_state.selectedRow < 0) return;
    long long index = m_recordIndex(m_state, m_state.selectedRow);
    auto line = recordLine(index);
    if (!line || !webPageUrl(index, *line)) return;
    std::string question = "No." + devlist::ZeroPad(index + 1, 3) + " " +
                           devlist::FieldGet(devlist::kListName, *line) + " [" +
                           devlist::FieldGet(devlist::kIpAddress, *line) + "]" +
                           text::sj(" HTML接続しますか？");
    notify();
    if (!m_dialogs.confirm(question)) return;
    // The question kept events running: a device result may have rewritten the record, so the
    // URL is formed from the line as it is now.
    line = recordLine(index);
    if (!line) return;
    std::optional<std::string> url = webPageUrl(index, *line);
    if (url && !m_desktop.OpenUrl(*url)) log(noOpener(*url));
}

}  // namespace shell
