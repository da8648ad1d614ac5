#include "shell/list_merge.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "devlist/fields.h"

namespace shell {
namespace {

constexpr int kResultFields[] = {devlist::kMacAddress, devlist::kModelVersion, devlist::kDeviceName,
                                 devlist::kLastSend, devlist::kMessage};
constexpr int kIdentityFields[] = {devlist::kListName,   devlist::kIpAddress, devlist::kHttpPort,
                                   devlist::kTelnetPort, devlist::kUserId,    devlist::kPassword,
                                   devlist::kSendFile,   devlist::kSaveName};

// What stays of a record whoever writes a result into it; empty for a line that is no record
// (the comma after the number and the F mark a record).
std::string identityOf(std::string_view line) {
    if (line.find(",F") == std::string_view::npos) return {};
    std::string key;
    for (int f : kIdentityFields) {
        key += devlist::FieldView(f, line);
        key += '\n';
    }
    return key;
}

// The lines of a store by identity, in order; every lookup takes the next one.
class Lines {
public:
    explicit Lines(const devlist::LineStore& store) : m_store(store) {
        for (size_t i = 0; i < store.size(); ++i) {
            std::string key = identityOf(store[i]);
            if (!key.empty()) m_byKey[std::move(key)].push_back(i);
        }
    }
    const std::string* take(const std::string& key) {
        auto it = m_byKey.find(key);
        if (it == m_byKey.end()) return nullptr;
        size_t& used = m_used[key];
        if (used >= it->second.size()) return nullptr;
        return &m_store[it->second[used++]];
    }

private:
    const devlist::LineStore& m_store;
    std::unordered_map<std::string, std::vector<size_t>> m_byKey;
    std::unordered_map<std::string, size_t> m_used;
};

}  // namespace

devlist::LineStore CarryResults(const devlist::LineStore& mine, const devlist::LineStore& base,
                                const devlist::LineStore& disk) {
    devlist::LineStore out = mine;
    Lines baseLines(base);
    Lines diskLines(disk);
    for (std::string& line : out.lines()) {
        const std::string key = identityOf(line);
        if (key.empty()) continue;
        const std::string* was = baseLines.take(key);
        const std::string* now = diskLines.take(key);
        if (!was || !now || *was == *now) continue;
        for (int f : kResultFields) {
            const std::string_view before = devlist::FieldView(f, *was);
            const std::string_view after = devlist::FieldView(f, *now);
            if (after == before || devlist::FieldView(f, line) != before) continue;
            // A short record first gets the fields up to the message.
            const auto commas = static_cast<size_t>(std::count(line.begin(), line.end(), ','));
            if (commas < static_cast<size_t>(devlist::kMessage))
                line.append(static_cast<size_t>(devlist::kMessage) - commas, ',');
            line = devlist::FieldSet(f, after, line);
        }
    }
    return out;
}

}  // namespace shell
