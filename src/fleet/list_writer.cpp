#include "fleet/list_writer.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace fleet {
namespace {

constexpr std::string_view kRecordMark = ",F";

// The record after its number: from the F of the flags on.
std::string_view body(std::string_view line) {
    size_t mark = line.find(kRecordMark);
    return mark == std::string_view::npos ? std::string_view() : line.substr(mark + 1);
}

}  // namespace

std::filesystem::path LockPathOf(const std::string& listPath) {
    std::filesystem::path p = text::toPath(listPath);
    std::error_code ec;
    // The list may not exist yet (the window's first save): its folder is resolved all the same.
    std::filesystem::path resolved = std::filesystem::weakly_canonical(p, ec);
    if (!ec && !resolved.empty()) p = std::move(resolved);
    p += ".lock";
    return p;
}

unsigned long ListNameCount(const std::string& listPath) {
    struct stat st {};
    // A symbolic link is followed, as every write of the list follows it.
    if (listPath.empty() || ::stat(text::toPath(listPath).c_str(), &st) != 0) return 0;
    if (!S_ISREG(st.st_mode)) return 0;  // a folder's links are its entries
    return static_cast<unsigned long>(st.st_nlink);
}

std::string SecondNameText(const std::string& listPath) {
    return listPath + text::sj(
                          " には別の名前 (ハードリンク) があります。保存すると、この名前の"
                          "ファイルだけが新しくなり、別の名前のファイルは元のまま残ります。");
}

ListLock::ListLock(const std::string& listPath) : m_path(LockPathOf(listPath)) {
    // A link or anything but a plain file at the lock's name is never opened through: that
    // would let whoever planted it choose the file this program creates or truncates.
    m_fd = platform::openLockFile(m_path);
    if (m_fd < 0) return;
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(m_fd);
            m_fd = -1;
            return;
        }
    }
}

ListLock::~ListLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}

std::optional<LoadedList> LoadList(const std::string& path, std::string* whyNot) {
    auto bytes = platform::readFile(path);
    if (!bytes) {
        if (whyNot) *whyNot = path + text::sj(" を読み込めません。");
        return std::nullopt;
    }
    LoadedList list;
    list.raw = devlist::LineStore::fromFileBytes(*bytes);
    devlist::ListBuild build = devlist::BuildListRecords(list.raw);
    if (!build.accepted) {
        if (whyNot) *whyNot = devlist::ListRefusalText(path, build.refusal);
        return std::nullopt;
    }
    list.records = std::move(build.records);
    list.rawLine = std::move(build.fileLine);
    list.unnumbered = std::move(build.unnumbered);
    list.lostLines = build.lost;
    list.bytes = std::move(*bytes);
    return list;
}

ListWriter::Result ListWriter::record(const RecordIdentity& identity, const Outcome& outcome) {
    return recordAll({Entry{identity, outcome}}).front();
}

std::vector<ListWriter::Result> ListWriter::recordAll(const std::vector<Entry>& entries) {
    std::vector<Result> results(entries.size());
    auto failAll = [&](const std::string& error) {
        for (Result& r : results) {
            if (r.status == Status::Gone) continue;
            r.status = Status::Failed;
            r.error = error;
        }
        return results;
    };
    ListLock lock(m_path);
    if (!lock.held()) return failAll(text::fromPath(lock.path()) + text::sj(" をロックできません"));
    auto bytes = platform::readFile(m_path);
    devlist::LineStore raw;
    if (bytes) raw = devlist::LineStore::fromFileBytes(*bytes);
    // A file that no longer reads as a list is never written over, nor one saved as UTF-8,
    // which a result in code page 932 would leave in two encodings.
    const devlist::ListRefusal why = bytes ? devlist::CheckList(raw) : devlist::ListRefusal::Empty;
    if (!bytes || why != devlist::ListRefusal::None)
        return failAll(why == devlist::ListRefusal::Utf8
                           ? devlist::ListRefusalText(m_path, why)
                           : m_path + text::sj(" はリストファイルとして読み込めません"));
    bool changed = false;
    RecordFinder finder(raw);
    for (size_t i = 0; i < entries.size(); ++i) {
        Result& r = results[i];
        r.line = finder.find(entries[i].identity);
        // A line without a number (a header row) is no device's record, whatever it matches.
        if (r.line >= 0 && !devlist::HasRecordNumber(raw[static_cast<size_t>(r.line)])) r.line = -1;
        if (r.line < 0) {
            r.status = Status::Gone;
            continue;
        }
        std::string& line = raw[static_cast<size_t>(r.line)];
        // Whatever stood before ",F" other than the number would shift the fields: the record is
        // written as a load builds it.
        if (line.find(',') != line.find(kRecordMark))
            line = devlist::ZeroPad(r.line + 1, 3) + "," + std::string(body(line));
        line = ApplyOutcome(line, entries[i].outcome);
        r.status = Status::Written;
        changed = true;
    }
    if (changed && !platform::writeFileAtomic(m_path, raw.toBytes(), platform::Access::OwnerOnly))
        return failAll(m_path + text::sj(" に書き込めません"));
    return results;
}

}  // namespace fleet
