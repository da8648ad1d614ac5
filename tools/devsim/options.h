// What a simulated device is and how it misbehaves, and the command line that describes them.
// A device is one line of text: "127.0.0.N[:port]" followed by comma-separated key=value options.
// Text values are UTF-8 on the command line and become code page 932 bytes; "\xNN" puts any byte
// in, "\\" a backslash, so hostile names and MAC texts can be written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace devsim {

inline constexpr uint16_t kDefaultTelnetPort = 23;
inline constexpr uint16_t kSearchPort = 15580;

enum class Login { Prompt, Ready, None };

struct Faults {
    bool wrongPassword = false;
    bool busy = false;
    bool inUse = false;
    bool silent = false;
    bool splitMarker = false;
    bool flood = false;
    bool twoPrompts = false;
    std::string closeAt;  // "connect", "user", "password", "setting", "cr" or a command word
    int slowMs = 0;
    size_t chunk = 0;  // 0: every answer in one write
    int gapMs = 20;
    uint64_t floodBytes = 80ull << 20;
    int floodMs = 15000;
    // Search replies.
    bool udpMalformed = false;
    bool udpShort = false;
    bool udpOversized = false;
    bool udpDuplicate = false;
    bool udpNone = false;
};

struct DeviceConfig {
    uint32_t address = 0;  // host order, always inside 127.0.0.0/8
    uint16_t port = kDefaultTelnetPort;
    std::string name;  // code page 932 bytes, as "?sysName" reports it
    std::string mac;   // as "?ifPhysAddress" reports it
    std::string version = "1.05a 240331";
    std::string model = "AB12-NODE01";  // first and second model text, split at the first "-"
    std::string user = "admin";
    std::string password = "plume";
    Login login = Login::Prompt;
    uint32_t uptime = 9012345;  // running-time counter of the search reply, hundredths of a second
    size_t dumpBytes = 0;       // pads the variable dump with filler variables up to this size
    std::vector<std::pair<std::string, std::string>> variables;
    Faults faults;
};

struct SimConfig {
    std::vector<DeviceConfig> devices;
    bool search = true;
    uint16_t searchPort = kSearchPort;
    bool log = false;
    bool help = false;
};

template <typename T>
struct Parsed {
    std::optional<T> value;
    std::string error;
};

Parsed<DeviceConfig> parseDevice(std::string_view deviceText, uint16_t defaultPort);
Parsed<SimConfig> parseCommandLine(const std::vector<std::string>& args);
std::string usage();

// "a.b.c.d" in host order; nullopt unless four decimal octets.
std::optional<uint32_t> parseIpv4(std::string_view text);
std::string ipText(uint32_t address);
// ASCII letters in lower case, every other byte as it is (names and commands are ASCII).
std::string lower(std::string_view s);
bool isLoopback(uint32_t address);

// Option value to device bytes: UTF-8 to code page 932 with "\xNN" and "\\" escapes.
std::optional<std::string> deviceBytes(std::string_view value);

}  // namespace devsim
