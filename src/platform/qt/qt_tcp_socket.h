// The device connection: a non-blocking socket of the system's own, watched by the Qt loop. Each
// notification reads once what the system holds and hands it to the handler at once; a send goes
// to the system at once. A handler may still wait (a modal question): data that arrives while a
// handler of this socket runs is posted, and delivered inside that wait as a chunk of its own.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/tcp_socket.h"

class QObject;
class QSocketNotifier;

namespace platform::qt {

// How long a closed connection may take to hand what was written to a device that reads slowly
// or not at all; then it is cut off.
constexpr int kCloseDrainMs = 2000;

class QtTcpSocket : public TcpSocket {
public:
    QtTcpSocket();
    ~QtTcpSocket() override;
    void setHandlers(Handlers handlers) override;
    bool open(const std::string& host, uint16_t port) override;
    void close() override;
    void send(std::string_view bytes) override;
    std::string receive() override;

private:
    enum class State { Idle, LookingUp, Connecting, Connected };

    void connectNext();
    bool connectDone();
    void onActivated();
    void onWritable();
    void notifyReadable();
    bool readPending();
    void flushWrites();
    void lost(int code);
    void release(bool drainIt);
    void post(std::function<void()> notify);
    void postError(int code);
    static void call(const std::function<void()>& handler);

    Handlers m_handlers;
    State m_state = State::Idle;
    int m_fd = -1;
    // Owns the notifiers and is the context of lookups and posted notifications.
    std::unique_ptr<QObject> m_context;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
    int m_lookupId = -1;
    std::vector<sockaddr_storage> m_addresses;
    size_t m_nextAddress = 0;
    uint16_t m_port = 0;
    bool m_readablePending = false;
    // Read from the system and not yet taken by receive(), bounded.
    std::string m_chunk;
    std::unique_ptr<char[]> m_readBuffer;
    // What the system did not take at once, in order.
    std::string m_unsent;
    // Shared with the posted notifications: they must not run once this object is gone or its
    // connection was replaced, and the object must not delete a notifier that is delivering one.
    struct Dispatch {
        bool alive = true;
        int depth = 0;  // notifications being delivered now
        unsigned connection = 0;
    };
    std::shared_ptr<Dispatch> m_dispatch = std::make_shared<Dispatch>();
};

class QtNetwork : public Network {
public:
    std::unique_ptr<TcpSocket> createTcpSocket() override;
};

}  // namespace platform::qt
