// The list file as a fleet run reads and writes it. The run reads the list once at its start
// (as the window loads it); every result is then written by one writer through the list's locked
// rewrite (RewriteList): it finds the served record by its identity (FindRecord) in the file as
// it is now, replaces only that record's result fields (ResultLine) and writes the file back, so
// the window or another runner saving into the same list between two results loses nothing.
//
// The writer keeps the lines it last read or wrote with the file's stamp (its inode, size,
// modification and status change times): while no one else wrote the file since, a batch costs
// no read and no parse of the list, so the writer's time per result does not grow with the list.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "devlist/line_store.h"
#include "fleet/list_rewrite.h"
#include "fleet/record_identity.h"
#include "fleet/result_rule.h"

namespace fleet {

// The list as loaded at the start of a run: the file's lines as they are, and the records the
// window would build from them (numbered by position, cut to the record length).
struct LoadedList {
    devlist::LineStore raw;
    devlist::LineStore records;
    std::vector<int> rawLine;     // the raw line each record was built from
    std::vector<int> unnumbered;  // 1-based raw lines left out for their number field
    size_t lostLines = 0;         // raw lines not carried whole into records
    std::string bytes;            // the file as read
};

// nullopt when the file cannot be read or holds no list; whyNot then gets what to tell the
// operator (code page 932).
std::optional<LoadedList> LoadList(const std::string& path, std::string* whyNot = nullptr);
// LoadList of bytes already read from path.
std::optional<LoadedList> ParseList(std::string bytes, const std::string& path,
                                    std::string* whyNot = nullptr);

class ListWriter {
public:
    enum class Status { Written, Gone, Failed };
    struct Result {
        Status status = Status::Failed;
        int line = -1;        // the file line written
        std::string error;    // for Failed: what could not be done, code page 932
        std::string written;  // for Written: the line as it is in the file now
        // The file as the batch that wrote it found it, and as it left it: whoever last saw the
        // file as `before` sees it as `after` once it takes this result in.
        platform::FileStamp before;
        platform::FileStamp after;
    };

    explicit ListWriter(std::string listPath, Numbering numbering = Numbering::KeepNumber)
        : m_path(std::move(listPath)), m_numbering(numbering) {}

    // Writes the outcome into the identified record of the file as it is now.
    Result record(const RecordIdentity& identity, const Outcome& outcome);

    struct Entry {
        RecordIdentity identity;
        Outcome outcome;
    };
    // Writes every outcome, in order, with one lock, one re-read and one rewrite: the results
    // that came in while the previous write waited for the lock cost a single rewrite.
    std::vector<Result> recordAll(const std::vector<Entry>& entries);

    const std::string& path() const { return m_path; }
    // How many times the writer read and parsed the file.
    int reads() const { return m_reads; }

private:
    std::string m_path;
    Numbering m_numbering;
    // The file as this writer last read or wrote it, and its stamp then; none: read it.
    std::optional<platform::FileStamp> m_stamp;
    devlist::LineStore m_raw;
    int m_reads = 0;
};

}  // namespace fleet
