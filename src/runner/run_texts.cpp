#include "runner/run_texts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iterator>

#include "devlist/edit_panel.h"
#include "devlist/list_file.h"
#include "fleet/send_file.h"
#include "platform/files.h"
#include "runner/messages.h"
#include "runner/terminal.h"
#include "session/session_files.h"
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

void SayListUnreadable(const Terminal& t, const std::string& listFile) {
    const std::string shown = Shown(listFile);
    const auto bytes = platform::readFile(listFile);
    if (!bytes) {
        t.complain(Fill(Tr("cannot read the device list %1: %2"),
                        {shown, ReasonUnreadable(text::toPath(listFile))}));
        return;
    }
    const auto build = devlist::BuildListRecords(devlist::LineStore::fromFileBytes(*bytes));
    switch (build.refusal) {
        case devlist::ListRefusal::Empty:
            t.complain(Fill(Tr("%1 holds no device lines."), {shown}));
            return;
        case devlist::ListRefusal::Utf8:
            t.complain(Fill(Tr("%1 is saved as UTF-8: it is not read as a list (and no result is "
                               "written into it). From a spreadsheet, save it as CSV in Shift-JIS, "
                               "without a header row and without quotes around the cells."),
                            {shown}));
            return;
        case devlist::ListRefusal::NoRecordMark:
        case devlist::ListRefusal::None:
            break;
    }
    t.complain(Fill(Tr("%1 cannot be read as a list file: its first line needs the number, a comma "
                       "and the flag F within its first 10 bytes (e.g. 001,F0000000,...). From a "
                       "spreadsheet, save it as CSV in Shift-JIS, without a header row and without "
                       "quotes around the cells."),
                    {shown}));
}

void SayBox(const Terminal& t, const std::string& text) {
    if (!session::IsSaveFailureBox(text)) t.say(Shown(text));
}

namespace {

// "3, 7" and, past devlist::kLinesNamed lines, how many more.
std::pair<std::string, std::string> namedLines(const std::vector<int>& lines) {
    std::string named;
    for (size_t i = 0; i < lines.size() && i < devlist::kLinesNamed; ++i)
        named += (i > 0 ? ", " : "") + std::to_string(lines[i]);
    std::string more;
    if (lines.size() > devlist::kLinesNamed)
        more = Fill(Tr(" and %1 more"), {std::to_string(lines.size() - devlist::kLinesNamed)});
    return {named, more};
}

}  // namespace

void SayLoadNotes(const Terminal& t, const std::string& listFile, const devlist::ListBuild& build) {
    const std::string shown = Shown(listFile);
    if (!build.unnumbered.empty()) {
        const auto [named, more] = namedLines(build.unnumbered);
        t.say(Fill(Tr("%1: line(s) %2%3 have no number in the number field (a heading row?): they "
                      "are not devices."),
                   {shown, named, more}));
    }
    if (!build.shortNumbered.empty()) {
        const auto [named, more] = namedLines(build.shortNumbered);
        t.say(Fill(Tr("%1: line(s) %2%3 have a number that is not three digits (1 for 001). A "
                      "spreadsheet seems to have opened the columns as numbers and saved them, and "
                      "the leading zeros of user IDs and passwords may be lost too (123 for 0123). "
                      "The list is read as it is. How to keep the columns as text: \"For "
                      "spreadsheet users\" in docs/files.md (installed: man 5 qlx-setting)."),
                   {shown, named, more}));
    }
    if (!build.cut.empty()) {
        const auto [named, more] = namedLines(build.cut);
        t.say(Fill(Tr("%1: line(s) %2%3 run past 255 bytes from the F: what follows (such as the "
                      "last send and the message at the end) is not read. Shorten the name or the "
                      "path of the send file."),
                   {shown, named, more}));
    }
}

std::string ResultShown(const fleet::DeviceResult& r, const fleet::RunSettings& settings) {
    if (!r.served) {
        // The run serves no device whose send file is missing; the file is the one it looked for.
        devlist::EditPanel panel;
        devlist::EditData(panel, 0, devlist::LineStore(std::vector<std::string>{r.device.record}));
        const std::string path =
            fleet::SendFilePath(settings.sendMethod, settings.commonSendFile, panel.rec.sendFile);
        return Fill(Tr("send file %1 is not found."), {Shown(path)});
    }
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

std::string DumpProblemShown(const fleet::DumpProblem& p) {
    using Kind = fleet::DumpProblem::Kind;
    const char* pattern = "";
    switch (p.kind) {
        case Kind::None:
            return {};
        case Kind::TooLarge:
            pattern = N_("the file %1 is too large for a dump");
            break;
        case Kind::Unreadable:
            pattern = N_("cannot read %1");
            break;
        case Kind::HeadCut:
            pattern =
                N_("the dump %1 lost its head (the device sent more than the run could "
                   "keep): it is not compared");
            break;
        case Kind::NoBefore:
            pattern = N_("no dump from before a send: %1 (a check writes only the dump after)");
            break;
        case Kind::NoAfter:
            pattern = N_("no dump from after a send: %1");
            break;
        case Kind::AfterOlder:
            pattern =
                N_("%1 is older than %2: the last send ended before its dump after the "
                   "settings");
            break;
        case Kind::Foreign:
            pattern =
                N_("%1 names another record in its first line: another record's session "
                   "wrote it, and it is not shown as this record's");
            break;
        case Kind::LaterCheck:
            pattern =
                N_("%1 is from a later session than the send (a check): shown are the "
                   "changes since before the send");
            break;
    }
    return Fill(Tr(pattern), {p.file.string(), p.other.string()});
}

std::string NothingSelected(const fleet::EmptySelection& e) {
    using Why = fleet::EmptySelection::Why;
    if (e.why == Why::EmptyList) return Tr("no record selected: the list holds no record");
    // By reason, in the order of Why after EmptyList: %1 the option, %2 the records shown.
    static constexpr const char* kWhy[] = {
        N_("no record selected: %1: none of the %2 records is checked"),
        N_("no record selected: %1: none of the %2 records is in that group"),
        N_("no record selected: %1: the list holds records 1 to %2 only"),
        N_("no record selected: %1: none of the %2 records has a failed result"),
        N_("no record selected: %1: none of the %2 records shows that word"),
        N_("no record selected: %1: each option matches records, but no record matches them all"),
    };
    static_assert(std::size(kWhy) == static_cast<size_t>(Why::NoneInCommon));
    return Fill(Tr(kWhy[static_cast<size_t>(e.why) - 1]),
                {Shown(e.option), std::to_string(e.records)});
}

}  // namespace runner
