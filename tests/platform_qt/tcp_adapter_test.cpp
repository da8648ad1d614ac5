// The TCP adapter on loopback: a handler may wait
// (data arriving meanwhile comes as a chunk of its own, inside the wait) and may destroy the
// socket that called it.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "platform/qt/qt_tcp_socket.h"

namespace {

using platform::qt::QtTcpSocket;

// Dispatches events for ms milliseconds, or until done() holds.
void spin(
    int ms, const std::function<bool()>& done = [] { return false; }) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
}

// A loopback server whose one accepted connection the test writes to.
struct Peer {
    QTcpServer server;
    QTcpSocket* conn = nullptr;
    Peer() {
        EXPECT_TRUE(server.listen(QHostAddress("127.0.0.1"), 0));
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { conn = server.nextPendingConnection(); });
    }
    uint16_t port() const { return server.serverPort(); }
    void write(const char* bytes) {
        conn->write(bytes);
        conn->flush();
    }
};

TEST(QtTcpSocket, DataArrivingWhileTheHandlerWaitsComesAsItsOwnChunkInsideTheWait) {
    Peer peer;
    QtTcpSocket socket;
    std::vector<std::string> chunks;
    int depth = 0, deepest = 0, connecting = 0;
    socket.setHandlers({[&] { ++connecting; },
                        [&] {
                            ++depth;
                            deepest = std::max(deepest, depth);
                            chunks.push_back(socket.receive());
                            if (chunks.size() == 1) {
                                peer.write("> ");  // a second prompt right behind the first
                                spin(300, [&] { return chunks.size() == 2; });
                            }
                            --depth;
                        },
                        [](int&) {}});
    ASSERT_TRUE(socket.open("127.0.0.1", peer.port()));
    spin(2000, [&] { return peer.conn != nullptr; });
    ASSERT_NE(peer.conn, nullptr);
    peer.write("\r\n> ");
    spin(2000, [&] { return chunks.size() == 2; });
    EXPECT_EQ(chunks, (std::vector<std::string>{"\r\n> ", "> "}));
    EXPECT_EQ(deepest, 2);
    EXPECT_EQ(connecting, 1);
}

// Chunks come straight from Qt's signal while no handler runs and are posted while one waits: in
// either way every byte comes exactly once and in order, and what came during a wait comes
// inside it.
TEST(QtTcpSocket, UnderReEntryNoChunkIsLostOrDeliveredTwice) {
    struct Case {
        int waitEvery;  // the handler waits on every n-th chunk (0: never)
        int sentInWait;
    } cases[] = {{0, 0}, {1, 1}, {2, 3}, {3, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.waitEvery << "/" << c.sentInWait);
        Peer peer;
        QtTcpSocket socket;
        std::string sent, received;
        int calls = 0, depth = 0, insideAWait = 0, next = 0;
        auto send = [&] {
            const std::string piece = "m" + std::to_string(next++) + ";";
            sent += piece;
            peer.write(piece.c_str());
        };
        socket.setHandlers({{},
                            [&] {
                                ++depth;
                                if (depth > 1) ++insideAWait;
                                received += socket.receive();
                                if (c.waitEvery && ++calls % c.waitEvery == 0 && next < 40) {
                                    const size_t before = received.size();
                                    for (int i = 0; i < c.sentInWait; ++i) send();
                                    spin(300, [&] { return received.size() == sent.size(); });
                                    EXPECT_GT(received.size(), before);
                                }
                                --depth;
                            },
                            [](int&) {}});
        ASSERT_TRUE(socket.open("127.0.0.1", peer.port()));
        spin(2000, [&] { return peer.conn != nullptr; });
        ASSERT_NE(peer.conn, nullptr);
        while (next < 40) {
            send();
            spin(300, [&] { return received.size() == sent.size(); });
        }
        spin(100);
        EXPECT_EQ(received, sent);
        EXPECT_EQ(insideAWait > 0, c.waitEvery > 0);
    }
}

TEST(QtTcpSocket, AHandlerMayDestroyTheSocketThatCalledItEvenDuringAWait) {
    Peer peer;
    auto socket = std::make_unique<QtTcpSocket>();
    int calls = 0;
    socket->setHandlers({{},
                         [&] {
                             if (++calls > 1) return;
                             socket->receive();
                             peer.write("more");  // comes inside the wait, as a call of its own
                             spin(50, [&] { return calls == 2; });
                             peer.write("late");  // pending when the socket goes
                             std::this_thread::sleep_for(std::chrono::milliseconds(20));
                             socket.reset();
                             spin(100);  // the wait goes on after the socket is gone
                         },
                         {}});
    ASSERT_TRUE(socket->open("127.0.0.1", peer.port()));
    spin(2000, [&] { return peer.conn != nullptr; });
    ASSERT_NE(peer.conn, nullptr);
    peer.write("first");
    spin(2000, [&] { return socket == nullptr; });
    spin(100);
    EXPECT_EQ(socket, nullptr);
    EXPECT_EQ(calls, 2);
}

