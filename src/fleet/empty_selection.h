// Why a selection served no record, in terms of what the operator asked: the option that on its
// own matches none of the list's records, or, when each matches some, that they have no record
// in common. The front end turns it into a sentence in the operator's language.
#pragma once

#include <string>

#include "devlist/line_store.h"
#include "fleet/selection.h"

namespace fleet {

struct EmptySelection {
    enum class Why {
        EmptyList,     // the list shows no record at all
        NoneChecked,   // the default selection, or --checked: no record is checked
        NoGroup,       // --group N: no record is in that group
        NoNumber,      // --no: no record has such a number (the list is shorter)
        NoneFailed,    // --failed: every record's last result is a success, or there is none
        NoMatch,       // --match WORD: no record shows the word
        NoneInCommon,  // every option matches some records, but no record matches all of them
    };
    Why why = Why::EmptyList;
    std::string option;  // the option as given ("--group 2"), code page 932; "--checked" by default
    size_t records = 0;  // the records the list shows
    size_t checked = 0;  // of them, checked
};

// Meant for a selection that Select found empty on store.
EmptySelection WhyNothingSelected(const Selection& selection, const devlist::LineStore& store);

}  // namespace fleet
