#include "shell/list_merge.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "fleet/record_identity.h"

namespace shell {
namespace {

// The fields that identify a record and that a writer may still change: a search writes the
// address, the operator the name or anything else. The number, the flags and the result fields
// are no part of the identity (fleet::IdentityKey).
constexpr int kIdentityFields[] = {devlist::kListName,   devlist::kIpAddress, devlist::kHttpPort,
                                   devlist::kTelnetPort, devlist::kUserId,    devlist::kPassword,
                                   devlist::kSendFile,   devlist::kSaveName};

// Every field of a line, split at every comma, bytes as they are (no length cut).
std::vector<std::string_view> split(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    for (;;) {
        const size_t comma = line.find(',', at);
        if (comma == std::string_view::npos) {
            fields.push_back(line.substr(at));
            return fields;
        }
        fields.push_back(line.substr(at, comma - at));
        at = comma + 1;
    }
}

// The identity of line with field emptied: what a record keeps when only that field changed.
std::string keyWithout(std::string_view line, int field) {
    std::vector<std::string_view> fields = split(line);
    if (static_cast<size_t>(field) >= fields.size()) return fleet::IdentityKey(line);
    std::string blanked;
    for (size_t f = 0; f < fields.size(); ++f) {
        if (f > 0) blanked += ',';
        if (f != static_cast<size_t>(field)) blanked += fields[f];
    }
    return fleet::IdentityKey(blanked);
}

// PairRecords, and then the records left on both sides that are alike in all but one
// identifying field (an address a search changed, a name the operator changed): a pair is
// taken only where each of the two has the other as its one likeness, in any field.
std::vector<int> pairLoosely(const devlist::LineStore& from, const devlist::LineStore& to) {
    std::vector<int> pairs = fleet::PairRecords(from, to);
    std::vector<bool> taken(to.size(), false);
    for (int p : pairs)
        if (p >= 0) taken[static_cast<size_t>(p)] = true;
    std::vector<size_t> left;
    for (size_t i = 0; i < from.size(); ++i)
        if (pairs[i] < 0 && !fleet::IdentityKey(from[i]).empty()) left.push_back(i);
    if (left.empty()) return pairs;
    constexpr int kNone = -1, kMany = -2;
    auto note = [](int& likeness, int other) {
        if (likeness == kNone) likeness = other;
        if (likeness != other) likeness = kMany;
    };
    std::vector<int> fromLike(from.size(), kNone), toLike(to.size(), kNone);
    for (int field : kIdentityFields) {
        std::unordered_map<std::string, std::vector<int>> byKey;
        for (size_t i : left) byKey[keyWithout(from[i], field)].push_back(static_cast<int>(i));
        for (size_t j = 0; j < to.size(); ++j) {
            if (taken[j] || fleet::IdentityKey(to[j]).empty()) continue;
            auto it = byKey.find(keyWithout(to[j], field));
            if (it == byKey.end()) continue;
            for (int i : it->second) {
                note(fromLike[static_cast<size_t>(i)], static_cast<int>(j));
                note(toLike[j], i);
            }
        }
    }
    for (size_t i : left) {
        const int j = fromLike[i];
        if (j >= 0 && toLike[static_cast<size_t>(j)] == static_cast<int>(i)) pairs[i] = j;
    }
    return pairs;
}

// line with its number (whatever stands before the first comma) replaced.
std::string withNumber(std::string_view number, std::string_view line) {
    const size_t comma = line.find(',');
    if (comma == std::string_view::npos) return std::string(line);
    return std::string(number) + std::string(line.substr(comma));
}

// One record merged field by field: a field mine left as base had it takes disk's value.
std::string mergeRecord(std::string_view mine, std::string_view base, std::string_view disk) {
    const std::string_view number = mine.substr(0, mine.find(','));
    if (mine == base) return withNumber(number, disk);
    if (base == disk) return std::string(mine);
    const auto m = split(mine), b = split(base), d = split(disk);
    auto at = [](const std::vector<std::string_view>& fields, size_t f) {
        return f < fields.size() ? fields[f] : std::string_view();
    };
    // A record written short and the same record with its fields filled are one; how many
    // fields the merge writes follows the same rule as each field.
    size_t count = m.size() == b.size() ? d.size() : m.size();
    const size_t most = std::max({m.size(), b.size(), d.size()});
    std::vector<std::string_view> out(most);
    for (size_t f = 0; f < most; ++f) {
        out[f] = f == devlist::kNo || at(m, f) != at(b, f) ? at(m, f) : at(d, f);
        if (!out[f].empty()) count = std::max(count, f + 1);
    }
    std::string line;
    for (size_t f = 0; f < count; ++f) {
        if (f > 0) line += ',';
        line += out[f];
    }
    return line;
}

// The identities a record of base that found no partner in disk can be known by, so that a
// record of disk that is one of its twins, or alike in all but one field, is not taken for a
// record another writer added.
std::unordered_set<std::string> unpairedLikeness(const devlist::LineStore& base,
                                                 const std::vector<int>& inDisk) {
    std::unordered_set<std::string> keys;
    for (size_t b = 0; b < base.size(); ++b) {
        if (inDisk[b] >= 0) continue;
        std::string key = fleet::IdentityKey(base[b]);
        if (key.empty()) continue;
        keys.insert(std::move(key));
        for (int field : kIdentityFields)
            keys.insert(std::to_string(field) + ':' + keyWithout(base[b], field));
    }
    return keys;
}

bool knownIn(const std::unordered_set<std::string>& keys, std::string_view line) {
    if (keys.count(fleet::IdentityKey(line))) return true;
    for (int field : kIdentityFields)
        if (keys.count(std::to_string(field) + ':' + keyWithout(line, field))) return true;
    return false;
}

}  // namespace

SaveMerge MergeSave(const devlist::LineStore& mine, const devlist::LineStore& base,
                    const devlist::LineStore& disk, const EditedLines& edited) {
    // A line the editor rewrote is looked for in base as what it held before.
    devlist::LineStore probe = mine;
    for (const auto& [i, e] : edited)
        if (i < probe.size() && probe[i] == e.after) probe[i] = e.before;
    const std::vector<int> inBase = pairLoosely(probe, base);
    const std::vector<int> inDisk = pairLoosely(base, disk);

    SaveMerge out;
    auto& lines = out.lines.lines();
    for (size_t i = 0; i < mine.size(); ++i) {
        const int b = inBase[i];
        const int d = b < 0 ? -1 : inDisk[static_cast<size_t>(b)];
        if (d < 0) {
            lines.push_back(mine[i]);
            continue;
        }
        const std::string& now = disk[static_cast<size_t>(d)];
        lines.push_back(mergeRecord(mine[i], base[static_cast<size_t>(b)], now));
        if (fleet::IdentityKey(lines.back()) != fleet::IdentityKey(now))
            out.edited[i] = {now, lines.back()};
    }
    // What another writer added: records of disk that are no record of base.
    std::vector<bool> fromBase(disk.size(), false);
    for (int d : inDisk)
        if (d >= 0) fromBase[static_cast<size_t>(d)] = true;
    const std::unordered_set<std::string> likeness = unpairedLikeness(base, inDisk);
    for (size_t d = 0; d < disk.size(); ++d) {
        if (fromBase[d] || fleet::IdentityKey(disk[d]).empty() || knownIn(likeness, disk[d]))
            continue;
        if (lines.size() >= static_cast<size_t>(devlist::kMaxRecords)) {
            ++out.leftOut;
            continue;
        }
        lines.push_back(
            withNumber(devlist::ZeroPad(static_cast<long long>(lines.size()) + 1, 3), disk[d]));
    }
    return out;
}

devlist::LineStore CarryResults(const devlist::LineStore& mine, const devlist::LineStore& base,
                                const devlist::LineStore& disk) {
    return MergeSave(mine, base, disk).lines;
}

void FollowCarry(devlist::EditPanel& editor, std::string_view before, std::string_view after) {
    struct Box {
        int field;
        std::string devlist::DeviceRecord::*value;
    };
    using R = devlist::DeviceRecord;
    static constexpr Box kBoxes[] = {
        {devlist::kListName, &R::listName},     {devlist::kIpAddress, &R::ipAddress},
        {devlist::kHttpPort, &R::httpPort},     {devlist::kTelnetPort, &R::telnetPort},
        {devlist::kMacAddress, &R::macAddress}, {devlist::kModelVersion, &R::modelVersion},
        {devlist::kDeviceName, &R::deviceName}, {devlist::kUserId, &R::userId},
        {devlist::kPassword, &R::password},     {devlist::kSendFile, &R::sendFile},
        {devlist::kLastSend, &R::lastSend},     {devlist::kMessage, &R::message}};
    const R was = R::fromLine(before);
    const R now = R::fromLine(after);
    for (const Box& box : kBoxes) {
        std::string& shown = editor.rec.*box.value;
        if (now.*box.value != was.*box.value && shown == was.*box.value) shown = now.*box.value;
    }
    // The group boxes stand for the flags: they follow when they still show what the record had.
    bool groupsAsWere = true;
    for (int g = 1; g <= 3; ++g)
        groupsAsWere = groupsAsWere && editor.group[g - 1] == devlist::IsGroupMember(was.flags, g);
    if (now.flags != was.flags && editor.rec.flags == was.flags && groupsAsWere) {
        editor.rec.flags = now.flags;
        for (int g = 1; g <= 3; ++g) editor.group[g - 1] = devlist::IsGroupMember(now.flags, g);
    }
}

}  // namespace shell
