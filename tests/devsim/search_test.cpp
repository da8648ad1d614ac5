// The search datagrams: the request the simulator accepts and the replies it sends.
#include "search.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "running_server.h"

namespace devsim {
namespace {

std::string bytesOf(std::initializer_list<int> values, size_t size) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    s.resize(size, '\0');
    return s;
}

TEST(SearchRequest, AcceptsTheProgramsRequestOnly) {
    const std::string request =
        bytesOf({0x00, 0xFF, 0x00, 0x01, 0x20, 0xF3, 0, 0, 0xC0, 0xA8, 0x00, 0x16, 0x23, 0x32}, 32);
    EXPECT_EQ(buildSearchRequest(0xC0A80016), request);
    EXPECT_EQ(requestAddress(request), 0xC0A80016u);
    for (size_t k = 0; k < 6; ++k) {
        std::string bad = request;
        bad[k] = static_cast<char>(bad[k] ^ 0x40);
        EXPECT_FALSE(isSearchRequest(bad)) << k;
    }
    EXPECT_FALSE(isSearchRequest(request.substr(0, 31)));
    EXPECT_FALSE(isSearchRequest(request + '\0'));
}

TEST(SearchReply, MatchesTheWorkedExampleAndRoundTrips) {
    DeviceConfig d;
    d.address = 0xC0A8000A;  // bytes only, never sent
    d.mac = "00:EE:80:12:34:56";
    d.model = "AB12-NODE01";
    d.version = "1.05a 240331";
    d.uptime = 9012345;
    const std::string reply = buildReply(replyFieldsOf(d));
    EXPECT_EQ(reply, bytesOf({0,    0x80, 0,    1,    0,    0,    0,    0,    0xC0, 0xA8, 0,
                              0x0A, 0,    0,    0x00, 0xEE, 0x80, 0x12, 0x34, 0x56, 'A',  'B',
                              '1',  '2',  1,    5,    'a',  24,   3,    31,   0,    0,    0x00,
                              0x89, 0x84, 0x79, 'N',  'O',  'D',  'E',  '0',  '1',  0,    0},
                             kReplySize));
    EXPECT_EQ(parseReply(reply), replyFieldsOf(d));
    for (size_t n = 0; n < kReplySize; ++n) EXPECT_FALSE(parseReply(reply.substr(0, n))) << n;
}

TEST(SearchReply, FaultsShapeWhatIsSent) {
    DeviceConfig d;
    d.address = 0x7F000002;
    d.mac = "not a mac";
    auto plain = searchReplies(d);
    ASSERT_EQ(plain.size(), 1u);
    EXPECT_EQ(parseReply(plain[0])->mac, (std::array<uint8_t, 6>{}));
    d.faults.udpMalformed = d.faults.udpDuplicate = true;
    auto twice = searchReplies(d);
    ASSERT_EQ(twice.size(), 2u);
    EXPECT_FALSE(parseReply(twice[1]));
    d.faults = Faults{};
    d.faults.udpShort = true;
    EXPECT_EQ(searchReplies(d).at(0).size(), kShortReply);
    d.faults = Faults{};
    d.faults.udpOversized = true;
    EXPECT_EQ(parseReply(searchReplies(d).at(0)), parseReply(plain[0]));
    d.faults = Faults{};
    d.faults.udpNone = true;
    EXPECT_TRUE(searchReplies(d).empty());
}

// Over real sockets: each device answers from its own address to the requester's port.
TEST(SearchReply, EveryDeviceAnswersFromItsOwnAddress) {
    testing::RunningServer running({"--search-port", "0", "--port", "0", "--device",
                                    "127.0.0.221,mac=00:11:22:33:44:01", "--device",
                                    "127.0.0.222,mac=00:11:22:33:44:02,fault=udp-duplicate"});
    const Server& server = running.server();
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{AF_INET, htons(server.searchPort()), {htonl(0x7F000001)}, {}};
    const std::string bad = buildSearchRequest(0x7F000001).substr(0, 31);
    sendto(fd, bad.data(), bad.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    const std::string request = buildSearchRequest(0x7F000001);
    sendto(fd, request.data(), request.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    std::vector<std::pair<uint32_t, uint32_t>> got;  // sender, address in the reply
    pollfd p{fd, POLLIN, 0};
    while (got.size() < 3 && poll(&p, 1, 2000) == 1) {
        char buf[2048];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t n = recvfrom(fd, buf, sizeof buf, 0, reinterpret_cast<sockaddr*>(&from), &len);
        auto fields = parseReply(std::string_view(buf, static_cast<size_t>(n)));
        ASSERT_TRUE(fields);
        got.emplace_back(ntohl(from.sin_addr.s_addr), fields->address);
    }
    EXPECT_EQ(poll(&p, 1, 200), 0) << "an extra reply, or the truncated request was answered";
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {
        {0x7F0000DD, 0x7F0000DD}, {0x7F0000DE, 0x7F0000DE}, {0x7F0000DE, 0x7F0000DE}};
    EXPECT_EQ(got, expected);
    close(fd);
}

}  // namespace
}  // namespace devsim
