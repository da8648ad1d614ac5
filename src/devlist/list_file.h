// The list file: one record per line, identified by the byte pair ",F" (the comma after the
// number and the F of the flags). Lists often come back from a spreadsheet; whatever a
// spreadsheet can make of one that is no longer a list is told apart here, once for both the
// window and the runner, with the words the operator is shown.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "devlist/line_store.h"

namespace devlist {

// True when the first line's first 10 bytes contain ",F": the file is a list.
bool HasRecordMark(const LineStore& raw);

// Why a file is not taken as a list.
enum class ListRefusal {
    None,          // it is a list
    Empty,         // no line holds anything
    Utf8,          // saved as UTF-8 (see IsPlainlyUtf8)
    NoRecordMark,  // the first line holds no ",F" in its first 10 bytes
};

// A byte-order mark of UTF-8 at the start, or non-ASCII text that is valid UTF-8 and not valid
// code page 932. Text valid in both is taken as code page 932: short Japanese texts in UTF-8
// can be, and such a file is not refused.
bool IsPlainlyUtf8(const LineStore& raw);

ListRefusal CheckList(const LineStore& raw);

// False when the text before the line's first ",F" holds anything but digits: a header row a
// spreadsheet kept ("No,Flags,..."), which is never a device. An empty number field is a
// number-less record the load numbers, as it numbers every record.
bool HasRecordNumber(std::string_view line);

struct ListBuild {
    bool accepted = false;  // the file is a list (CheckList gives None)
    ListRefusal refusal = ListRefusal::Empty;
    bool lossy = false;           // something of the file was dropped or cut, or it was rejected
    size_t lost = 0;              // of an accepted file: the lines not carried whole into records
    LineStore records;            // empty when not accepted
    std::vector<int> fileLine;    // the 0-based file line of each record
    std::vector<int> unnumbered;  // 1-based file lines dropped for their number field
    // 1-based file lines of records whose number is not three digits ("001" saved as "1"): the
    // tell-tale of a spreadsheet that took the columns for numbers.
    std::vector<int> shortNumbered;
    // 1-based file lines of records longer than a load keeps (kRecordCut bytes from the F): what
    // stood past that, most often the results at the end, is not loaded.
    std::vector<int> cut;
};

// The records of a file's lines: of the first 999 lines, each line at 1-based position i that
// contains ",F" after a number becomes ZeroPad(i, 3) + "," + at most 255 bytes from that F;
// other lines are dropped and leave a gap in the numbers.
ListBuild BuildListRecords(const LineStore& raw);

// Line numbers named in one message about a list's lines; the rest are counted.
inline constexpr size_t kLinesNamed = 5;

// What the operator is told of a file that is no list: why, what the first line must hold,
// and how a spreadsheet must save it. Code page 932, starting with the path.
std::string ListRefusalText(const std::string& path, ListRefusal why);
// What the operator is told of lines dropped for their number field (ListBuild::unnumbered).
std::string UnnumberedText(const std::string& path, const std::vector<int>& lines);
// What the operator is told of a list that went through a spreadsheet as numbers
// (ListBuild::shortNumbered): its logins may have lost their leading zeros too.
std::string ShortNumbersText(const std::string& path, const std::vector<int>& lines);
// What the operator is told of records cut at the load (ListBuild::cut).
std::string CutRecordsText(const std::string& path, const std::vector<int>& lines);
// Everything a loaded list's operator is told about it, one text per kind: the lines dropped
// for their number field, the spreadsheet's numbers, the records cut. Both the window and the
// runner say these once per load.
std::vector<std::string> LoadNotes(const std::string& path, const ListBuild& build);

// Keeps bytes in a copy beside the list: "<path>.bak", or when an older copy with other
// content holds that name, the next free one of "<path>.bak2", "<path>.bak3", ... A copy that
// holds the same bytes already is kept as it is. The name of the copy, or, when none could be
// written, the name that failed (kept false).
struct ListBackup {
    bool kept = false;
    std::string name;
};
ListBackup KeepListBackup(const std::string& path, std::string_view bytes);

}  // namespace devlist
