#include "fleet/dump_diff.h"

#include <algorithm>
#include <map>
#include <system_error>

#include "platform/files.h"
#include "session/device_session.h"
#include "session/file_names.h"
#include "text/cp932.h"

namespace fleet {
namespace {

namespace fs = std::filesystem;

using Values = std::vector<std::string_view>;

constexpr uint32_t kFileTimeSlackMs = 1000;

struct ParsedDump {
    std::map<std::string_view, Values> variables;  // by name, values in file order
    Values lines;                                  // the other lines, in file order
};

constexpr size_t kHeaderTitleBytes = 16;  // "//--- LOAD DATA ", "//--- SEND DATA "

bool isHeader(std::string_view line) {
    return line.starts_with("//--- LOAD DATA ") || line.starts_with("//--- SEND DATA ");
}

// "name=value": a name of at least one byte, with no blank or control byte in it. '=' is never
// the second byte of a two-byte character, so the first one ends the name.
std::optional<size_t> nameEnd(std::string_view line) {
    size_t eq = line.find('=');
    if (eq == 0 || eq == std::string_view::npos) return std::nullopt;
    for (size_t i = 0; i < eq; ++i) {
        auto b = static_cast<unsigned char>(line[i]);
        if (b <= 0x20 || b == 0x7f) return std::nullopt;
    }
    return eq;
}

ParsedDump parse(std::string_view dump) {
    ParsedDump out;
    bool first = true;
    while (!dump.empty()) {
        size_t lf = dump.find('\n');
        std::string_view line = dump.substr(0, lf);
        dump.remove_prefix(lf == std::string_view::npos ? dump.size() : lf + 1);
        // The header and the command echo end CR CR LF: every CR at the end is the line break's.
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) continue;
        const bool header = first && isHeader(line);
        first = false;
        if (header) continue;
        if (auto eq = nameEnd(line)) {
            out.variables[line.substr(0, *eq)].push_back(line.substr(*eq + 1));
        } else {
            out.lines.push_back(line);
        }
    }
    return out;
}

// What a value is compared by: without the one pair of double quotes around it that a device
// may add when it stores a value.
std::string_view storedForm(std::string_view value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// The values of `from` that `other` does not hold as often, in the order of `from`.
Values missingFrom(const Values& from, const Values& other) {
    std::map<std::string_view, size_t> left;
    for (std::string_view v : other) ++left[storedForm(v)];
    Values out;
    for (std::string_view v : from) {
        auto it = left.find(storedForm(v));
        if (it != left.end() && it->second > 0) {
            --it->second;
        } else {
            out.push_back(v);
        }
    }
    return out;
}

void compareVariable(std::string_view name, const Values& before, const Values& after,
                     std::vector<DumpChange>& out) {
    const Values gone = missingFrom(before, after);
    const Values fresh = missingFrom(after, before);
    const size_t paired = std::min(gone.size(), fresh.size());
    for (size_t i = 0; i < paired; ++i)
        out.push_back({DumpChange::Kind::Changed, false, std::string(name), std::string(gone[i]),
                       std::string(fresh[i])});
    for (size_t i = paired; i < gone.size(); ++i)
        out.push_back(
            {DumpChange::Kind::Removed, false, std::string(name), std::string(gone[i]), {}});
    for (size_t i = paired; i < fresh.size(); ++i)
        out.push_back(
            {DumpChange::Kind::Added, false, std::string(name), {}, std::string(fresh[i])});
}

// A control byte as \xNN: a device's text must not move the terminal's cursor or recolour it.
std::string shown(const std::string& text) {
    return text::escapeControls(text);
}

std::string shownValue(const std::string& value) {
    return value.empty() ? "(empty)" : shown(value);
}

std::optional<fs::file_time_type> writeTime(const fs::path& path) {
    std::error_code ec;
    auto when = fs::last_write_time(path, ec);
    if (ec) return std::nullopt;
    return when;
}

}  // namespace

std::string DescribeDumpProblem(const DumpProblem& p) {
    const std::string file = p.file.string();
    const std::string other = p.other.string();
    switch (p.kind) {
        case DumpProblem::Kind::None:
            return {};
        case DumpProblem::Kind::TooLarge:
            return "the file " + file + " is too large for a dump";
        case DumpProblem::Kind::Unreadable:
            return "cannot read " + file;
        case DumpProblem::Kind::HeadCut:
            return "the dump " + file +
                   " lost its head (the device sent more than the run could keep): it is not "
                   "compared";
        case DumpProblem::Kind::NoBefore:
            return "no dump from before a send: " + file + " (a check writes only the dump after)";
        case DumpProblem::Kind::NoAfter:
            return "no dump from after a send: " + file;
        case DumpProblem::Kind::AfterOlder:
            return file + " is older than " + other +
                   ": the last send ended before its dump after the settings";
        case DumpProblem::Kind::Foreign:
            return file + " names another record in its first line: another record's session " +
                   "wrote it, and it is not shown as this record's";
        case DumpProblem::Kind::LaterCheck:
            return file + " is from a later session than the send (a check): shown are the " +
                   "changes since before the send";
    }
    return {};
}

std::optional<std::string> ReadDumpFile(const fs::path& path, DumpProblem& problem) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    if (!ec && size > kMaxDumpBytes) {
        problem = {DumpProblem::Kind::TooLarge, path, {}};
        return std::nullopt;
    }
    auto bytes = platform::readFileNative(path);
    if (!bytes) {
        problem = {DumpProblem::Kind::Unreadable, path, {}};
    } else if (session::BoundedText::saysHeadCut(*bytes)) {
        problem = {DumpProblem::Kind::HeadCut, path, {}};
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::string> ReadDumpFile(const fs::path& path, std::string& error) {
    DumpProblem problem;
    auto bytes = ReadDumpFile(path, problem);
    if (problem) error = DescribeDumpProblem(problem);
    return bytes;
}

bool SameValue(std::string_view a, std::string_view b) {
    return storedForm(a) == storedForm(b);
}

std::vector<DumpChange> CompareDumps(std::string_view before, std::string_view after) {
    const ParsedDump b = parse(before);
    const ParsedDump a = parse(after);
    std::vector<DumpChange> out;
    const Values none;
    auto ib = b.variables.begin();
    auto ia = a.variables.begin();
    // Both maps are in name order: walk them side by side.
    while (ib != b.variables.end() || ia != a.variables.end()) {
        if (ia == a.variables.end() || (ib != b.variables.end() && ib->first < ia->first)) {
            compareVariable(ib->first, ib->second, none, out);
            ++ib;
        } else if (ib == b.variables.end() || ia->first < ib->first) {
            compareVariable(ia->first, none, ia->second, out);
            ++ia;
        } else {
            compareVariable(ib->first, ib->second, ia->second, out);
            ++ib;
            ++ia;
        }
    }
    for (std::string_view line : missingFrom(b.lines, a.lines))
        out.push_back({DumpChange::Kind::Removed, true, std::string(line), {}, {}});
    for (std::string_view line : missingFrom(a.lines, b.lines))
        out.push_back({DumpChange::Kind::Added, true, std::string(line), {}, {}});
    return out;
}

std::vector<std::string> ChangedNames(const std::vector<DumpChange>& changes) {
    std::vector<std::string> names;
    for (const DumpChange& c : changes) {
        // A name's changes stand together: one entry for it.
        if (!c.wholeLine && !names.empty() && names.back() == c.name) continue;
        names.push_back(c.name);
    }
    return names;
}

std::vector<std::string> DiffLines(const std::vector<DumpChange>& changes) {
    if (changes.empty()) return {"no change"};
    std::vector<std::string> out;
    for (const DumpChange& c : changes) {
        if (c.wholeLine) {
            out.push_back(
                (c.kind == DumpChange::Kind::Added ? "added   line: " : "removed line: ") +
                shown(c.name));
            continue;
        }
        switch (c.kind) {
            case DumpChange::Kind::Changed:
                out.push_back("changed " + shown(c.name) + ": " + shownValue(c.before) + " -> " +
                              shownValue(c.after));
                break;
            case DumpChange::Kind::Added:
                out.push_back("added   " + shown(c.name) + ": " + shownValue(c.after));
                break;
            case DumpChange::Kind::Removed:
                out.push_back("removed " + shown(c.name) + ": " + shownValue(c.before));
                break;
        }
    }
    return out;
}

std::vector<PlanItem> PlanSend(std::string_view dump, const std::vector<std::string>& sendLines) {
    auto bare = [](std::string_view name) {
        if (name.starts_with('.')) name.remove_prefix(1);
        return name;
    };
    const ParsedDump device = parse(dump);
    std::map<std::string_view, Values> held;  // by the name without its "."
    for (const auto& [name, values] : device.variables) {
        Values& v = held[bare(name)];
        v.insert(v.end(), values.begin(), values.end());
    }
    struct Assignment {
        std::string_view name;
        std::string_view value;
    };
    std::map<std::string_view, Assignment> assigned;  // the last assignment by bare name
    std::vector<PlanItem> sent;
    for (const std::string& line : sendLines) {
        if (auto eq = nameEnd(line)) {
            std::string_view name = std::string_view(line).substr(0, *eq);
            assigned[bare(name)] = {name, std::string_view(line).substr(*eq + 1)};
        } else {
            sent.push_back({PlanItem::Kind::Send, line, {}, {}});
        }
    }
    std::vector<PlanItem> out;
    for (const auto& [key, a] : assigned) {
        auto it = held.find(key);
        if (it == held.end()) {
            out.push_back({PlanItem::Kind::Add, std::string(a.name), {}, std::string(a.value)});
            continue;
        }
        // A name the dump lists more than once holds only when every value is the new one.
        for (std::string_view value : it->second) {
            if (SameValue(value, a.value)) continue;
            out.push_back({PlanItem::Kind::Change, std::string(a.name), std::string(value),
                           std::string(a.value)});
            break;
        }
    }
    out.insert(out.end(), std::make_move_iterator(sent.begin()),
               std::make_move_iterator(sent.end()));
    return out;
}

std::vector<std::string> PlanNames(const std::vector<PlanItem>& plan) {
    std::vector<std::string> names;
    for (const PlanItem& item : plan)
        if (item.kind != PlanItem::Kind::Send) names.push_back(item.name);
    return names;
}

std::vector<std::string> PlanLines(const std::vector<PlanItem>& plan) {
    std::vector<std::string> out;
    if (PlanNames(plan).empty()) out.push_back("no change");
    for (const PlanItem& item : plan) {
        switch (item.kind) {
            case PlanItem::Kind::Change:
                out.push_back("would change " + shown(item.name) + ": " + shownValue(item.before) +
                              " -> " + shownValue(item.after));
                break;
            case PlanItem::Kind::Add:
                out.push_back("would add " + shown(item.name) + ": " + shownValue(item.after));
                break;
            case PlanItem::Kind::Send:
                out.push_back("would send: " + shownValue(item.name));
                break;
        }
    }
    return out;
}

bool DumpOfRecord(std::string_view dump, const devlist::DeviceRecord& record) {
    const std::string owner =
        record.listName + "IP:" + record.ipAddress + " MAC:" + record.macAddress + " ";
    while (dump.starts_with("//")) {
        std::string_view line = dump.substr(0, dump.find_first_of("\r\n"));
        if (isHeader(line)) return line.substr(kHeaderTitleBytes).starts_with(owner);
        dump.remove_prefix(line.size());
        while (!dump.empty() && (dump.front() == '\r' || dump.front() == '\n'))
            dump.remove_prefix(1);
    }
    return false;
}

namespace {

SendDumps readSendDumps(const fs::path& workFolder, const std::string& saveName,
                        const devlist::DeviceRecord* owner) {
    SendDumps d;
    const fs::path before = platform::nativeIn(workFolder, session::PreWriteDumpName(saveName));
    const fs::path after = platform::nativeIn(workFolder, session::PostWriteDumpName(saveName));
    if (!platform::fileExistsNative(before)) {
        d.problem = {DumpProblem::Kind::NoBefore, before, {}};
        return d;
    }
    if (!platform::fileExistsNative(after)) {
        d.problem = {DumpProblem::Kind::NoAfter, after, {}};
        return d;
    }
    // A send that ended before its second dump leaves the after dump of an earlier session.
    auto beforeTime = writeTime(before);
    auto afterTime = writeTime(after);
    if (beforeTime && afterTime && *afterTime < *beforeTime) {
        d.problem = {DumpProblem::Kind::AfterOlder, after, before};
        return d;
    }
    // Both dumps of one send fall inside its dialogue's time limit (a second more for the file
    // times' steps); a check only rewrites the dump after.
    if (beforeTime && afterTime &&
        *afterTime - *beforeTime >
            std::chrono::milliseconds(session::kTimeoutDialogueMs + kFileTimeSlackMs))
        d.notice = {DumpProblem::Kind::LaterCheck, after, before};
    auto b = ReadDumpFile(before, d.problem);
    if (!b) return d;
    auto a = ReadDumpFile(after, d.problem);
    if (!a) return d;
    for (const auto& [dump, path] : {std::pair{&*b, &before}, std::pair{&*a, &after}}) {
        if (owner && !DumpOfRecord(*dump, *owner)) {
            d.problem = {DumpProblem::Kind::Foreign, *path, {}};
            return d;
        }
    }
    d.before = std::move(*b);
    d.after = std::move(*a);
    return d;
}

}  // namespace

SendDumps ReadSendDumps(const fs::path& workFolder, const std::string& saveName,
                        const devlist::DeviceRecord* owner) {
    SendDumps d = readSendDumps(workFolder, saveName, owner);
    d.error = DescribeDumpProblem(d.problem);
    d.note = DescribeDumpProblem(d.notice);
    return d;
}

std::optional<std::vector<std::string>> SendChanges(const fs::path& workFolder,
                                                    const std::string& saveName,
                                                    fs::file_time_type since) {
    const fs::path before = platform::nativeIn(workFolder, session::PreWriteDumpName(saveName));
    const fs::path after = platform::nativeIn(workFolder, session::PostWriteDumpName(saveName));
    auto beforeTime = writeTime(before);
    auto afterTime = writeTime(after);
    if (!beforeTime || !afterTime || *beforeTime < since || *afterTime < since) return std::nullopt;
    std::string error;
    auto b = ReadDumpFile(before, error);
    auto a = b ? ReadDumpFile(after, error) : std::nullopt;
    if (!a) return std::nullopt;
    return ChangedNames(CompareDumps(*b, *a));
}

std::optional<std::vector<std::string>> SessionChanges(const session::DeviceSession& session,
                                                       const fs::path& workFolder,
                                                       const std::string& saveName,
                                                       fs::file_time_type since) {
    const auto& saved = session.savedFiles();
    auto wrote = [&](const std::string& name) {
        return std::find(saved.begin(), saved.end(), name) != saved.end();
    };
    if (!wrote(session::PreWriteDumpName(saveName)) || !wrote(session::PostWriteDumpName(saveName)))
        return std::nullopt;
    return SendChanges(workFolder, saveName, since);
}

}  // namespace fleet
