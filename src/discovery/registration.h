// What the search does with the replies: every datagram leaves two diagnostic lines, every
// accepted reply is collected once per MAC address, and at the end the collection is merged
// into the working list by MAC address.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "devlist/line_store.h"

namespace discovery {

// Bounds of what one search keeps while the reply port stays open: the collection takes up to
// twice the list's 999 devices, the diagnostic store the two lines of four replies (one per
// request) from each of them. Whatever comes beyond is dropped and counted.
constexpr size_t kMaxCollected = 2 * 999;
constexpr size_t kMaxReplyLines = 2 * 4 * kMaxCollected;

// Collects a discovery record: the first entry with the same MAC address (exact, case
// sensitive) takes the record's IP address and keeps everything else; a new MAC address is
// appended, numbered by its place in the store.
void RpcSearchList(devlist::LineStore& regStore, std::string_view record);

// RpcSearchList with an index by MAC address, so that a search with hundreds of devices stays
// linear. The store may be changed elsewhere between calls (it is shown in an editable text
// area): the index is rebuilt whenever the store's size is not what it left, or an indexed
// line no longer holds its MAC address. An edit that passes both checks goes unnoticed.
// A new MAC address beyond kMaxCollected entries is dropped; so are the diagnostic lines of a
// datagram that would take the reply store past kMaxReplyLines. dropped() counts both.
class ReplyCollector {
public:
    void collect(devlist::LineStore& regStore, std::string_view record);
    size_t dropped() const { return m_dropped; }
    void countDropped() { ++m_dropped; }

private:
    void rebuild(const devlist::LineStore& regStore);

    std::unordered_map<std::string, size_t> m_firstWithMac;
    size_t m_size = 0;
    bool m_built = false;
    size_t m_dropped = 0;
};

// Appends to replyStore the sender ("address port") and the datagram's hex text; then, when
// the reply is accepted, collects its record in regStore. True when it was accepted (also
// when a bound made it leave nothing behind).
bool ReceiveReply(devlist::LineStore& replyStore, devlist::LineStore& regStore,
                  ReplyCollector& collector, std::string_view fromAddress, uint16_t fromPort,
                  std::string_view datagram);

struct MergeResult {
    devlist::LineStore viewStore;       // the working list after the merge
    std::vector<std::string> logLines;  // for the communication log, in order
    bool enableApply = false;           // a listed device was found or a new one appended
    bool nothingFound = false;          // regStore was empty: the list is unchanged
    size_t listed = 0;                  // devices found that the list holds already
    size_t addressChanged = 0;          // of those, the ones whose IP address changed
    size_t added = 0;                   // new devices appended
    size_t leftOut = 0;                 // new devices not appended: the list was full
};

// Merges the collected records into the working list. A listed device (the first record with
// its MAC address) gets its new IP address, logged as "No.<entry> IP変更 <old> -> <new>" when
// it changed; a device not listed is appended as a new record, logged as
// "<ip>  検索> <model>を登録します。". The list never grows past 999 records: the devices that
// did not fit are counted and named in one more log line.
MergeResult MacCheckIns(const devlist::LineStore& regStore, devlist::LineStore viewStore);

// One line for the communication log on what a search found: the datagrams received, the
// listed devices found (and how many of them changed address), the devices added and those
// left out.
std::string SearchSummary(size_t replies, const MergeResult& merged);

}  // namespace discovery
