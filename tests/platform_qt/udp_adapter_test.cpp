// The Qt UDP adapter on loopback: datagrams come one per posted notification with their
// sender, a directed broadcast reaches a socket bound to every address, and the port is bound
// exclusively.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include "platform/qt/qt_udp_socket.h"

namespace {

using platform::Datagram;
using platform::qt::QtUdpSocket;

constexpr uint16_t kListen = 39010, kSend = 39011;

// Dispatches events until n datagrams arrived or a second has passed.
void waitFor(const std::vector<Datagram>& got, size_t n) {
    QElapsedTimer t;
    t.start();
    while (got.size() < n && t.elapsed() < 1000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
}

TEST(QtUdpSocket, DeliversEachDatagramWithItsSenderAndReachesTheBroadcastAddress) {
    QtUdpSocket listener, sender;
    std::vector<Datagram> got;
    listener.setReceiver([&](const Datagram& d) {
        got.push_back(d);
        // A receiver that waits: the next datagram must still come, as a call of its own.
        QCoreApplication::processEvents();
    });
    ASSERT_TRUE(listener.open(kListen));
    ASSERT_TRUE(sender.open(kSend));
    for (const char* text : {"one", "two"}) {
        EXPECT_EQ(sender.sendTo("127.0.0.1", kListen, text), QtUdpSocket::SendResult::Sent);
    }
    sender.sendTo("127.0.0.255", kListen, std::string("\0\x80", 2));
    waitFor(got, 3);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].bytes, "one");
    EXPECT_EQ(got[1].bytes, "two");
    EXPECT_EQ(got[2].bytes, std::string("\0\x80", 2));
    EXPECT_EQ(got[0].fromAddress, "127.0.0.1");
    EXPECT_EQ(got[0].fromPort, kSend);

    // Reopening drops what the old socket held.
    sender.sendTo("127.0.0.1", kListen, "lost");
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 50) {
    }
    ASSERT_TRUE(listener.open(kListen));
    sender.sendTo("127.0.0.1", kListen, "kept");
    waitFor(got, 4);
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[3].bytes, "kept");
}

// Dispatches events for ms milliseconds.
void runFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    }
}

TEST(QtUdpSocket, DatagramsSpreadOverTimeAllArriveAndALaterSearchStillReceives) {
    QtUdpSocket listener, sender;
    std::vector<std::string> got;
    listener.setReceiver([&](const Datagram& d) { got.push_back(d.bytes); });
    ASSERT_TRUE(listener.open(kListen));
    ASSERT_TRUE(sender.open(kSend));
    // Devices answering 80 ms apart, then 30 ms apart, then two at once: 1.5 s in all.
    std::vector<std::string> expected;
    auto send = [&](int gapMs, int count) {
        for (int i = 0; i < count; ++i) {
            expected.push_back("reply " + std::to_string(expected.size()));
            sender.sendTo("127.0.0.1", kListen, expected.back());
            runFor(gapMs);
        }
    };
    send(80, 10);
    send(30, 20);
    send(0, 2);
    runFor(100);
    EXPECT_EQ(got, expected);

    // The next search on the same socket, after a quiet while.
    runFor(300);
    send(0, 3);
    runFor(200);
    EXPECT_EQ(got, expected);
}

TEST(QtUdpSocket, PortHeldByAnotherSocketCannotBeBound) {
    QtUdpSocket first, second;
    ASSERT_TRUE(first.open(kListen));
    EXPECT_FALSE(second.open(kListen));
    EXPECT_FALSE(second.isOpen());
    first.close();
    EXPECT_TRUE(second.open(kListen));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
