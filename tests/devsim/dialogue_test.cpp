// The device dialogue: its answers in the forms the program reads, and the faults that reshape
// them; over a real loopback connection where the timing matters.
#include "dialogue.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "running_server.h"
#include "text/cp932.h"

namespace devsim {
namespace {

constexpr char kPrompt[] = "\r\n> ";

DeviceConfig device(const std::string& deviceText) {
    auto d = parseDevice(deviceText, 23);
    if (!d.value) throw std::runtime_error(d.error);
    return *d.value;
}

// Logs in and returns the writes of every further line, one batch per line.
std::vector<std::vector<Write>> afterLogin(Dialogue& dialogue, std::vector<std::string> lines) {
    dialogue.start();
    dialogue.receive("admin\rplume\r");
    std::vector<std::vector<Write>> out;
    for (const auto& l : lines) out.push_back(dialogue.receive(l + "\r"));
    return out;
}

std::string joined(const std::vector<Write>& writes) {
    std::string s;
    for (const auto& w : writes) s += w.bytes;
    return s;
}

TEST(Dialogue, LineEndsMayBeCrCrLfOrLfAndSplitAnywhere) {
    DeviceState state(device("127.0.0.2"));
    Dialogue d(state);
    afterLogin(d, {});
    EXPECT_EQ(joined(d.receive("ver\r")), "ver=1.05a 240331\r\n> ");
    EXPECT_TRUE(d.receive("\n").empty());
    EXPECT_EQ(joined(d.receive("WRITE\n")), kPrompt);
    EXPECT_EQ(d.receive("\r\n\r").size(), 2u);  // two bare lines, each with its prompt
}

TEST(Dialogue, SettingsLinesSetAndRemoveVariablesOfTheDump) {
    DeviceState state(device("127.0.0.2,var.trap=10.0.0.1"));
    Dialogue d(state);
    auto w = afterLogin(
        d, {".ntp=127.0.0.1", "unset .trap", "unset dhcpEnabled", "unset .none", "&save"});
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(joined(w[i]), kPrompt) << i;
    const std::string dump = joined(w[4]);
    EXPECT_NE(dump.find(".ntp=127.0.0.1\r\n"), std::string::npos);
    EXPECT_EQ(dump.find(".trap="), std::string::npos);
    EXPECT_EQ(dump.find(".dhcpEnabled="), std::string::npos);
}

TEST(Dialogue, FaultsReshapeTheAnswersButKeepTheirBytes) {
    const std::string plain = DeviceState(device("127.0.0.2")).dump() + kPrompt;
    {
        DeviceState state(device("127.0.0.2,fault=split-marker,gap=30"));
        Dialogue d(state);
        auto w = afterLogin(d, {"&save"}).at(0);
        ASSERT_EQ(w.size(), 2u);
        EXPECT_TRUE(w[0].bytes.ends_with("\r\nLOAD"));
        EXPECT_EQ(w[1].bytes, std::string("_END") + kPrompt);
        EXPECT_EQ(w[1].delayMs, 30);
    }
    {
        DeviceState state(device("127.0.0.2,chunk=4,slow=50"));
        Dialogue d(state);
        auto w = afterLogin(d, {"&save"}).at(0);
        EXPECT_EQ(joined(w), plain);
        EXPECT_EQ(w.size(), (plain.size() + 3) / 4);
        EXPECT_EQ(w.front().delayMs, 50);
        EXPECT_EQ(w.back().delayMs, 20);
    }
    {
        DeviceState state(device("127.0.0.2,fault=two-prompts"));
        Dialogue d(state);
        d.start();
        auto w = d.receive("admin\rplume\r");
        ASSERT_EQ(w.size(), 3u);  // the password prompt, then the prompt twice
        EXPECT_EQ(w[1].bytes, kPrompt);
        EXPECT_EQ(w[2].bytes, "> ");
        EXPECT_EQ(w[2].delayMs, 20);
    }
    {
        DeviceState state(device("127.0.0.2,fault=silent"));
        Dialogue d(state);
        EXPECT_TRUE(d.start().empty());
        EXPECT_TRUE(d.receive("admin\rplume\rver\r").empty());
    }
}

// A client that reads until a text has come, the way a test sees the device.
class Client {
public:
    explicit Client(uint16_t port, uint32_t address) {
        m_fd = socket(AF_INET, SOCK_STREAM, 0);
        timeval tv{3, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        sockaddr_in a{AF_INET, htons(port), {htonl(address)}, {}};
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            throw std::runtime_error("connect");
    }
    ~Client() { close(m_fd); }
    void send(const std::string& s) { ::send(m_fd, s.data(), s.size(), MSG_NOSIGNAL); }
    // Everything up to the end of the text; all that came when the text never does.
    std::string until(std::string_view text) {
        for (;;) {
            if (auto at = m_buf.find(text); at != std::string::npos) {
                std::string out = m_buf.substr(0, at + text.size());
                m_buf.erase(0, at + text.size());
                return out;
            }
            char b[65536];
            ssize_t n = recv(m_fd, b, sizeof b, 0);
            if (n <= 0) {
                m_eof = n == 0;
                return std::exchange(m_buf, {});
            }
            m_buf.append(b, static_cast<size_t>(n));
        }
    }
    std::string ask(const std::string& line) {
        send(line + "\r");
        return until(kPrompt);
    }
    std::string take(size_t n) {
        while (m_buf.size() < n) {
            char b[65536];
            ssize_t got = recv(m_fd, b, std::min(sizeof b, n - m_buf.size()), 0);
            if (got <= 0) break;
            m_buf.append(b, static_cast<size_t>(got));
        }
        return std::exchange(m_buf, {});
    }
    bool closedByDevice() {
        until("\x01never");
        return m_eof;
    }

private:
    int m_fd;
    std::string m_buf;
    bool m_eof = false;
};

// The value the program takes from an answer: bytes `from` (1-based) up to `tail` bytes before
// the first CR.
std::string valueAt(const std::string& answer, size_t from, size_t tail) {
    size_t q = answer.find('\r') + 1;
    return q < from + tail + 1 ? "" : answer.substr(from - 1, q - from - tail);
}

TEST(DeviceOverTcp, AnswersTheWholeDialogueInTheFormsTheProgramReads) {
    testing::RunningServer sim({"--no-search", "--port", "0", "--device",
                                "127.0.0.231,login=ready,name=会議室-A,mac=00:11:22:33:44:55,"
                                "user=op,pass=secret,ver=V1.23"});
    Client c(sim.server().ports()[0], 0x7F0000E7);
    EXPECT_EQ(c.until("ready."), "\r\nQLX login ready.");
    c.send("\r");
    EXPECT_NE(c.until("ID:"), "");
    c.send("op\r");
    EXPECT_NE(c.until("rd:"), "");
    EXPECT_EQ(c.ask("secret"), kPrompt);
    EXPECT_EQ(valueAt(c.ask("ver"), 5, 0), "V1.23");
    EXPECT_EQ(valueAt(c.ask("?ifPhysAddress"), 16, 0), "00:11:22:33:44:55");
    EXPECT_EQ(valueAt(c.ask("?sysName"), 11, 1), text::sj("会議室") + "-A");
    std::string dump = c.ask("&save");
    size_t p = dump.find("LOAD_END");
    ASSERT_NE(p, std::string::npos);
    EXPECT_EQ(dump.substr(p - 2, 2), "\r\n");
    EXPECT_NE(dump.find(".dhcpEnabled=1\r\n"), std::string::npos);
    for (const char* line : {".dhcpEnabled=0", "", "DATE 24/05/01", "TIME 10:00:00",
                             ".ipAdEntAddr=127.0.0.231", ".sysName=\"NEW\"", "WRITE"})
        EXPECT_EQ(c.ask(line), kPrompt) << line;
    EXPECT_NE(c.ask("&save").find(".dhcpEnabled=0\r\n"), std::string::npos);
    std::string log = c.ask("log 20");
    size_t dashes = log.find("----");
    ASSERT_NE(dashes, std::string::npos);
    EXPECT_EQ(log.substr(dashes, 34), std::string(34, '-'));
    EXPECT_EQ(valueAt(c.ask("?sysName"), 11, 1), "NEW");
    c.send("q\r");
    EXPECT_EQ(c.until("."), ".");
    EXPECT_TRUE(c.closedByDevice());
}

TEST(DeviceOverTcp, MisbehavesAsTold) {
    struct Case {
        const char* options;
        std::vector<const char*> lines;  // after the user id and the password
        const char* lastWords;           // what comes before the device closes
    };
    const Case cases[] = {
        {"fault=wrong-password", {}, "\r\nLogin Incorrect\r\n"},
        {"fault=busy", {}, "\r\nfailure: busy\r\n"},
        {"fault=in-use", {}, "\r\nsession already exists.\r\n"},
        {"close-at=ver", {"ver"}, ""},
        {"close-at=&save", {"ver", "&save"}, "ver=1.05a 240331\r\n> "},
        {"close-at=q", {"q"}, ""},
        {"chunk=3,slow=10", {"CPURESET"}, ".\r\n"},
    };
    for (const auto& k : cases) {
        testing::RunningServer sim(
            {"--no-search", "--port", "0", "--device", std::string("127.0.0.232,") + k.options});
        Client c(sim.server().ports()[0], 0x7F0000E8);
        c.until("User ID:");
        c.send("admin\r");
        c.until("Password:");
        c.send("plume\r");
        std::string said;
        if (std::string_view(k.options).starts_with("fault="))
            said = c.until("\x01never");
        else
            said = c.until(kPrompt).empty() ? "lost" : "";
        for (const char* l : k.lines) c.send(std::string(l) + "\r");
        said += c.until("\x01never");
        EXPECT_EQ(said, k.lastWords) << k.options;
        EXPECT_TRUE(c.closedByDevice()) << k.options;
    }
}

TEST(DeviceOverTcp, FloodEndsAtItsBoundWithoutMarker) {
    testing::RunningServer sim({"--no-search", "--port", "0", "--device",
                                "127.0.0.233,login=none,fault=flood,flood-bytes=300000"});
    Client c(sim.server().ports()[0], 0x7F0000E9);
    c.until(kPrompt);
    c.send("&save\r");
    std::string flood = c.take(300000);
    EXPECT_EQ(flood.size(), 300000u);
    EXPECT_EQ(flood.find("LOAD_END"), std::string::npos);
    EXPECT_EQ(c.ask(""), kPrompt);  // the device answers again once the flood is over
}

}  // namespace
}  // namespace devsim
