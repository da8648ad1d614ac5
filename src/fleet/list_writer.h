// The list file as a fleet run reads and writes it. The run reads the list once at its start
// (as the window loads it); every result is then written by one writer that takes an advisory
// lock beside the list (ListLock), re-reads the file, finds the served record by its identity
// (FindRecord), replaces only that record's result fields and writes the file back, so the window
// or another runner saving into the same list between two results loses nothing.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "devlist/line_store.h"
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

// Holds an exclusive flock on the list's lock file for its lifetime: every writer of the list
// takes it for its short read-modify-write. The lock belongs to the file, not to the name it was
// reached by: it is "<list>.lock" beside the list with every link resolved, so a list reached
// through a symbolic link or a relative path has the one lock. The lock file never follows a
// link planted at its name and is the user's alone. It is left in place: removing it would let
// two writers lock two different files.
class ListLock {
public:
    explicit ListLock(const std::string& listPath);
    ~ListLock();
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;
    bool held() const { return m_fd >= 0; }
    const std::filesystem::path& path() const { return m_path; }

private:
    int m_fd = -1;
    std::filesystem::path m_path;
};

// The lock file of the list at listPath (see ListLock).
std::filesystem::path LockPathOf(const std::string& listPath);

// How many names (hard links) the list file at listPath has; 0 when it cannot be looked at. A
// list with more than one is not shared safely: a write replaces the file under one name only,
// and each name has a lock of its own, so the writers would part without a word.
unsigned long ListNameCount(const std::string& listPath);
// What the window tells the operator of such a list before its first write over it.
std::string SecondNameText(const std::string& listPath);

class ListWriter {
public:
    enum class Status { Written, Gone, Failed };
    struct Result {
        Status status = Status::Failed;
        int line = -1;      // the file line written
        std::string error;  // for Failed: what could not be done, code page 932
    };

    explicit ListWriter(std::string listPath) : m_path(std::move(listPath)) {}

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

private:
    std::string m_path;
};

}  // namespace fleet
