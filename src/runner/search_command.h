// The verb search: the window's LAN search (four requests 200 ms apart to the own network's
// broadcast address, one more second for the replies), each device found printed once (never
// the login a new record gets), then what merging them into the list would change; --apply
// stores the merged list and says what it changed.
#pragma once

#include <optional>
#include <string>

#include "devlist/line_store.h"
#include "discovery/registration.h"
#include "fleet/list_writer.h"
#include "runner/command.h"

namespace runner {

class SearchCommand : public Command {
public:
    using Command::Command;

private:
    Prologue prologue() const override { return {}; }
    int body() override;
    // A missing list is an empty one for the search, as the window starts with one.
    int loadList();
    // The address the search broadcasts from, said with where it came from; nullopt: none.
    std::optional<std::string> ownAddress();
    // The devices found, in records; false when the search could not run.
    bool search(const std::string& own, devlist::LineStore& replies, devlist::LineStore& records);
    void printFound(const devlist::LineStore& records) const;
    void printMerge(const devlist::LineStore& before, const discovery::MergeResult& merged) const;
    // The list as it is now, merged once more under the lock.
    int store(const devlist::LineStore& records);
    // What the rewrite did, said; the exit code.
    int sayStored(const fleet::ListRewrite& rewrite, size_t lost, size_t stored) const;
};

}  // namespace runner
