#include "shell/list_files.h"

#include <filesystem>
#include <optional>
#include <utility>
#include <vector>

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "platform/file_stamp.h"
#include "platform/files.h"
#include "shell/list_merge.h"
#include "text/cp932.h"

namespace shell {
namespace {

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

void ListFiles::recordEdited(size_t line, const std::string& before, const std::string& after) {
    auto [it, added] = m_edited.try_emplace(line, EditedLine{before, after});
    if (!added) it->second.after = after;  // known by what it held at the last read
}

void ListFiles::warnOfSecondName(const std::string& path) {
    if (path.empty() || path == m_namesWarned || samePath(m_unreadable, path)) return;
    if (fleet::ListNameCount(path) < 2) return;
    m_namesWarned = path;
    const std::string warning = fleet::SecondNameText(path);
    log(warning);
    m_dialogs.warning(warning);
}

void ListFiles::log(const std::string& line) {
    if (m_log) m_log(line);
}

// Tells the operator why a file is not taken as a list, or which of its lines are no devices.
void ListFiles::explain(const std::string& path, const devlist::ListBuild& build) {
    if (build.refusal != devlist::ListRefusal::None && build.refusal != devlist::ListRefusal::Empty)
        log(devlist::ListRefusalText(path, build.refusal));
    for (const std::string& note : devlist::LoadNotes(path, build)) log(note);
}

void ListFiles::load() {
    WindowState& s = m_state;
    s.listFilePath = s.settings.listFile;
    s.listStore.clear();
    m_backup = {};
    m_unreadable.clear();
    m_base = {};
    m_edited.clear();
    m_namesWarned.clear();
    m_carried = 0;
    // Taken before the read: a write after it is seen as a change.
    m_seen = platform::fileStamp(s.listFilePath);
    if (platform::fileExists(s.listFilePath)) {
        auto bytes = platform::readFile(s.listFilePath);
        if (!bytes) m_unreadable = s.listFilePath;  // never replaced by an empty list
        if (bytes) {
            m_base = devlist::LineStore::fromFileBytes(*bytes);
            devlist::ListBuild build = devlist::BuildListRecords(m_base);
            explain(s.listFilePath, build);
            if (build.accepted) s.listStore = std::move(build.records);
            // Whatever the load left out stays in a copy beside the file.
            if (build.lossy && !bytes->empty()) m_backup = {s.listFilePath, std::move(*bytes)};
        }
    }
    s.viewStore = s.listStore;
}

// Merges what another writer changed in the file into the list store, the working copy and the
// record editor, and makes the file as it is now the base; gives how many records it changed.
size_t ListFiles::takeDisk(devlist::LineStore disk) {
    WindowState& s = m_state;
    SaveMerge merged = MergeSave(s.listStore, m_base, disk, m_edited);
    if (merged.leftOut > 0)
        log(s.listFilePath + text::sj(" に他のプログラムが加えた機器のうち ") +
            std::to_string(merged.leftOut) +
            text::sj("台は、999台を超えるため保存しませんでした。"));
    devlist::LineStore& carried = merged.lines;
    // The editor stores its boxes under its number label's line (EditSaveNo); the merge keeps
    // every line of the list store in its place.
    const long long n = devlist::ParseNumber(s.edit.numberLabel, 0);
    if (n > 0 && static_cast<size_t>(n) <= s.listStore.size()) {
        const auto at = static_cast<size_t>(n - 1);
        if (carried[at] != s.listStore[at]) FollowCarry(s.edit, s.listStore[at], carried[at]);
    }
    size_t changed = carried.size() - std::min(carried.size(), s.listStore.size());
    for (size_t i = 0; i < std::min(carried.size(), s.listStore.size()); ++i)
        changed += carried[i] != s.listStore[i] ? 1 : 0;
    // A pending import's working copy holds another file's records; a working copy without
    // pending edits is the list store itself.
    if (m_pendingImport.path.empty())
        s.viewStore = s.viewStore.lines() == s.listStore.lines()
                          ? carried
                          : MergeSave(s.viewStore, m_base, disk).lines;
    s.listStore = std::move(carried);
    m_edited = std::move(merged.edited);
    m_base = std::move(disk);
    return changed;
}

bool ListFiles::changedOnDisk() const {
    const std::string& path = m_state.listFilePath;
    return !path.empty() && platform::fileStamp(path) != m_seen;
}

size_t ListFiles::reload() {
    takeIn();
    return takeCarried();
}

void ListFiles::takeIn() {
    const std::string& path = m_state.listFilePath;
    if (path.empty()) return;
    fleet::ListLock lock(path);
    m_seen = platform::fileStamp(path);
    auto bytes = samePath(m_unreadable, path) ? std::nullopt : platform::readFile(path);
    // A file that is gone or holds no list is left to the next save, which says why.
    if (!bytes) return;
    devlist::LineStore disk = devlist::LineStore::fromFileBytes(*bytes);
    if (devlist::CheckList(disk) != devlist::ListRefusal::None) return;
    m_carried += takeDisk(std::move(disk));
}

size_t ListFiles::takeCarried() {
    return std::exchange(m_carried, 0);
}

bool ListFiles::save() {
    WindowState& s = m_state;
    const std::string& path = s.listFilePath;
    warnOfSecondName(path);
    if (path.empty()) {
        m_base = s.listStore;
        m_edited.clear();
        return true;
    }
    if (samePath(m_unreadable, path)) {
        m_seen = platform::fileStamp(path);
        m_dialogs.error(cannotWriteText(path));
        return false;
    }
    std::vector<Backup*> kept;
    // A folder that takes no lock file still gets its list written, as it always did. The
    // operator is told of a failure only after the lock is released: a question holds the loop,
    // and a runner waiting for the lock would wait for the operator.
    const fleet::ListRewrite w =
        fleet::RewriteList(path, fleet::LockRule::BestEffort, [&](const fleet::ListNow& now) {
            devlist::LineStore disk;
            if (now.bytes) disk = devlist::LineStore::fromFileBytes(*now.bytes);
            const devlist::ListRefusal why =
                now.bytes ? devlist::CheckList(disk) : devlist::ListRefusal::Empty;
            // A file that became something else since it was read is kept aside before it is
            // replaced, and never mixed into the window's lines.
            if (why != devlist::ListRefusal::None && why != devlist::ListRefusal::Empty &&
                m_backup.bytes.empty()) {
                log(devlist::ListRefusalText(path, why));
                m_backup = {path, *now.bytes};
            }
            if (why == devlist::ListRefusal::None) m_carried += takeDisk(std::move(disk));
            fleet::ListChange change{s.listStore.toBytes(), {}};
            // Never replace the original while no copy of what it held exists.
            for (Backup* b : {&m_backup, &m_pendingImport}) {
                if (b->bytes.empty() || !samePath(b->path, path)) continue;
                kept.push_back(b);
                change.keepAside.push_back(b->bytes);
            }
            return change;
        });
    if (w.keptAside)
        for (Backup* b : kept) b->bytes.clear();
    m_seen = w.after;
    if (w.status == fleet::ListRewrite::Status::Written) {
        m_base = s.listStore;
        m_edited.clear();
        return true;
    }
    m_dialogs.error(cannotWriteText(w.failed.empty() ? path : w.failed));
    return false;
}

ListFiles::ResultWrite ListFiles::resultRecorded(const fleet::RecordIdentity& record,
                                                 const fleet::Outcome& outcome,
                                                 const fleet::ListWriter::Result& write) {
    using Status = fleet::ListWriter::Status;
    WindowState& s = m_state;
    if (write.status == Status::Gone) return ResultWrite::Gone;
    const int line = fleet::FindRecord(s.listStore, record);
    if (write.status == Status::Failed) {
        if (line < 0) return ResultWrite::Gone;
        s.listStore[static_cast<size_t>(line)] = fleet::ResultLine(
            s.listStore[static_cast<size_t>(line)], line, outcome, fleet::Numbering::ByPlace);
        save();
        return ResultWrite::Written;
    }
    // What the next save merges against holds the result as the file does, so the save neither
    // takes the result for the operator's change nor writes the old values back over it.
    const devlist::LineStore base = m_base;
    if (const int at = fleet::FindRecord(m_base, record); at >= 0)
        m_base[static_cast<size_t>(at)] = fleet::ResultLine(m_base[static_cast<size_t>(at)], at,
                                                            outcome, fleet::Numbering::ByPlace);
    // Nobody else wrote the file between the window's last look and the result: it is the file
    // as the window knows it now. Otherwise what the others wrote comes in with the result, as
    // it did with the window's own write.
    const bool onlyThis = m_seen == write.before || m_seen == write.after;
    if (onlyThis) m_seen = write.after;
    if (line < 0) {
        if (!onlyThis) takeIn();
        return ResultWrite::Written;
    }
    const auto held = static_cast<size_t>(line);
    const std::string before = s.listStore[held];
    const bool viewIsList = s.viewStore.lines() == s.listStore.lines();
    s.listStore[held] = fleet::ResultLine(before, line, outcome, fleet::Numbering::ByPlace);
    if (m_pendingImport.path.empty())
        s.viewStore = viewIsList ? s.listStore : MergeSave(s.viewStore, base, m_base).lines;
    const long long n = devlist::ParseNumber(s.edit.numberLabel, 0);
    if (n == line + 1 && s.listStore[held] != before)
        FollowCarry(s.edit, before, s.listStore[held]);
    if (!onlyThis) takeIn();
    return ResultWrite::Written;
}

bool ListFiles::exportTo(const std::string& path) {
    // An export over the list file in use is a save of it.
    if (samePath(path, m_state.listFilePath)) return save();
    return writeOver(path, m_state.listStore.toBytes());
}

bool ListFiles::writeOver(const std::string& path, const std::string& bytes) {
    std::string failed = writeQuietly(path, bytes);
    if (failed.empty()) return true;
    m_dialogs.error(cannotWriteText(failed));
    return false;
}

std::string ListFiles::writeQuietly(const std::string& path, const std::string& bytes) {
    if (samePath(m_unreadable, path)) return path;
    for (Backup* b : {&m_backup, &m_pendingImport}) {
        // Never replace the original while no copy of what it held exists.
        if (!b->bytes.empty() && samePath(b->path, path)) {
            std::string failed = keepBackup(*b);
            if (!failed.empty()) return failed;
        }
    }
    // The list holds every device's login: a list file made anew is the user's alone.
    return platform::writeFileAtomic(path, bytes, platform::Access::OwnerOnly) ? std::string()
                                                                               : path;
}

std::string ListFiles::keepBackup(Backup& backup) {
    devlist::ListBackup kept = devlist::KeepListBackup(backup.path, backup.bytes);
    if (!kept.kept) return kept.name;
    backup.bytes.clear();
    return {};
}

bool ListFiles::import(const std::string& path) {
    WindowState& s = m_state;
    Backup pending{path, {}};
    devlist::LineStore base;
    const platform::FileStamp seen = platform::fileStamp(path);
    if (platform::fileExists(path) || platform::directoryExists(path)) {
        auto bytes = platform::readFile(path);
        devlist::LineStore raw;
        if (bytes) raw = devlist::LineStore::fromFileBytes(*bytes);
        devlist::ListBuild build = devlist::BuildListRecords(raw);
        if (bytes) explain(path, build);
        if (!bytes || !build.accepted) {
            m_dialogs.warning(path + text::sj(" はリストファイルとして読み込めません"));
            return false;
        }
        base = raw;
        s.workStore = std::move(raw);
        s.viewStore = std::move(build.records);
        if (build.lossy) pending.bytes = std::move(*bytes);
    }
    // The imported file becomes the list file only when the import is applied, so leaving
    // without applying never writes the old list over it.
    m_pendingImport = std::move(pending);
    m_importBase = std::move(base);
    m_importSeen = seen;
    s.settings.listFile = path;
    return true;
}

void ListFiles::importApplied() {
    if (m_pendingImport.path.empty()) return;
    m_state.listFilePath = m_pendingImport.path;
    m_backup = std::move(m_pendingImport);
    m_pendingImport = {};
    m_base = std::move(m_importBase);
    m_importBase = {};
    m_seen = m_importSeen;
    m_carried = 0;
}

void ListFiles::importDropped() {
    if (m_pendingImport.path.empty()) return;
    // The list file stays the one in use.
    m_state.settings.listFile = m_state.listFilePath;
    m_pendingImport = {};
    m_importBase = {};
}

}  // namespace shell
