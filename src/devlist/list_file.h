// The list file: one record per line, identified by the byte pair ",F" (the comma after the
// number and the F of the flags).
#pragma once

#include <string_view>

#include "devlist/line_store.h"

namespace devlist {

// True when the first line's first 10 bytes contain ",F": the file is a list.
bool HasRecordMark(const LineStore& raw);

struct ListBuild {
    bool accepted = false;  // the file is a list (HasRecordMark)
    bool lossy = false;     // something of the file was dropped or cut, or it was rejected
    LineStore records;      // empty when not accepted
};

// The records of a file's lines: of the first 999 lines, each line at 1-based position i that
// contains ",F" becomes ZeroPad(i, 3) + "," + at most 255 bytes from that F; other lines are
// dropped and leave a gap in the numbers.
ListBuild BuildListRecords(const LineStore& raw);

}  // namespace devlist
