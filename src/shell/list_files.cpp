#include "shell/list_files.h"

#include <filesystem>

#include "devlist/list_file.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace shell {
namespace {

// Backup names tried in turn: "<file>.bak", "<file>.bak2", "<file>.bak3", ...
constexpr int kBackupNames = 999;

bool samePath(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    if (a == b) return true;
    std::error_code ec;
    return std::filesystem::equivalent(text::toPath(a), text::toPath(b), ec);
}

}  // namespace

std::string cannotWriteText(const std::string& path) {
    return path + text::sj(" に書き込めません");
}

void ListFiles::load() {
    WindowState& s = m_state;
    s.listFilePath = s.settings.listFile;
    s.listStore.clear();
    m_backup = {};
    m_unreadable.clear();
    if (platform::fileExists(s.listFilePath)) {
        auto bytes = platform::readFile(s.listFilePath);
        if (!bytes) m_unreadable = s.listFilePath;  // never replaced by an empty list
        if (bytes) {
            devlist::ListBuild build =
                devlist::BuildListRecords(devlist::LineStore::fromFileBytes(*bytes));
            if (build.accepted) s.listStore = std::move(build.records);
            // Whatever the load left out stays in a copy beside the file.
            if (build.lossy && !bytes->empty()) m_backup = {s.listFilePath, std::move(*bytes)};
        }
    }
    s.viewStore = s.listStore;
}

bool ListFiles::save() {
    return writeOver(m_state.listFilePath, m_state.listStore.toBytes());
}

bool ListFiles::exportTo(const std::string& path) {
    return writeOver(path, m_state.listStore.toBytes());
}

bool ListFiles::writeOver(const std::string& path, const std::string& bytes) {
    if (samePath(m_unreadable, path)) {
        m_dialogs.error(cannotWriteText(path));
        return false;
    }
    for (Backup* b : {&m_backup, &m_pendingImport}) {
        // Never replace the original while no copy of what it held exists.
        if (!b->bytes.empty() && samePath(b->path, path) && !keepBackup(*b)) return false;
    }
    // The list holds every device's login: a list file made anew is the user's alone.
    if (!platform::writeFileAtomic(path, bytes, platform::Access::OwnerOnly)) {
        m_dialogs.error(cannotWriteText(path));
        return false;
    }
    return true;
}

// An older copy with other content is kept too: the new one takes the next free name.
bool ListFiles::keepBackup(Backup& backup) {
    std::string base = backup.path + ".bak";
    for (int n = 1; n <= kBackupNames; ++n) {
        std::string name = n == 1 ? base : base + std::to_string(n);
        if (platform::fileExists(name) || platform::directoryExists(name)) {
            auto held = platform::readFile(name);
            if (!held || *held != backup.bytes) continue;
        } else if (!platform::writeFileAtomic(name, backup.bytes, platform::Access::OwnerOnly)) {
            m_dialogs.error(cannotWriteText(name));
            return false;
        }
        backup.bytes.clear();
        return true;
    }
    m_dialogs.error(cannotWriteText(base));
    return false;
}

bool ListFiles::import(const std::string& path) {
    WindowState& s = m_state;
    Backup pending{path, {}};
    if (platform::fileExists(path) || platform::directoryExists(path)) {
        auto bytes = platform::readFile(path);
        devlist::LineStore raw;
        if (bytes) raw = devlist::LineStore::fromFileBytes(*bytes);
        if (!bytes || !devlist::HasRecordMark(raw)) {
            m_dialogs.warning(path + text::sj(" はリストファイルとして読み込めません"));
            return false;
        }
        devlist::ListBuild build = devlist::BuildListRecords(raw);
        s.workStore = std::move(raw);
        s.viewStore = std::move(build.records);
        if (build.lossy) pending.bytes = std::move(*bytes);
    }
    // The imported file becomes the list file only when the import is applied, so leaving
    // without applying never writes the old list over it.
    m_pendingImport = std::move(pending);
    s.settings.listFile = path;
    return true;
}

void ListFiles::importApplied() {
    if (m_pendingImport.path.empty()) return;
    m_state.listFilePath = m_pendingImport.path;
    m_backup = std::move(m_pendingImport);
    m_pendingImport = {};
}

void ListFiles::importDropped() {
    if (m_pendingImport.path.empty()) return;
    // The list file stays the one in use.
    m_state.settings.listFile = m_state.listFilePath;
    m_pendingImport = {};
}

}  // namespace shell