// A device that sends far more than the program reads at once: Qt reads only a bounded amount
// ahead, the rest waits in the system, and every byte still arrives, in order.
TEST(QtTcpSocket, AFloodIsReadInBoundedChunksAndNothingIsLost) {
    Peer peer;
    QtTcpSocket socket;
    std::string received;
    size_t largest = 0;
    socket.setHandlers({{},
                        [&] {
                            std::string chunk = socket.receive();
                            largest = std::max(largest, chunk.size());
                            received += chunk;
                        },
                        [](int&) {}});
    ASSERT_TRUE(socket.open("127.0.0.1", peer.port()));
    spin(2000, [&] { return peer.conn != nullptr; });
    ASSERT_NE(peer.conn, nullptr);
    std::string sent(size_t{8} << 20, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>('a' + i % 23);
    peer.conn->write(sent.data(), static_cast<qint64>(sent.size()));
    // The server's side is written by the same loop: a sleep between turns lets the data pile
    // up at the reading side, as a device flooding faster than the program reads does.
    spin(20000, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return received.size() == sent.size();
    });
    EXPECT_TRUE(received == sent) << received.size();
    EXPECT_LE(largest, size_t{1} << 20);
}

// What was written before a close reaches the device, then the end of the connection; a device
// that takes nothing is cut off after the bound. The socket may be destroyed right after close.
TEST(QtTcpSocket, WhatWasWrittenBeforeACloseReachesThePeer) {
    struct Case {
        size_t bytes;
        bool close, destroy, peerReads;  // peerReads false: nothing until the bound has passed
    } cases[] = {{4, true, false, true},
                 {4, false, true, true},
                 {4, true, true, true},
                 {size_t{16} << 20, true, false, true},  // more than the system holds
                 {size_t{16} << 20, true, false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bytes << c.close << c.destroy << c.peerReads);
        Peer peer;
        auto socket = std::make_unique<QtTcpSocket>();
        socket->setHandlers({{}, [&] { socket->receive(); }, [](int&) {}});
        ASSERT_TRUE(socket->open("127.0.0.1", peer.port()));
        spin(2000, [&] { return peer.conn != nullptr; });
        ASSERT_NE(peer.conn, nullptr);
        peer.conn->setReadBufferSize(c.peerReads ? 0 : 1);  // the rest stays in the system
        bool ended = false;
        QObject::connect(peer.conn, &QAbstractSocket::disconnected, [&] { ended = true; });
        std::string sent(c.bytes, 'v');
        sent.back() = '\r';
        socket->send(sent);
        if (c.close) socket->close();
        if (c.destroy) socket.reset();
        std::string received;
        QElapsedTimer clock;
        clock.start();
        spin(platform::qt::kCloseDrainMs + 3000, [&] {
            if (c.peerReads || clock.elapsed() > platform::qt::kCloseDrainMs + 500) {
                peer.conn->setReadBufferSize(0);
                const QByteArray data = peer.conn->readAll();
                received.append(data.constData(), static_cast<size_t>(data.size()));
            }
            return ended;
        });
        EXPECT_TRUE(ended);
        EXPECT_EQ(received == sent, c.peerReads) << received.size();
        EXPECT_LT(clock.elapsed(), platform::qt::kCloseDrainMs + (c.peerReads ? 3000 : 1500));
    }
}

// A host written as a name or with blanks around it is looked up (a name may give an address
// nobody listens on first: the next one is tried); a send the system cannot take at once waits
// and goes out whole, in order, while the connection stays open.
TEST(QtTcpSocket, NamesAreLookedUpAndALargeSendGoesOutWhole) {
    for (const char* host : {"localhost", " 127.0.0.1 "}) {
        SCOPED_TRACE(host);
        Peer peer;
        QtTcpSocket socket;
        int connecting = 0;
        std::string received;
        socket.setHandlers({[&] { ++connecting; }, [&] { received += socket.receive(); }, {}});
        ASSERT_TRUE(socket.open(host, peer.port()));
        spin(5000, [&] { return peer.conn != nullptr; });
        ASSERT_NE(peer.conn, nullptr);
        peer.write("User ID:");
        spin(2000, [&] { return !received.empty(); });
        EXPECT_EQ(received, "User ID:");
        EXPECT_EQ(connecting, 1);
        std::string sent(size_t{16} << 20, 'w');
        socket.send(sent);
        socket.send("tail\r");
        sent += "tail\r";
        std::string got;
        spin(20000, [&] {
            const QByteArray data = peer.conn->readAll();
            got.append(data.constData(), static_cast<size_t>(data.size()));
            return got.size() >= sent.size();
        });
        EXPECT_TRUE(got == sent) << got.size();
    }
}

TEST(QtTcpSocket, ARefusedConnectionReportsItsErrorAndSendsAreDropped) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress("127.0.0.1"), 0));
    const uint16_t port = closed.serverPort();
    closed.close();  // nothing listens there now
    QtTcpSocket socket;
    int errors = 0;
    socket.setHandlers({{}, {}, [&](int& code) {
                            ++errors;
                            code = 0;
                        }});
    ASSERT_TRUE(socket.open("127.0.0.1", port));
    socket.send("dropped");
    spin(2000, [&] { return errors > 0; });
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(socket.receive(), "");
}

}  // namespace
