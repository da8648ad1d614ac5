#include "fleet/list_writer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

std::string key(std::string_view line) {
    std::string rec = "0," + std::string(body(line));
    std::string k;
    for (int f :
         {devlist::kListName, devlist::kIpAddress, devlist::kTelnetPort, devlist::kMacAddress}) {
        k += devlist::FieldGet(f, rec);
        k += '\n';
    }
    return k;
}

// The index nearest to `near` whose line passes test; -1 when none does.
template <typename Test>
int nearest(const devlist::LineStore& raw, int near, Test test) {
    int found = -1;
    for (size_t i = 0; i < raw.size(); ++i) {
        if (!test(raw[i])) continue;
        int at = static_cast<int>(i);
        if (found < 0 || std::abs(at - near) < std::abs(found - near)) found = at;
    }
    return found;
}

}  // namespace

ListLock::ListLock(const std::string& listPath) {
    std::filesystem::path p = text::toPath(listPath);
    p += ".lock";
    m_fd = ::open(p.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
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

int FindRecord(const devlist::LineStore& raw, const RecordIdentity& id) {
    if (id.line < 0 || body(id.bytes).empty()) return -1;
    if (static_cast<size_t>(id.line) < raw.size() && raw[static_cast<size_t>(id.line)] == id.bytes)
        return id.line;
    int at = nearest(raw, id.line, [&](const std::string& l) { return l == id.bytes; });
    if (at >= 0) return at;
    const std::string_view b = body(id.bytes);
    at = nearest(raw, id.line, [&](const std::string& l) { return body(l) == b; });
    if (at >= 0) return at;
    const std::string k = key(id.bytes);
    return nearest(raw, id.line,
                   [&](const std::string& l) { return !body(l).empty() && key(l) == k; });
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
    if (!lock.held()) return failAll(m_path + text::sj(".lock をロックできません"));
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
    for (size_t i = 0; i < entries.size(); ++i) {
        Result& r = results[i];
        r.line = FindRecord(raw, entries[i].identity);
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
