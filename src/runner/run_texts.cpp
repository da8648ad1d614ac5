#include "runner/run_texts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "devlist/list_file.h"
#include "platform/files.h"
#include "runner/messages.h"
#include "runner/terminal.h"
#include "text/cp932.h"

namespace runner {

std::string SystemReason(int error) {
    // strerror follows LC_MESSAGES; the runner prints UTF-8 in a UTF-8 locale, which is the only
    // kind of locale it translates for.
    return std::strerror(error);
}

std::string ReasonUnreadable(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return SystemReason(errno);
    ::close(fd);
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return SystemReason(EISDIR);
    return SystemReason(EIO);
}

void SayListUnreadable(const std::string& listFile) {
    const std::string shown = Shown(listFile);
    const auto bytes = platform::readFile(listFile);
    if (!bytes) {
        Complain(Fill(Tr("cannot read the device list %1: %2"),
                      {shown, ReasonUnreadable(text::toPath(listFile))}));
        return;
    }
    const auto build = devlist::BuildListRecords(devlist::LineStore::fromFileBytes(*bytes));
    switch (build.refusal) {
        case devlist::ListRefusal::Empty:
            Complain(Fill(Tr("%1 holds no device lines."), {shown}));
            return;
        case devlist::ListRefusal::Utf8:
            Complain(Fill(Tr("%1 is saved as UTF-8: it is not read as a list (and no result is "
                             "written into it). From a spreadsheet, save it as CSV in Shift-JIS, "
                             "without a header row and without quotes around the cells."),
                          {shown}));
            return;
        case devlist::ListRefusal::NoRecordMark:
        case devlist::ListRefusal::None:
            break;
    }
    Complain(Fill(Tr("%1 cannot be read as a list file: its first line needs the number, a comma "
                     "and the flag F within its first 10 bytes (e.g. 001,F0000000,...). From a "
                     "spreadsheet, save it as CSV in Shift-JIS, without a header row and without "
                     "quotes around the cells."),
                  {shown}));
}

std::string ResultShown(const fleet::DeviceResult& r) {
    if (!r.outcome) return Shown(r.row.message);
    switch (r.outcome->result) {
        case session::kResultOk:
            return Tr("#000 OK sent normally") + (r.outcome->resetPending ? "(CPURESET)" : "");
        case session::kResultLoginError:
            return Tr("#104 NG ID/PASS Login Error");
        case session::kResultTimeOut:
            return Tr("#404 NG Time Out");
        case session::kResultExists:
            return Tr("#108 NG already exists.");
        case session::kResultTextCut:
            return Tr("#507 NG Text Cut");
        case session::kResultSaveFailed:
            return Tr("#508 NG File Save Error");
        default:
            return Shown(r.row.message);
    }
}

std::string NothingSelected(const fleet::EmptySelection& e) {
    using Why = fleet::EmptySelection::Why;
    const std::string option = Shown(e.option);
    const std::string records = std::to_string(e.records);
    switch (e.why) {
        case Why::EmptyList:
            return Tr("no record selected: the list holds no record");
        case Why::NoneChecked:
            return Fill(Tr("no record selected: %1: none of the %2 records is checked"),
                        {option, records});
        case Why::NoGroup:
            return Fill(Tr("no record selected: %1: none of the %2 records is in that group"),
                        {option, records});
        case Why::NoNumber:
            return Fill(Tr("no record selected: %1: the list holds records 1 to %2 only"),
                        {option, records});
        case Why::NoneFailed:
            return Fill(Tr("no record selected: %1: none of the %2 records has a failed result"),
                        {option, records});
        case Why::NoMatch:
            return Fill(Tr("no record selected: %1: none of the %2 records shows that word"),
                        {option, records});
        case Why::NoneInCommon:
            break;
    }
    return Fill(Tr("no record selected: %1: each option matches records, but no record matches "
                   "them all"),
                {option});
}

}  // namespace runner
