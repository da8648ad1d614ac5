// Collecting replies by MAC address and merging them into the working list.
#include "discovery/registration.h"

#include <gtest/gtest.h>

#include "devlist/device_record.h"
#include "devlist/fields.h"
#include "discovery/search_reply.h"
#include "text/cp932.h"

namespace discovery {
namespace {

using devlist::FieldGet;
using devlist::LineStore;
using text::sj;

SearchReply device(uint8_t last, uint8_t macLast, std::string model = "AB12") {
    SearchReply r;
    r.address = {127, 0, 0, last};
    r.mac = {0x00, 0xEE, 0x80, 0x12, 0x34, macLast};
    r.model = std::move(model);
    r.model2 = "NODE01";
    return r;
}

std::string listed(int no, const std::string& ip, const std::string& mac) {
    devlist::DeviceRecord r;
    r.no = devlist::ZeroPad(no, 3);
    r.listName = "dev" + std::to_string(no);
    r.ipAddress = ip;
    r.macAddress = mac;
    return r.toLine();
}

TEST(ReceiveReply, LogsEveryDatagramAndCollectsEachMacOnce) {
    LineStore replies, reg;
    ReplyCollector c;
    EXPECT_TRUE(ReceiveReply(replies, reg, c, "127.0.0.5", 15580, BuildSearchReply(device(5, 1))));
    std::string rejected = BuildSearchReply(device(6, 2));
    rejected[3] = 0x03;
    EXPECT_FALSE(ReceiveReply(replies, reg, c, "127.0.0.6", 15580, rejected));
    // The same device again from a new address: first reply's fields, latest address.
    SearchReply moved = device(9, 1, "ZZ");
    EXPECT_TRUE(ReceiveReply(replies, reg, c, "127.0.0.9", 4000, BuildSearchReply(moved)));
    EXPECT_TRUE(ReceiveReply(replies, reg, c, "127.0.0.7", 15580, BuildSearchReply(device(7, 3))));

    ASSERT_EQ(replies.size(), 8u);
    EXPECT_EQ(replies[0], "127.0.0.5 15580");
    EXPECT_EQ(replies[1], HexText(BuildSearchReply(device(5, 1))));
    EXPECT_EQ(replies[4], "127.0.0.9 4000");

    ASSERT_EQ(reg.size(), 2u);
    EXPECT_EQ(reg[0], devlist::FieldSet(
                          devlist::kIpAddress, "127.0.0.9",
                          devlist::FieldSet(devlist::kNo, "001", DiscoveryRecord(device(5, 1)))));
    EXPECT_EQ(FieldGet(devlist::kNo, reg[1]), "002");
    EXPECT_EQ(FieldGet(devlist::kMacAddress, reg[1]), "00:EE:80:12:34:03");
}

// A reply port left open to a flood keeps bounded stores: new devices past the collection's
// bound and datagrams past the diagnostic store's are dropped and counted, while a device
// already collected still takes its latest address.
TEST(ReceiveReply, BothStoresStopAtTheirBoundsAndCountWhatTheyDrop) {
    LineStore replies, reg;
    ReplyCollector c;
    auto numbered = [](size_t k, uint8_t last = 1) {
        SearchReply r = device(last, static_cast<uint8_t>(k));
        r.mac[4] = static_cast<uint8_t>(k >> 8);
        return BuildSearchReply(r);
    };
    for (size_t k = 0; k < kMaxCollected; ++k)
        ReceiveReply(replies, reg, c, "127.0.0.2", 1, numbered(k));
    EXPECT_EQ(reg.size(), kMaxCollected);
    EXPECT_EQ(c.dropped(), 0u);
    EXPECT_TRUE(ReceiveReply(replies, reg, c, "127.0.0.2", 1, numbered(kMaxCollected)));
    EXPECT_EQ(reg.size(), kMaxCollected);
    EXPECT_EQ(c.dropped(), 1u);
    // Known devices still move; the diagnostic store fills up to its bound and no further.
    while (replies.size() < kMaxReplyLines)
        ReceiveReply(replies, reg, c, "127.0.0.2", 1, numbered(0, 77));
    EXPECT_EQ(FieldGet(devlist::kIpAddress, reg[0]), "127.0.0.77");
    size_t dropped = c.dropped();
    ReceiveReply(replies, reg, c, "127.0.0.2", 1, numbered(0, 78));
    EXPECT_EQ(replies.size(), kMaxReplyLines);
    EXPECT_EQ(c.dropped(), dropped + 1);
    EXPECT_EQ(FieldGet(devlist::kIpAddress, reg[0]), "127.0.0.78");
}

TEST(ReplyCollector, CollectsAsTheScanDoesAlsoAfterTheStoreWasEdited) {
    LineStore scanned, indexed;
    ReplyCollector c;
    auto both = [&](const SearchReply& r) {
        RpcSearchList(scanned, DiscoveryRecord(r));
        c.collect(indexed, DiscoveryRecord(r));
        EXPECT_EQ(indexed, scanned);
    };
    for (uint8_t i = 1; i <= 5; ++i) both(device(i, i));
    both(device(9, 3));
    // Edited by hand in between: a line dropped, an indexed MAC address changed, the store
    // emptied.
    for (LineStore* s : {&scanned, &indexed}) s->lines().erase(s->lines().begin());
    both(device(8, 1));
    for (LineStore* s : {&scanned, &indexed}) {
        (*s)[1] = devlist::FieldSet(devlist::kMacAddress, "00:EE:80:12:34:07", (*s)[1]);
    }
    both(device(7, 3));
    both(device(6, 7));
    for (LineStore* s : {&scanned, &indexed}) s->clear();
    both(device(5, 5));
}

TEST(MacCheckIns, UpdatesListedDevicesAndAppendsNewOnes) {
    LineStore reg;
    RpcSearchList(reg, DiscoveryRecord(device(9, 1)));  // listed, moved
    RpcSearchList(reg, DiscoveryRecord(device(8, 2)));  // listed only in lower case
    RpcSearchList(reg, DiscoveryRecord(device(7, 3)));  // new
    RpcSearchList(reg, DiscoveryRecord(device(4, 4)));  // listed twice, same address

    LineStore view(
        {listed(1, "127.0.0.4", "00:EE:80:12:34:04"), listed(2, "127.0.0.5", "00:EE:80:12:34:01"),
         listed(3, "127.0.0.8", "00:ee:80:12:34:02"), listed(4, "127.0.0.6", "00:EE:80:12:34:01")});
    MergeResult m = MacCheckIns(reg, view);

    EXPECT_TRUE(m.enableApply);
    EXPECT_FALSE(m.nothingFound);
    ASSERT_EQ(m.viewStore.size(), 6u);
    EXPECT_EQ(m.viewStore[0], view[0]);
    EXPECT_EQ(m.viewStore[1], devlist::FieldSet(devlist::kIpAddress, "127.0.0.9", view[1]));
    EXPECT_EQ(m.viewStore[3], view[3]);  // only the upper of two equal MAC addresses
    EXPECT_EQ(m.viewStore[4], devlist::FieldSet(devlist::kNo, "005", reg[1]));
    EXPECT_EQ(m.viewStore[5], devlist::FieldSet(devlist::kNo, "006", reg[2]));
    std::vector<std::string> log = {sj("No.001 IP変更 127.0.0.5 -> 127.0.0.9"),
                                    sj("127.0.0.8  検索> AB12-NODE01を登録します。"),
                                    sj("127.0.0.7  検索> AB12-NODE01を登録します。")};
    EXPECT_EQ(m.logLines, log);
    EXPECT_EQ(SearchSummary(9, m),
              sj("LAN上検索の結果: 応答 9件、登録済み 2台 (IP変更 1台)、追加 2台、登録せず 0台"));
}

TEST(MacCheckIns, KnownDeviceAtItsAddressEnablesApplyWithoutALogLine) {
    LineStore reg;
    RpcSearchList(reg, DiscoveryRecord(device(4, 4)));
    LineStore view({listed(1, "127.0.0.4", "00:EE:80:12:34:04")});
    MergeResult m = MacCheckIns(reg, view);
    EXPECT_TRUE(m.enableApply);
    EXPECT_TRUE(m.logLines.empty());
    EXPECT_EQ(m.viewStore, view);

    MergeResult none = MacCheckIns(LineStore(), view);
    EXPECT_TRUE(none.nothingFound);
    EXPECT_FALSE(none.enableApply);
    EXPECT_EQ(none.viewStore, view);
}

TEST(MacCheckIns, NeverGrowsTheListPast999Records) {
    LineStore view;
    for (int i = 1; i <= 998; ++i) view.lines().push_back(listed(i, "127.0.0.1", "x"));
    LineStore reg;
    for (uint8_t i = 1; i <= 3; ++i) RpcSearchList(reg, DiscoveryRecord(device(i, i)));
    MergeResult m = MacCheckIns(reg, view);
    ASSERT_EQ(m.viewStore.size(), 999u);
    EXPECT_EQ(FieldGet(devlist::kNo, m.viewStore[998]), "999");
    EXPECT_EQ(m.leftOut, 2u);
    ASSERT_EQ(m.logLines.size(), 2u);
    EXPECT_EQ(m.logLines[1], sj("機器は999台までのため、2台を登録しませんでした。"));
    EXPECT_EQ(SearchSummary(3, m),
              sj("LAN上検索の結果: 応答 3件、登録済み 0台 (IP変更 0台)、追加 1台、登録せず 2台"));
}

}  // namespace
}  // namespace discovery
