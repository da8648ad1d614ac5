#include "fleet/record_identity.h"

#include <algorithm>
#include <unordered_map>

#include "devlist/fields.h"

namespace fleet {
namespace {

constexpr std::string_view kRecordMark = ",F";

// The record after its number: from the F of the flags on; "" for a line that is no record.
std::string_view body(std::string_view line) {
    const size_t mark = line.find(kRecordMark);
    return mark == std::string_view::npos ? std::string_view() : line.substr(mark + 1);
}

// The record after its flags: what a check mark or a group leaves as it was.
std::string_view afterFlags(std::string_view line) {
    const std::string_view b = body(line);
    const size_t comma = b.find(',');
    return comma == std::string_view::npos ? std::string_view() : b.substr(comma);
}

bool isResultField(int field) {
    return field == devlist::kMacAddress || field == devlist::kModelVersion ||
           field == devlist::kDeviceName || field == devlist::kLastSend ||
           field == devlist::kMessage;
}

struct Entry {
    int index = -1;
    std::string_view bytes;
    Entry* partner = nullptr;
};

size_t unpaired(const std::vector<Entry>& entries) {
    return static_cast<size_t>(
        std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return !e.partner; }));
}

void link(Entry& x, Entry& y) {
    x.partner = &y;
    y.partner = &x;
}

// Pairs the unpaired entries whose view of their bytes is alike and held by no other unpaired
// entry on either side.
template <typename View>
void pairAlike(std::vector<Entry>& xs, std::vector<Entry>& ys, View view) {
    struct Seen {
        Entry* x = nullptr;
        Entry* y = nullptr;
        int xCount = 0;
        int yCount = 0;
    };
    std::unordered_map<std::string_view, Seen> seen;
    for (Entry& x : xs) {
        if (x.partner) continue;
        Seen& s = seen[view(x.bytes)];
        s.x = &x;
        ++s.xCount;
    }
    for (Entry& y : ys) {
        if (y.partner) continue;
        auto it = seen.find(view(y.bytes));
        if (it == seen.end()) continue;
        it->second.y = &y;
        ++it->second.yCount;
    }
    for (auto& [v, s] : seen)
        if (s.xCount == 1 && s.yCount == 1) link(*s.x, *s.y);
}

// Pairs the records of one identity: the line left where it was, then the same bytes elsewhere
// (lines were added or deleted around it), then the same record after its number (moved or
// renumbered), then after its flags (its check mark or groups changed too), and last the one
// record left on each side (its result changed). What is left after that cannot be told apart
// and stays unpaired.
void pairGroup(std::vector<Entry>& xs, std::vector<Entry>& ys) {
    std::unordered_map<int, Entry*> atLine;
    for (Entry& y : ys) atLine.emplace(y.index, &y);
    for (Entry& x : xs) {
        auto it = atLine.find(x.index);
        if (it != atLine.end() && it->second->bytes == x.bytes) link(x, *it->second);
    }
    pairAlike(xs, ys, [](std::string_view b) { return b; });
    pairAlike(xs, ys, body);
    pairAlike(xs, ys, afterFlags);
    if (unpaired(xs) != 1 || unpaired(ys) != 1) return;
    auto free = [](Entry& e) { return !e.partner; };
    link(*std::find_if(xs.begin(), xs.end(), free), *std::find_if(ys.begin(), ys.end(), free));
}

// The records of a store by identity key, each with its line and bytes.
std::unordered_map<std::string, std::vector<Entry>> byKey(const devlist::LineStore& store) {
    std::unordered_map<std::string, std::vector<Entry>> groups;
    for (size_t i = 0; i < store.size(); ++i) {
        std::string key = IdentityKey(store[i]);
        if (!key.empty()) groups[std::move(key)].push_back({static_cast<int>(i), store[i]});
    }
    return groups;
}

}  // namespace

std::string IdentityKey(std::string_view line) {
    const std::string_view b = body(line);
    if (b.empty()) return {};
    std::string key;
    int field = devlist::kFlags;
    for (size_t at = 0; at <= b.size(); ++field) {
        size_t comma = b.find(',', at);
        if (comma == std::string_view::npos) comma = b.size();
        if (field != devlist::kFlags) {
            if (!isResultField(field)) key += b.substr(at, comma - at);
            key += ',';
        }
        at = comma + 1;
    }
    // A record written short and the same record after a result filled its fields are one.
    while (!key.empty() && key.back() == ',') key.pop_back();
    // The key of a record holds its "F" so that a record with nothing after its flags has one.
    return "F" + key;
}

RecordIdentity IdentityOf(std::shared_ptr<const devlist::LineStore> list, int line) {
    if (!list || line < 0 || static_cast<size_t>(line) >= list->size()) return {};
    RecordIdentity id;
    id.line = line;
    id.bytes = (*list)[static_cast<size_t>(line)];
    id.list = std::move(list);
    return id;
}

namespace {

RecordFinder::Groups groupLines(const devlist::LineStore& store) {
    RecordFinder::Groups groups;
    for (size_t i = 0; i < store.size(); ++i) {
        std::string key = IdentityKey(store[i]);
        if (!key.empty()) groups[std::move(key)].push_back(static_cast<int>(i));
    }
    return groups;
}

}  // namespace

RecordFinder::RecordFinder(const devlist::LineStore& now) : m_now(now) {}

int RecordFinder::find(const RecordIdentity& identity) {
    const std::string key = IdentityKey(identity.bytes);
    if (identity.line < 0 || key.empty()) return -1;
    // A line left as it was where it was is taken before anything else, twins or not, so the
    // file's other lines need not be looked at: the common case of a run's result.
    const auto at = static_cast<size_t>(identity.line);
    if (at < m_now.size() && m_now[at] == identity.bytes) return identity.line;
    if (!m_nowGrouped) {
        m_nowGroups = groupLines(m_now);
        m_nowGrouped = true;
    }
    std::vector<Entry> xs;
    size_t self = 0;
    const devlist::LineStore* list = identity.list.get();
    const bool inList = list && static_cast<size_t>(identity.line) < list->size() &&
                        (*list)[static_cast<size_t>(identity.line)] == identity.bytes;
    if (inList) {
        if (m_list != identity.list) {
            m_list = identity.list;
            m_listGroups = groupLines(*list);
        }
        for (int i : m_listGroups[key]) {
            if (i == identity.line) self = xs.size();
            xs.push_back({i, (*list)[static_cast<size_t>(i)]});
        }
    } else {
        xs.push_back({identity.line, identity.bytes});
    }
    std::vector<Entry> ys;
    auto group = m_nowGroups.find(key);
    if (group != m_nowGroups.end())
        for (int i : group->second) ys.push_back({i, m_now[static_cast<size_t>(i)]});
    pairGroup(xs, ys);
    return xs[self].partner ? xs[self].partner->index : -1;
}

int FindRecord(const devlist::LineStore& now, const RecordIdentity& identity) {
    return RecordFinder(now).find(identity);
}

std::vector<int> PairRecords(const devlist::LineStore& from, const devlist::LineStore& to) {
    std::vector<int> pairs(from.size(), -1);
    auto xGroups = byKey(from);
    auto yGroups = byKey(to);
    for (auto& [key, xs] : xGroups) {
        auto it = yGroups.find(key);
        if (it == yGroups.end()) continue;
        pairGroup(xs, it->second);
        for (const Entry& x : xs)
            if (x.partner) pairs[static_cast<size_t>(x.index)] = x.partner->index;
    }
    return pairs;
}

}  // namespace fleet
