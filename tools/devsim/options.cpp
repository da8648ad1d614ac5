// Parsing of device descriptions and of the command line.
#include "options.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <set>

#include "text/cp932.h"

namespace devsim {
namespace {

template <typename T>
std::optional<T> number(std::string_view s, T lo, T hi) {
    T v{};
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size() || v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::vector<std::string_view> split(std::string_view s, char sep) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= s.size(); ++i) {
        if (i == s.size() || s[i] == sep) {
            parts.push_back(s.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

std::string defaultMac(uint32_t a) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "00:EE:80:%02X:%02X:%02X", (a >> 16) & 0xFF, (a >> 8) & 0xFF,
                  a & 0xFF);
    return buf;
}

bool setFault(Faults& f, std::string_view name) {
    const std::pair<std::string_view, bool Faults::*> flags[] = {
        {"wrong-password", &Faults::wrongPassword},
        {"busy", &Faults::busy},
        {"in-use", &Faults::inUse},
        {"silent", &Faults::silent},
        {"split-marker", &Faults::splitMarker},
        {"flood", &Faults::flood},
        {"two-prompts", &Faults::twoPrompts},
        {"udp-malformed", &Faults::udpMalformed},
        {"udp-short", &Faults::udpShort},
        {"udp-oversized", &Faults::udpOversized},
        {"udp-duplicate", &Faults::udpDuplicate},
        {"udp-none", &Faults::udpNone},
    };
    for (const auto& [n, member] : flags) {
        if (n == name) {
            f.*member = true;
            return true;
        }
    }
    return false;
}

// One key=value option of a device; an error text, empty when it was taken.
std::string applyOption(DeviceConfig& d, std::string_view key, std::string_view value,
                        bool& hostile, bool& named, bool& macGiven) {
    auto bytes = [&](std::string& into) -> std::string {
        auto b = deviceBytes(value);
        if (!b) return "bad text in " + std::string(key) + "=" + std::string(value);
        into = *b;
        return {};
    };
    auto num = [&](auto& into, auto lo, auto hi) -> std::string {
        auto v = number<std::remove_reference_t<decltype(into)>>(value, lo, hi);
        if (!v) return "bad number in " + std::string(key) + "=" + std::string(value);
        into = *v;
        return {};
    };
    Faults& f = d.faults;
    if (key == "name") return named = true, bytes(d.name);
    if (key == "mac") return macGiven = true, bytes(d.mac);
    if (key == "ver") return bytes(d.version);
    if (key == "model") return bytes(d.model);
    if (key == "user") return bytes(d.user);
    if (key == "pass") return bytes(d.password);
    if (key == "uptime") return num(d.uptime, 0u, 0xFFFFFFFFu);
    if (key == "dump-size") return num(d.dumpBytes, size_t{0}, size_t{1} << 30);
    if (key == "slow") return num(f.slowMs, 0, 600000);
    if (key == "chunk") return num(f.chunk, size_t{0}, size_t{1} << 20);
    if (key == "gap") return num(f.gapMs, 0, 600000);
    if (key == "flood-bytes") return num(f.floodBytes, uint64_t{0}, uint64_t{1} << 34);
    if (key == "flood-ms") return num(f.floodMs, 0, 3600000);
    if (key == "close-at") {
        if (value.empty()) return "close-at needs a step or command";
        f.closeAt = lower(value);
        return {};
    }
    if (key == "login") {
        if (value == "prompt")
            d.login = Login::Prompt;
        else if (value == "ready")
            d.login = Login::Ready;
        else if (value == "none")
            d.login = Login::None;
        else
            return "login must be prompt, ready or none";
        return {};
    }
    if (key == "fault") {
        for (auto name : split(value, '+')) {
            if (name == "hostile")
                hostile = true;
            else if (!setFault(f, name))
                return "unknown fault " + std::string(name);
        }
        return {};
    }
    if (key.starts_with("var.") && key.size() > 4) {
        std::string v;
        if (auto err = bytes(v); !err.empty()) return err;
        d.variables.emplace_back(std::string(key.substr(4)), v);
        return {};
    }
    return "unknown option " + std::string(key);
}

}  // namespace

std::optional<uint32_t> parseIpv4(std::string_view text) {
    auto parts = split(text, '.');
    if (parts.size() != 4) return std::nullopt;
    uint32_t a = 0;
    for (auto p : parts) {
        auto o = number<uint32_t>(p, 0, 255);
        if (!o || p.size() > 3) return std::nullopt;
        a = (a << 8) | *o;
    }
    return a;
}

std::string ipText(uint32_t a) {
    return std::to_string(a >> 24) + "." + std::to_string((a >> 16) & 0xFF) + "." +
           std::to_string((a >> 8) & 0xFF) + "." + std::to_string(a & 0xFF);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool isLoopback(uint32_t a) {
    return (a >> 24) == 127;
}

std::optional<std::string> deviceBytes(std::string_view value) {
    std::string out, literal;
    auto flush = [&] {
        auto enc = text::encode(literal);
        literal.clear();
        if (!enc) return false;
        out += *enc;
        return true;
    };
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            literal += value[i];
            continue;
        }
        if (!flush()) return std::nullopt;
        if (i + 1 < value.size() && value[i + 1] == '\\') {
            out += '\\';
            ++i;
            continue;
        }
        if (i + 3 >= value.size() || value[i + 1] != 'x') return std::nullopt;
        unsigned byte = 0;
        auto hex = value.substr(i + 2, 2);
        auto [end, ec] = std::from_chars(hex.data(), hex.data() + 2, byte, 16);
        if (ec != std::errc{} || end != hex.data() + 2) return std::nullopt;
        out += static_cast<char>(byte);
        i += 3;
    }
    if (!flush()) return std::nullopt;
    return out;
}

Parsed<DeviceConfig> parseDevice(std::string_view deviceText, uint16_t defaultPort) {
    auto fail = [&](std::string why) {
        return Parsed<DeviceConfig>{std::nullopt,
                                    "device \"" + std::string(deviceText) + "\": " + why};
    };
    auto items = split(deviceText, ',');
    DeviceConfig d;
    std::string_view where = items[0];
    d.port = defaultPort;
    if (auto colon = where.find(':'); colon != std::string_view::npos) {
        auto p = number<uint16_t>(where.substr(colon + 1), 0, 65535);
        if (!p) return fail("bad port");
        d.port = *p;
        where = where.substr(0, colon);
    }
    auto a = parseIpv4(where);
    if (!a) return fail("address must be 127.x.y.z");
    // Only loopback, and never the network or broadcast-looking host numbers: the search goes to
    // x.y.z.255 and must not meet a device there.
    if (!isLoopback(*a) || (*a & 0xFF) == 0 || (*a & 0xFF) == 255)
        return fail("address must be inside 127.0.0.0/8 and end in 1..254");
    d.address = *a;
    bool hostile = false, named = false, macGiven = false;
    for (size_t i = 1; i < items.size(); ++i) {
        auto eq = items[i].find('=');
        if (eq == std::string_view::npos)
            return fail("option without \"=\": " + std::string(items[i]));
        auto err = applyOption(d, items[i].substr(0, eq), items[i].substr(eq + 1), hostile, named,
                               macGiven);
        if (!err.empty()) return fail(err);
    }
    if (!named) d.name = hostile ? "../../evil/\x01name" : "SIM-" + std::to_string(*a & 0xFF);
    if (!macGiven) d.mac = hostile ? "..\x01/.." : defaultMac(*a);
    return {std::move(d), {}};
}

Parsed<SimConfig> parseCommandLine(const std::vector<std::string>& args) {
    SimConfig c;
    std::vector<std::string> deviceTexts;
    uint16_t port = kDefaultTelnetPort;
    auto fail = [](std::string why) { return Parsed<SimConfig>{std::nullopt, why}; };
    for (size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i], value;
        bool hasValue = false;
        if (auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            value = arg.substr(eq + 1);
            arg.resize(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            c.help = true;
        } else if (arg == "--log") {
            c.log = true;
        } else if (arg == "--no-search") {
            c.search = false;
        } else if (arg == "--device" || arg == "--devices" || arg == "--port" ||
                   arg == "--search-port") {
            if (!takeValue()) return fail(arg + " needs a value");
            if (arg == "--device") {
                deviceTexts.push_back(value);
            } else if (arg == "--devices") {
                std::ifstream in(value, std::ios::binary);
                if (!in) return fail("cannot read " + value);
                for (std::string line; std::getline(in, line);) {
                    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
                        line.pop_back();
                    if (!line.empty() && line[0] != '#') deviceTexts.push_back(line);
                }
            } else {
                auto p = number<uint16_t>(value, 0, 65535);
                if (!p) return fail("bad port in " + arg + " " + value);
                (arg == "--port" ? port : c.searchPort) = *p;
            }
        } else {
            return fail("unknown argument " + arg);
        }
    }
    if (c.help) return {std::move(c), {}};
    std::set<std::pair<uint32_t, uint16_t>> seen;
    for (const auto& s : deviceTexts) {
        auto d = parseDevice(s, port);
        if (!d.value) return fail(d.error);
        if (!seen.insert({d.value->address, d.value->port}).second)
            return fail("device \"" + s + "\": address and port given twice");
        c.devices.push_back(std::move(*d.value));
    }
    if (c.devices.empty()) return fail("no device given (use --device or --devices)");
    return {std::move(c), {}};
}

std::string usage() {
    return R"(Usage: qlx-devsim [options]
Simulates QLX devices on loopback addresses: each answers the TCP dialogue on its own
127.X.Y.Z and port, and all answer the UDP search on 0.0.0.0:15580. A thousand devices fit
in 127.0.1.1 to 127.0.4.254.

Options:
  --device DEVICE     one device (repeatable), DEVICE as below
  --devices FILE      one DEVICE per line; blank lines and lines starting with # are skipped
  --port N            TCP port of devices that name none (default 23)
  --search-port N     UDP port of the search (default 15580)
  --no-search         do not answer the search
  --log               print the dialogue to stderr
  --help              this text
  --version           the program's name and version

DEVICE: 127.X.Y.Z[:PORT][,key=value]...  (last part from 1 to 254)
  name=TEXT           name reported by ?sysName (default SIM-N)
  mac=TEXT            MAC text reported by ?ifPhysAddress (default 00:EE:80:xx:yy:zz)
  ver=TEXT            version text reported by "ver" (default "1.05a 240331")
  model=TEXT          model texts of the search reply, first-second (default AB12-NODE01)
  user=TEXT pass=TEXT login (default admin / plume)
  login=prompt|ready|none  "User ID:"/"Password:" prompts, a "ready." banner first, or none
  var.NAME=TEXT       a variable of the dump (repeatable)
  dump-size=BYTES     pad the dump with filler variables up to this size
  uptime=N            running-time counter of the search reply, hundredths of a second
  fault=F[+F...]      misbehaviour, repeatable:
      wrong-password  every login answers "Login Incorrect"
      busy            login answers "failure: busy"
      in-use          login answers "already exists."
      silent          accepts connections and never answers
      split-marker    sends "LOAD_END" in two writes
      flood           answers "&save" with endless text without marker (flood-bytes, flood-ms)
      two-prompts     sends the prompt after login twice, in separate writes
      hostile         name "../../evil/\x01name" and MAC "..\x01/.." unless given
      udp-malformed udp-short udp-oversized udp-duplicate udp-none   search replies
  close-at=WHAT       close the connection at connect, user, password, setting, cr, or when
                      a command word arrives (ver, ?sysName, &save, log, q, CPURESET...)
  slow=MS             wait before each answer
  chunk=N             answer in pieces of N bytes, gap=MS apart (default 20)
  flood-bytes=N flood-ms=MS   bounds of the flood (default 80 MiB, 15000 ms)
Settings lines ".NAME=VALUE" set a variable of the dump, "unset .NAME" removes it.
Text values are UTF-8 (sent as code page 932); \xNN gives any byte, \\ a backslash.
Prints "listening ADDRESS:PORT NAME" per device when ready; stops on SIGTERM or SIGINT.
)";
}

}  // namespace devsim
