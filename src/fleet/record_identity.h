// Who a record of the list is, for every writer of the list: the runner's result write, the
// window's result write and its save (which carries the results another writer put into the file
// into the window's lines), and the window's confirmed delete. A record is known by what no
// result writes: the whole record but its number, its flags (check mark and groups) and the
// result fields (MAC address, model / Ver, device name, last send, message). So a result written
// by another writer never makes its record a stranger, and a record is never taken for one that
// differs in anything the operator owns.
//
// Records that share those fields ("twins": the same device entered twice, differing only in
// MAC, flags or number) are told apart only by what sets them apart: the exact line, the line
// after its number (moved or renumbered), the line after its flags (its check mark changed too),
// or being the one twin left changed. When that does not decide, the record is not found: a
// result goes nowhere rather than onto another record.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "devlist/line_store.h"

namespace fleet {

// The identifying part of a record line: the record after its flags with the result fields
// emptied and empty fields at its end dropped; "" for a line that is no record (no ",F").
std::string IdentityKey(std::string_view line);

// Who a record is: its line and the bytes that line held when it was taken, and the list it was
// taken from (shared by every identity taken from it), whose twins of the record a later lookup
// must not take for it. Without the list, the record is taken to have had no twins.
struct RecordIdentity {
    int line = -1;
    std::string bytes;
    std::shared_ptr<const devlist::LineStore> list;
};

// The identity of line `line` of list; an empty identity when the list has no such line.
RecordIdentity IdentityOf(std::shared_ptr<const devlist::LineStore> list, int line);

// The line of now that holds the identified record; -1 when it is gone or cannot be told from
// a twin.
int FindRecord(const devlist::LineStore& now, const RecordIdentity& identity);

// FindRecord for many identities in one store: each line's key is taken once for the store and
// once for each list the identities were taken from, so a batch of results costs one pass over
// the file instead of two per result. `now` may change between finds in anything but the keys
// of its lines (a result written, a number rewritten), which is what a batch write does.
class RecordFinder {
public:
    using Groups = std::unordered_map<std::string, std::vector<int>>;  // key: lines
    explicit RecordFinder(const devlist::LineStore& now);
    int find(const RecordIdentity& identity);

private:
    const devlist::LineStore& m_now;
    Groups m_nowGroups;  // taken at the first find that needs them
    bool m_nowGrouped = false;
    // The groups of the list the last identity came from; held so that its address stays its.
    std::shared_ptr<const devlist::LineStore> m_list;
    Groups m_listGroups;
};

// For every line of from, the line of to that holds the same record (-1: none, no record, or
// not to be told apart from its twins). Two lines of from never get the same line of to.
std::vector<int> PairRecords(const devlist::LineStore& from, const devlist::LineStore& to);

}  // namespace fleet
