// The window saves its whole list, but another writer (a runner's results, a runner's search
// that changed addresses and added devices, another window) may have written the same file since
// the window last read it. A save is therefore a three-way merge of the window's lines against
// the file as the window last read it (the base) and the file as it is now: only what the
// operator changed is written, and what another writer changed or added stays.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "devlist/edit_panel.h"
#include "devlist/line_store.h"

namespace shell {

// A line of the window's list that the record editor rewrote since the base: what it held
// before and what the editor put there. A rewrite may change what identifies the record (its
// name, its address and more at once), so the record is known by what it held before.
struct EditedLine {
    std::string before;
    std::string after;
};
using EditedLines = std::map<size_t, EditedLine>;  // by line of the window's list

struct SaveMerge {
    devlist::LineStore lines;
    // The merged lines that no longer carry the identity of the file's line they were merged
    // with, each with that line's bytes as `before`: what the next merge knows them by when the
    // merge is not written and the file as it is now becomes the base.
    EditedLines edited;
    // Records another writer added that did not fit into the 999 of a list.
    size_t leftOut = 0;
};

// The window's lines (mine) merged with the file: each of mine's records is found in base (by
// its identity, by what it held before the editor rewrote it, or by a likeness in all but one of
// its identifying fields) and then in disk the same way. Field by field, a field mine left as
// base had it takes disk's value, any other field is mine's; the number is mine's. Mine's order
// stays, and so does every line of mine, also one the file lost meanwhile (the window's lines
// keep their places). A record of disk that no record of base is, nor can be told from, was
// added by another writer: it comes after mine's, numbered by its place, while the list holds
// fewer than 999 records. A record of base the
// window deleted stays deleted. Lines of mine that are no record are mine; those of disk are not
// taken.
SaveMerge MergeSave(const devlist::LineStore& mine, const devlist::LineStore& base,
                    const devlist::LineStore& disk, const EditedLines& edited = {});

// MergeSave's lines.
devlist::LineStore CarryResults(const devlist::LineStore& mine, const devlist::LineStore& base,
                                const devlist::LineStore& disk);

// The record editor holding a record that a merge changed from before to after: each box the
// operator left as the record held it takes the merged value, so that "設定保存" without any
// typing does not write the old values back over another writer's change.
void FollowCarry(devlist::EditPanel& editor, std::string_view before, std::string_view after);

}  // namespace shell
