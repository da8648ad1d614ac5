#include "fleet/list_writer.h"

#include "devlist/fields.h"
#include "devlist/list_file.h"
#include "platform/files.h"
#include "text/cp932.h"

namespace fleet {
std::optional<LoadedList> LoadList(const std::string& path, std::string* whyNot) {
    auto bytes = platform::readFile(path);
    if (!bytes) {
        if (whyNot) *whyNot = path + text::sj(" を読み込めません。");
        return std::nullopt;
    }
    return ParseList(std::move(*bytes), path, whyNot);
}

std::optional<LoadedList> ParseList(std::string bytes, const std::string& path,
                                    std::string* whyNot) {
    LoadedList list;
    list.raw = devlist::LineStore::fromFileBytes(bytes);
    devlist::ListBuild build = devlist::BuildListRecords(list.raw);
    if (!build.accepted) {
        if (whyNot) *whyNot = devlist::ListRefusalText(path, build.refusal);
        return std::nullopt;
    }
    list.records = std::move(build.records);
    list.rawLine = std::move(build.fileLine);
    list.unnumbered = std::move(build.unnumbered);
    list.lostLines = build.lost;
    list.bytes = std::move(bytes);
    return list;
}

ListWriter::Result ListWriter::record(const RecordIdentity& identity, const Outcome& outcome) {
    return recordAll({Entry{identity, outcome}}).front();
}

std::vector<ListWriter::Result> ListWriter::recordAll(const std::vector<Entry>& entries) {
    std::vector<Result> results(entries.size());
    std::string refusal;
    bool changed = false;
    size_t size = 0;
    const ListRewrite w = RewriteList(
        m_path, LockRule::Required,
        [&](const ListNow& now) -> ListChange {
            if (!now.unchanged) {
                m_stamp.reset();
                m_raw = {};
                // A file that no longer reads as a list is never written over, nor one saved
                // as UTF-8, which a result in code page 932 would leave in two encodings.
                devlist::ListRefusal why = devlist::ListRefusal::Empty;
                if (now.bytes) {
                    ++m_reads;
                    m_raw = devlist::LineStore::fromFileBytes(*now.bytes);
                    why = devlist::CheckList(m_raw);
                }
                if (why != devlist::ListRefusal::None) {
                    refusal = why == devlist::ListRefusal::Utf8
                                  ? devlist::ListRefusalText(m_path, why)
                                  : m_path + text::sj(" はリストファイルとして読み込めません");
                    m_raw = {};
                    return {};
                }
            }
            RecordFinder finder(m_raw);
            for (size_t i = 0; i < entries.size(); ++i) {
                Result& r = results[i];
                r.line = finder.find(entries[i].identity);
                // A line without a number (a header row) is no device's record, whatever it
                // matches.
                if (r.line >= 0 && !devlist::HasRecordNumber(m_raw[static_cast<size_t>(r.line)]))
                    r.line = -1;
                if (r.line < 0) {
                    r.status = Status::Gone;
                    continue;
                }
                std::string& line = m_raw[static_cast<size_t>(r.line)];
                line = ResultLine(line, r.line, entries[i].outcome, m_numbering);
                r.written = line;
                r.status = Status::Written;
                changed = true;
            }
            if (!changed) return {};
            std::string bytes = m_raw.toBytes();
            size = bytes.size();
            return {std::move(bytes), {}};
        },
        m_stamp);
    std::string error;
    switch (w.status) {
        case ListRewrite::Status::Written:
        case ListRewrite::Status::NotWritten:
            // What this writer holds is the file now, unless it refused the file or someone
            // wrote it without the lock right after it.
            if (refusal.empty() && (!changed || w.after.size == static_cast<int64_t>(size)))
                m_stamp = w.after;
            break;
        case ListRewrite::Status::NoLock:
            error = w.failed + text::sj(" をロックできません");
            break;
        case ListRewrite::Status::Unreadable:
            error = m_path + text::sj(" はリストファイルとして読み込めません");
            break;
        case ListRewrite::Status::BackupFailed:
        case ListRewrite::Status::WriteFailed:
            error = m_path + text::sj(" に書き込めません");
            break;
    }
    if (!refusal.empty()) error = refusal;
    if (!error.empty()) {
        // The lines may hold results the file does not: the next batch reads it again.
        if (w.status != ListRewrite::Status::NoLock) m_stamp.reset();
        for (Result& r : results) {
            if (r.status == Status::Gone) continue;
            r.status = Status::Failed;
            r.error = error;
            r.written.clear();
        }
    }
    for (Result& r : results) {
        r.before = w.before;
        r.after = w.after;
    }
    return results;
}

}  // namespace fleet
