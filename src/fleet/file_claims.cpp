#include "fleet/file_claims.h"

#include <optional>

#include "devlist/line_store.h"
#include "session/file_names.h"

namespace fleet {

FileClaims::FileClaims(const std::vector<FleetDevice>& devices) {
    // The names the run's list gives its records, read once: only records without a save name
    // need them.
    std::optional<session::SaveNames> names;
    for (const FleetDevice& d : devices) {
        std::string unique;
        std::string saveName = session::RecordSaveName(d.record);
        if (saveName.empty()) {
            if (!names) {
                names.emplace(d.identity.list ? *d.identity.list
                                              : devlist::LineStore(std::vector<std::string>{}));
            }
            unique = names->unique(d.number);
            saveName = unique;
        }
        m_uniqueNames.push_back(std::move(unique));
        m_keys.push_back(session::CommLogName(saveName));
    }
    m_taken.assign(devices.size(), false);
    m_serving.assign(devices.size(), false);
    m_left = devices.size();
}

size_t FileClaims::take() {
    for (size_t i = m_next; i < m_keys.size(); ++i) {
        if (m_taken[i] || m_busy.count(m_keys[i])) continue;
        m_taken[i] = true;
        --m_left;
        while (m_next < m_taken.size() && m_taken[m_next]) ++m_next;
        return i;
    }
    return npos;
}

void FileClaims::serve(size_t index) {
    if (m_serving[index]) return;
    m_serving[index] = true;
    ++m_busy[m_keys[index]];
}

void FileClaims::release(size_t index) {
    if (!m_serving[index]) return;
    m_serving[index] = false;
    auto it = m_busy.find(m_keys[index]);
    if (it != m_busy.end() && --it->second <= 0) m_busy.erase(it);
}

bool FileClaims::claim(size_t index, const std::string& saveName) {
    const std::string key = session::CommLogName(saveName);
    auto it = m_busy.find(key);
    const int own = m_serving[index] && m_keys[index] == key ? 1 : 0;
    if (it != m_busy.end() && it->second - own > 0) return false;
    const bool serving = m_serving[index];
    release(index);
    m_keys[index] = key;
    if (serving) serve(index);
    return true;
}

}  // namespace fleet
