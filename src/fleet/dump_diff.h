// What a send changed on a device: its variable dump before the settings ("q1") against the one
// after them ("q2"). A dump file is a header line (with the time it was taken), then the device's
// answer to "&save": the echo of the command and one ".name=value" line per variable.
//
// Variables are matched by name, wherever they stand; a line that is not name=value is matched
// as a whole line. The header line and blank lines (a chunk that ended with its line break adds
// one) are left out. All text is code page 932, as the files hold it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "devlist/device_record.h"

namespace session {
class DeviceSession;
}

namespace fleet {

struct DumpChange {
    enum class Kind { Changed, Added, Removed };
    Kind kind = Kind::Changed;
    bool wholeLine = false;  // a line that is not name=value: name holds the whole line
    std::string name;        // the variable's name as the dump writes it (".sysName")
    std::string before;      // Changed, Removed
    std::string after;       // Changed, Added
};

// Whether two values of a variable are the same to the device: equal, or equal once one pair of
// double quotes around the whole value is left out. A device may store a value in its own form
// (it is sent ".sysName=SIM" and dumps ".sysName=\"SIM\""), and that is no change. Both
// CompareDumps and PlanSend judge values by it.
bool SameValue(std::string_view a, std::string_view b);

// The variables by name in byte order, then the whole lines removed and added, each in the
// order of its file. A name that stands several times in a dump has all its values compared:
// the values gone are paired with the values new, in their order, the rest are added or removed.
std::vector<DumpChange> CompareDumps(std::string_view before, std::string_view after);

// Each variable changed once, by name, then each whole line changed: what the run report lists.
std::vector<std::string> ChangedNames(const std::vector<DumpChange>& changes);

// One line per change, "no change" when there is none:
//   changed .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0
//   added   .ntpServer: 127.0.0.1
//   removed .trapHost: 10.0.0.1
//   added   line: TEXT
//   removed line: TEXT
// An empty value shows as "(empty)", a control byte as "\xNN".
std::vector<std::string> DiffLines(const std::vector<DumpChange>& changes);

// What sending a settings file would do to a device, judged from the device's dump before it:
// each assignment ("NAME=VALUE", the name as a dump line has it) against the device's variable
// of that name, names compared without a leading "." (settings write ".ipAdEntNetMask=", a
// dump may list the name with or without it). When a name is assigned several times, the last
// value is the one the device keeps. Other lines are sent as they are and not compared.
struct PlanItem {
    enum class Kind { Change, Add, Send };
    Kind kind = Kind::Send;
    std::string name;    // as the settings file writes it; for Send the whole line
    std::string before;  // Change: the device's value
    std::string after;   // Change, Add: the value assigned
};

// The changes and additions by name (byte order, without the "."), then the lines sent as they
// are, in file order.
std::vector<PlanItem> PlanSend(std::string_view dump, const std::vector<std::string>& sendLines);

// The names that would change or be added, as the report lists them.
std::vector<std::string> PlanNames(const std::vector<PlanItem>& plan);

// One line per item, "no change" first when no assignment would change anything:
//   would change .ipAdEntNetMask: 255.0.0.0 -> 255.255.0.0
//   would add .ntpServer: 127.0.0.1
//   would send: unset .trapHost
// Values shown as DiffLines shows them.
std::vector<std::string> PlanLines(const std::vector<PlanItem>& plan);

// Far above a dump the dialogue can write (its store keeps 32 MiB at most): a larger file in the
// work folder is not one of its dumps and is not read.
constexpr uintmax_t kMaxDumpBytes = uintmax_t{64} << 20;

// What keeps a record's dumps from being compared, or what a reader should know about them; a
// front end words it in its operator's language.
struct DumpProblem {
    enum class Kind {
        None,
        TooLarge,    // file: larger than any dump
        Unreadable,  // file
        HeadCut,     // file: cut for memory, only its newest variables are in it
        NoBefore,    // file: the dump before a send is missing (a check writes only the one after)
        NoAfter,     // file: the dump after a send is missing
        AfterOlder,  // file is older than other: the last send ended before its dump after
        Foreign,     // file names another record in its first line
        LaterCheck,  // file is from a later session (a check) than other, the dump before
    };
    Kind kind = Kind::None;
    std::filesystem::path file;
    std::filesystem::path other;
    explicit operator bool() const { return kind != Kind::None; }
};

// The problem in English, as the run report and the plan keep it.
std::string DescribeDumpProblem(const DumpProblem& problem);

// A dump file's bytes, or nullopt and why not: a file too large for a dump, or a dump whose head
// was cut for memory, which holds only its newest variables and so cannot be compared as if it
// were whole.
std::optional<std::string> ReadDumpFile(const std::filesystem::path& path, DumpProblem& problem);
// The same, why not in English (DescribeDumpProblem).
std::optional<std::string> ReadDumpFile(const std::filesystem::path& path, std::string& error);

// The two dumps of a record's last send, read from the work folder.
struct SendDumps {
    std::string before;
    std::string after;
    DumpProblem problem;  // set: the two are not compared
    // LaterCheck when the dump after was written later than one dialogue lasts after the dump
    // before: a later check rewrote it, so the two show what changed since before the send.
    DumpProblem notice;
    std::string error;  // the problem, in English
    std::string note;   // the notice, in English
};
// With an owner, both dumps must name it (DumpOfRecord): records that share a save name write the
// same files, and a dump another record's session wrote is never shown as this record's.
SendDumps ReadSendDumps(const std::filesystem::path& workFolder, const std::string& saveName,
                        const devlist::DeviceRecord* owner = nullptr);

// Whether a dump was written for this record: its header line ("//--- LOAD DATA " or
// "//--- SEND DATA ", after any other "//" lines) goes on with the record's list name, "IP:" and
// its address, " MAC:" and its MAC address and a blank, as the session writes it. The MAC
// address there is the one the device reported, which the run then records.
bool DumpOfRecord(std::string_view dump, const devlist::DeviceRecord& record);

// The names a send changed when the dialogue wrote both its dumps since `since`; nullopt when
// it did not (a check, or a send that ended before its second dump).
std::optional<std::vector<std::string>> SendChanges(const std::filesystem::path& workFolder,
                                                    const std::string& saveName,
                                                    std::filesystem::file_time_type since);

// What a send changed on the device, from the two dumps the session wrote itself (never from
// dumps another session left under the same name); nullopt for a check, or a send that did not
// write both.
std::optional<std::vector<std::string>> SessionChanges(const session::DeviceSession& session,
                                                       const std::filesystem::path& workFolder,
                                                       const std::string& saveName,
                                                       std::filesystem::file_time_type since);

}  // namespace fleet
