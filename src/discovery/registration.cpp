#include "discovery/registration.h"

#include <unordered_map>

#include "devlist/fields.h"
#include "discovery/search_reply.h"
#include "text/cp932.h"

namespace discovery {

using devlist::FieldSet;
using devlist::FieldView;
using devlist::kIpAddress;
using devlist::kMacAddress;
using devlist::kModelVersion;
using devlist::kNo;
using devlist::ZeroPad;

bool ReceiveReply(devlist::LineStore& replyStore, devlist::LineStore& regStore,
                  ReplyCollector& collector, std::string_view fromAddress, uint16_t fromPort,
                  std::string_view datagram) {
    auto& lines = replyStore.lines();
    if (lines.size() + 2 <= kMaxReplyLines) {
        lines.push_back(std::string(fromAddress) + " " + std::to_string(fromPort));
        lines.push_back(HexText(datagram));
    } else {
        collector.countDropped();
    }
    auto reply = ParseSearchReply(datagram);
    if (!reply) return false;
    collector.collect(regStore, DiscoveryRecord(*reply));
    return true;
}

void RpcSearchList(devlist::LineStore& regStore, std::string_view record) {
    std::string_view mac = FieldView(kMacAddress, record);
    for (std::string& entry : regStore.lines()) {
        if (FieldView(kMacAddress, entry) == mac) {
            entry = FieldSet(kIpAddress, FieldView(kIpAddress, record), entry);
            return;
        }
    }
    regStore.lines().push_back(FieldSet(kNo, ZeroPad(regStore.size() + 1, 3), record));
}

void ReplyCollector::rebuild(const devlist::LineStore& regStore) {
    m_firstWithMac.clear();
    for (size_t i = 0; i < regStore.size(); ++i) {
        m_firstWithMac.emplace(FieldView(kMacAddress, regStore[i]), i);
    }
    m_size = regStore.size();
    m_built = true;
}

void ReplyCollector::collect(devlist::LineStore& regStore, std::string_view record) {
    std::string mac(FieldView(kMacAddress, record));
    if (!m_built || m_size != regStore.size()) rebuild(regStore);
    auto found = m_firstWithMac.find(mac);
    if (found != m_firstWithMac.end() && FieldView(kMacAddress, regStore[found->second]) != mac) {
        rebuild(regStore);
        found = m_firstWithMac.find(mac);
    }
    if (found != m_firstWithMac.end()) {
        std::string& entry = regStore.lines()[found->second];
        entry = FieldSet(kIpAddress, FieldView(kIpAddress, record), entry);
        return;
    }
    if (regStore.size() >= kMaxCollected) {
        ++m_dropped;
        return;
    }
    regStore.lines().push_back(FieldSet(kNo, ZeroPad(regStore.size() + 1, 3), record));
    m_firstWithMac.emplace(std::move(mac), regStore.size() - 1);
    m_size = regStore.size();
}

MergeResult MacCheckIns(const devlist::LineStore& regStore, devlist::LineStore viewStore) {
    MergeResult out;
    if (regStore.empty()) {
        out.nothingFound = true;
        out.viewStore = std::move(viewStore);
        return out;
    }
    const std::string ipChanged = text::sj(" IP変更 ");
    const std::string searched = text::sj("  検索> ");
    const std::string registering = text::sj("を登録します。");

    // The first record of the working list with each MAC address. Only IP addresses change
    // and appended records come after every listed one, so the index stays true throughout.
    auto& lines = viewStore.lines();
    std::unordered_map<std::string, size_t> firstWithMac;
    firstWithMac.reserve(lines.size() + regStore.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        firstWithMac.emplace(FieldView(kMacAddress, lines[i]), i);
    }

    for (const std::string& entry : regStore.lines()) {
        std::string_view mac = FieldView(kMacAddress, entry);
        auto found = firstWithMac.find(std::string(mac));
        if (found != firstWithMac.end()) {
            std::string& listed = lines[found->second];
            std::string oldIp(FieldView(kIpAddress, listed));
            std::string_view newIp = FieldView(kIpAddress, entry);
            ++out.listed;
            if (oldIp != newIp) {
                ++out.addressChanged;
                listed = FieldSet(kIpAddress, newIp, listed);
                out.logLines.push_back("No." + std::string(FieldView(kNo, entry)) + ipChanged +
                                       oldIp + " -> " + std::string(newIp));
            }
            out.enableApply = true;
            continue;
        }
        if (lines.size() >= static_cast<size_t>(devlist::kMaxRecords)) {
            ++out.leftOut;
            continue;
        }
        lines.push_back(FieldSet(kNo, ZeroPad(lines.size() + 1, 3), entry));
        firstWithMac.emplace(mac, lines.size() - 1);
        ++out.added;
        out.enableApply = true;
        out.logLines.push_back(std::string(FieldView(kIpAddress, entry)) + searched +
                               std::string(FieldView(kModelVersion, entry)) + registering);
    }
    if (out.leftOut > 0) {
        out.logLines.push_back(text::sj("機器は999台までのため、") + std::to_string(out.leftOut) +
                               text::sj("台を登録しませんでした。"));
    }
    out.viewStore = std::move(viewStore);
    return out;
}

std::string SearchSummary(size_t replies, const MergeResult& merged) {
    auto count = [](size_t n, const char* unit) { return std::to_string(n) + text::sj(unit); };
    return text::sj("LAN上検索の結果: 応答 ") + count(replies, "件、登録済み ") +
           count(merged.listed, "台 (IP変更 ") + count(merged.addressChanged, "台)、追加 ") +
           count(merged.added, "台、登録せず ") + count(merged.leftOut, "台");
}

}  // namespace discovery
